// SPDX-License-Identifier: MIT
#pragma once

#include "mpris.h"

#include <QDBusConnection>
#include <QObject>

namespace vireo {

class VireoApp;

// Vireo on the desktop's session bus: one process per session (a second start hands its link to the
// first, which owns the name org.vireo.Vireo), MPRIS 2, and no screen blanking while a video plays.
// Without a session bus Vireo runs on its own, without these.
class Session : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vireo.Vireo")
public:
    explicit Session(VireoApp &app);

    // False when a Vireo that already runs took `link`; there is nothing left to do then.
    bool start(const QString &link);

public Q_SLOTS:
    // A new window, playing `link` at once when it is not empty.
    Q_SCRIPTABLE void Open(const QString &link);

private:
    VireoApp &m_app;
    QDBusConnection m_bus;
    Mpris m_mpris;
};

} // namespace vireo
