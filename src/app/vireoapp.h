// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <memory>
#include <vector>

namespace vireo {

class PlayerModel;

// The window group: every window has its own view and its own model; the last one closed quits.
class VireoApp : public QObject
{
    Q_OBJECT
public:
    VireoApp();
    ~VireoApp() override;

    [[nodiscard]] int windowCount() const { return int(m_windows.size()); }

public Q_SLOTS:
    QQuickWindow *newWindow();

private Q_SLOTS:
    void windowClosed();

private:
    struct Window {
        QPointer<QQuickWindow> window;
        std::shared_ptr<PlayerModel> model; // the window's hold; a running request holds its own
    };

    QQmlApplicationEngine m_engine;
    std::vector<Window> m_windows;
};

} // namespace vireo
