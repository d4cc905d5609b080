// SPDX-License-Identifier: MIT
#include "inhibitor.h"

#include "playback/playermodel.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

using namespace Qt::StringLiterals;

namespace vireo {
namespace {

const QString Reason = u"Playing a video"_s;

// Whether the portal failed to answer once: the screen saver is asked straight away after that.
bool portalAbsent = false;

// The answer goes to `inhibitor` if it still exists; an inhibition granted after its window went is
// given back at once.
template<typename Reply, typename Done>
void ask(QDBusConnection bus, const QDBusMessage &call, Inhibitor *inhibitor, Done done)
{
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, done, self = QPointer(inhibitor)] {
        watcher->deleteLater();
        done(self.get(), Reply(*watcher));
    });
}

void giveBack(QDBusConnection bus, const QString &portalRequest, uint cookie)
{
    // Sent without waiting for an answer: nothing here depends on it, and the window may be going.
    if (!portalRequest.isEmpty())
        bus.send(QDBusMessage::createMethodCall(u"org.freedesktop.portal.Desktop"_s, portalRequest,
                                                u"org.freedesktop.portal.Request"_s, u"Close"_s));
    else
        bus.send(QDBusMessage::createMethodCall(u"org.freedesktop.ScreenSaver"_s, u"/org/freedesktop/ScreenSaver"_s,
                                                u"org.freedesktop.ScreenSaver"_s, u"UnInhibit"_s)
                 << cookie);
}

} // namespace

Inhibitor::Inhibitor(QDBusConnection bus, PlayerModel *model, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_model(model)
{
    connect(model, &PlayerModel::modeChanged, this, [this] {
        if (MediaPlayer *player = m_model ? m_model->player() : nullptr)
            connect(player, &MediaPlayer::stateChanged, this, &Inhibitor::update);
        update();
    });
}

Inhibitor::~Inhibitor()
{
    m_wanted = false;
    release();
}

void Inhibitor::update()
{
    const MediaPlayer *player = m_model ? m_model->player() : nullptr;
    m_wanted = player && player->playing();
    if (m_wanted && m_state == State::Off)
        inhibit();
    else if (!m_wanted && m_state == State::On)
        release();
}

void Inhibitor::inhibit()
{
    m_state = State::Asking;
    if (portalAbsent) {
        inhibitScreenSaver();
        return;
    }
    auto call = QDBusMessage::createMethodCall(u"org.freedesktop.portal.Desktop"_s, u"/org/freedesktop/portal/desktop"_s,
                                               u"org.freedesktop.portal.Inhibit"_s, u"Inhibit"_s);
    constexpr uint Idle = 8;
    call << QString() << Idle << QVariantMap{{u"reason"_s, Reason}};
    ask<QDBusPendingReply<QDBusObjectPath>>(m_bus, call, this, [bus = m_bus](Inhibitor *self, const QDBusPendingReply<QDBusObjectPath> &reply) {
        if (reply.isError()) {
            portalAbsent = true;
            if (self)
                self->inhibitScreenSaver();
        } else if (self) {
            self->held(reply.value().path(), 0);
        } else {
            giveBack(bus, reply.value().path(), 0);
        }
    });
}

void Inhibitor::inhibitScreenSaver()
{
    auto call = QDBusMessage::createMethodCall(u"org.freedesktop.ScreenSaver"_s, u"/org/freedesktop/ScreenSaver"_s,
                                               u"org.freedesktop.ScreenSaver"_s, u"Inhibit"_s);
    call << u"Vireo"_s << Reason;
    ask<QDBusPendingReply<uint>>(m_bus, call, this, [bus = m_bus](Inhibitor *self, const QDBusPendingReply<uint> &reply) {
        if (reply.isError()) {
            if (self)
                self->m_state = State::Off; // nobody to ask; the next start of playback asks again
        } else if (self) {
            self->held({}, reply.value());
        } else {
            giveBack(bus, {}, reply.value());
        }
    });
}

void Inhibitor::held(const QString &portalRequest, uint cookie)
{
    m_state = State::On;
    m_portalRequest = portalRequest;
    m_cookie = cookie;
    // The video may have stopped while the desktop was being asked.
    if (!m_wanted)
        release();
}

void Inhibitor::release()
{
    if (m_state != State::On)
        return;
    m_state = State::Off;
    giveBack(m_bus, m_portalRequest, m_cookie);
}

} // namespace vireo
