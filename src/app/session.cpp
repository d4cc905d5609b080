// SPDX-License-Identifier: MIT
#include "session.h"

#include "inhibitor.h"
#include "vireoapp.h"

#include <QDBusMessage>

using namespace Qt::StringLiterals;

namespace vireo {

Session::Session(VireoApp &app)
    : m_app(app)
    , m_bus(QDBusConnection::sessionBus())
    , m_mpris(m_bus, app)
{
}

bool Session::start(const QString &link)
{
    if (!m_bus.isConnected())
        return true;
    // The object answers before the name is taken, so whoever finds the name can open a window.
    m_bus.registerObject(u"/org/vireo/Vireo"_s, this, QDBusConnection::ExportScriptableSlots);
    if (!m_bus.registerService(u"org.vireo.Vireo"_s)) {
        auto open = QDBusMessage::createMethodCall(u"org.vireo.Vireo"_s, u"/org/vireo/Vireo"_s, u"org.vireo.Vireo"_s, u"Open"_s);
        open << link;
        if (m_bus.call(open, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage)
            return false;
        // The Vireo that holds the name did not answer: this one runs on its own.
    }
    connect(&m_app, &VireoApp::windowOpened, this, [this](QQuickWindow *window, PlayerModel *model) {
        new Inhibitor(m_bus, model, window);
        m_mpris.watch(model);
    });
    connect(&m_app, &VireoApp::windowClosing, &m_mpris, &Mpris::forget);
    m_mpris.start();
    return true;
}

void Session::Open(const QString &link)
{
    m_app.open(link);
}

} // namespace vireo
