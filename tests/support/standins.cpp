// SPDX-License-Identifier: MIT
#include "standins.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace vireo::test {

TestServer::TestServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        }
    });
    reset();
}

QString TestServer::base(const QString &name) const
{
    return u"http://127.0.0.1:%1"_s.arg(m_server.serverPort()) + (name.isEmpty() ? QString() : u'/' + name);
}

void TestServer::reset()
{
    m_routes.clear();
    m_requests.clear();
    m_sent.clear();
    QFile clip(QStringLiteral(VIREO_TEST_CLIP));
    route(u"/clip.mp4"_s, {200, clip.open(QIODevice::ReadOnly) ? clip.readAll() : QByteArray(), "video/mp4"});
    route(u"/silent.mp4"_s, {200, {}, "video/mp4", Behaviour::Silent});
}

void TestServer::answer(const QString &name, const QString &media, bool local, const QByteArray &titleJson)
{
    const QByteArray body = R"({"title":)" + titleJson + R"(,"author":"Channel","formatStreams":[{"url":")"
        + url(media).toEncoded() + R"(","qualityLabel":"360p"}]})";
    route(u"/%1/api/v1/videos/%2%3"_s.arg(name, Id, local ? u"?local=true"_s : QString()), {200, body});
}

void TestServer::serve(QTcpSocket *socket)
{
    const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);

    const QUrl target(QString::fromLatin1(head.split(' ').value(1)));
    m_requests.append(target.path());
    const Route route = m_routes.value(target.toString(), m_routes.value(target.path(), {404, "not found", "text/plain"}));
    if (route.behaviour == Behaviour::Silent)
        return;
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, path = target.path()](qint64 n) { m_sent[path] += n; });

    // Byte ranges, as media players ask for them: "bytes=FROM-" or "bytes=FROM-TO".
    int status = route.status;
    QByteArray body = route.body, extra;
    if (const qsizetype at = head.toLower().indexOf("\r\nrange: bytes="); at >= 0 && status == 200) {
        const QList<QByteArray> ends = head.mid(at + 15, head.indexOf("\r\n", at + 2) - at - 15).split('-');
        const qint64 from = ends.value(0).toLongLong();
        const qint64 to = ends.value(1).isEmpty() ? body.size() - 1 : std::min(ends.value(1).toLongLong(), body.size() - 1);
        if (from <= to) {
            status = 206;
            extra = "Content-Range: bytes " + QByteArray::number(from) + '-' + QByteArray::number(to) + '/'
                + QByteArray::number(body.size()) + "\r\n";
            body = body.mid(from, to - from + 1);
        }
    }
    socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + route.type + "\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\nAccept-Ranges: bytes\r\n" + extra + "Connection: close\r\n\r\n");
    if (route.behaviour == Behaviour::Answer) {
        socket->write(body);
        socket->disconnectFromHost();
        return;
    }
    auto *drip = new QTimer(socket);
    QObject::connect(drip, &QTimer::timeout, socket, [socket, body, sent = qsizetype(0)]() mutable {
        socket->write(body.mid(sent++, 1));
    });
    drip->start(1000);
}

QString refused()
{
    // Bound and released: the kernel does not hand the port out again straight away.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return u"http://127.0.0.1:%1"_s.arg(probe.serverPort());
}

bool writeCache(const QString &cacheRoot, const QList<std::pair<QString, QString>> &instances)
{
    QByteArray json;
    int uptime = 100;
    for (const auto &[host, base] : instances)
        json += (json.isEmpty() ? "" : ",") + u"{\"host\":\"%1\",\"base\":\"%2\",\"uptime\":%3}"_s.arg(host, base).arg(uptime--).toUtf8();
    QFile file(cacheRoot + u"/Vireo/instances.json"_s);
    return QDir().mkpath(cacheRoot + u"/Vireo"_s) && file.open(QIODevice::WriteOnly) && file.write('[' + json + ']') > 0;
}

int soundStreams()
{
    QProcess pactl;
    pactl.start(u"pactl"_s, {u"list"_s, u"short"_s, u"sink-inputs"_s});
    return pactl.waitForFinished() && pactl.exitCode() == 0 ? int(pactl.readAll().count('\n')) : -1;
}

Home::Home()
{
    qputenv("XDG_CACHE_HOME", cache().toUtf8());
    qputenv("XDG_CONFIG_HOME", (path() + u"/config"_s).toUtf8());
    // QSettings reads the variable once per process.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path() + u"/config"_s);
}

bool Home::instances(const TestServer &server, const QStringList &names) const
{
    QList<std::pair<QString, QString>> list;
    for (const QString &name : names)
        list.append({name, server.base(name)});
    return writeCache(cache(), list);
}

} // namespace vireo::test
