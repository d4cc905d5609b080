// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>

namespace vireo {

class PlayerModel;

// Keeps the screen from blanking while a window's video plays: one idle inhibition while a native
// video plays (not paused, not ended), released on anything else and when the window goes. It asks
// the desktop portal, and the freedesktop screen saver where no portal answers.
class Inhibitor : public QObject
{
    Q_OBJECT
public:
    Inhibitor(QDBusConnection bus, PlayerModel *model, QObject *parent);
    ~Inhibitor() override;

private:
    void update();
    void inhibit();
    void inhibitScreenSaver();
    void held(const QString &portalRequest, uint cookie);
    void release();

    enum class State { Off, Asking, On };

    QDBusConnection m_bus;
    QPointer<PlayerModel> m_model;
    State m_state = State::Off;
    bool m_wanted = false;
    QString m_portalRequest; // what holds the inhibition: a portal request to close,
    uint m_cookie = 0;       // or the screen saver's cookie
};

} // namespace vireo
