// SPDX-License-Identifier: MIT
#include "standins.h"

#include "playback/history.h"

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
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                m_open.remove(socket);
                socket->deleteLater();
            });
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
    m_open.clear();
    const auto serve = [this](const QString &path, const QString &file, const QByteArray &type = "video/mp4") {
        QFile content(file);
        route(path, {200, content.open(QIODevice::ReadOnly) ? content.readAll() : QByteArray(), type});
    };
    serve(u"/clip.mp4"_s, QStringLiteral(VIREO_TEST_CLIP));
    serve(u"/long.mp4"_s, QStringLiteral(VIREO_TEST_LONG_CLIP));
    for (const QString &name : QDir(QStringLiteral(VIREO_TEST_DASH)).entryList({u"*.mp4"_s}, QDir::Files))
        serve(u"/dash/"_s + name, QStringLiteral(VIREO_TEST_DASH) + u'/' + name);
    route(u"/silent.mp4"_s, {200, {}, "video/mp4", Behaviour::Held});
    route(u"/captions.vtt"_s, {200, "WEBVTT\n\n00:00.000 --> 01:00.000\nColour bars, <i>and a tone</i>\n", "text/vtt"});
}

namespace {
const QByteArray Description = R"("description":"Colour bars and a tone.\n\n0:00 Colour bars\n0:10 The tone\n0:20 To the end",)";
} // namespace

void TestServer::answer(const QString &name, const QString &media, bool local, const QByteArray &titleJson, const QString &id)
{
    const QByteArray body = R"({"title":)" + titleJson + R"(,"author":"Channel",)" + Description + R"("formatStreams":[{"url":")"
        + url(media).toEncoded() + R"(","qualityLabel":"360p"}],"captions":[{"label":"English","languageCode":"en","url":")"
        + url(u"/captions.vtt"_s).toEncoded() + R"("}]})";
    route(u"/%1/api/v1/videos/%2%3"_s.arg(name, id, local ? u"?local=true"_s : QString()), {200, body});
}

void TestServer::answerPlaylist(const QString &name, const QString &list, const QStringList &ids)
{
    QByteArray videos;
    for (qsizetype i = 0; i < ids.size(); ++i)
        videos += (i ? "," : "") + u"{\"title\":\"Video %1\",\"videoId\":\"%2\",\"lengthSeconds\":4,\"index\":%3}"_s.arg(i + 1).arg(ids.at(i)).arg(i).toUtf8();
    route(u"/%1/api/v1/playlists/%2"_s.arg(name, list), {200, R"({"title":"Test list","videoCount":)" + QByteArray::number(ids.size()) + R"(,"videos":[)" + videos + "]}"});
}

void TestServer::answerAdaptive(const QString &name, bool local, bool broken, const QString &single)
{
    QByteArray formats;
    for (const auto &[height, file] : {std::pair("360p", "0"), {"720p", "1"}, {"1080p", "2"}})
        formats += R"({"type":"video/mp4; codecs=\"avc1.42c01e\"","bitrate":"800000","resolution":")" + QByteArray(height)
            + R"(","url":")" + url(u"/dash/%1manifest-stream%2.mp4"_s.arg(broken ? u"missing-"_s : QString(), QLatin1String(file))).toEncoded() + "\"},";
    route(u"/%1/api/v1/videos/%2%3"_s.arg(name, Id, local ? u"?local=true"_s : QString()),
          {200, R"({"title":"Vireo test clip — colour bars and a 440 Hz tone","author":"Channel",)" + Description + R"("formatStreams":[{"url":")" + url(single).toEncoded()
                    + R"(","qualityLabel":"360p"}],"adaptiveFormats":[)" + formats
                    + R"({"type":"audio/mp4; codecs=\"mp4a.40.2\"","bitrate":"64000","url":")" + url(u"/dash/manifest-stream3.mp4"_s).toEncoded() + R"("}]})"});
}

void TestServer::segments(const QString &name)
{
    // "5f6b": the first 4 hex characters of SHA-256(Id).
    route(u"/%1/api/skipSegments/5f6b"_s.arg(name),
          {200, R"([{"videoID":"5f6bAnother","segments":[{"category":"sponsor","segment":[1,2]}]},{"videoID":")" + Id.toLatin1()
                    + R"(","segments":[{"category":"sponsor","actionType":"skip","segment":[3.0,8.0]},{"category":"outro","segment":[24,28]}]}])"});
}

void TestServer::challenge(const QString &name)
{
    route(u"/%1/api/v1/videos/%2"_s.arg(name, Id), {200, "<html><title>Just a moment...</title>Checking your browser</html>", "text/html"});
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
    m_open.insert(socket, target.path());
    socket->setProperty("target", target);
    const Route route = m_routes.value(target.toString(), m_routes.value(target.path(), {404, "not found", "text/plain"}));
    if (route.behaviour != Behaviour::Held)
        respond(socket, route);
}

void TestServer::behave(const QString &path, Behaviour behaviour)
{
    for (auto it = m_routes.begin(); it != m_routes.end(); ++it)
        if (QUrl(it.key()).path() == path)
            it->behaviour = behaviour;
}

void TestServer::release(const QString &path)
{
    behave(path, Behaviour::Answer);
    for (QTcpSocket *socket : m_open.keys(path)) {
        const QUrl target = socket->property("target").toUrl();
        respond(socket, m_routes.value(target.toString(), m_routes.value(path)));
    }
}

void TestServer::respond(QTcpSocket *socket, const Route &route)
{
    const QByteArray head = socket->property("head").toByteArray();
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, path = m_open.value(socket)](qint64 n) { m_sent[path] += n; });

    // Byte ranges ("Range: bytes=FROM-" or "FROM-TO"), as media players ask when they seek or read
    // one stream of a manifest.
    const qsizetype range = head.indexOf("\r\nRange: bytes=");
    const QList<QByteArray> bounds = head.mid(range + 15, head.indexOf('\r', range + 15) - range - 15).split('-');
    const qint64 size = route.body.size();
    const bool ranged = range >= 0 && route.status == 200 && bounds.value(0).toLongLong() < size;
    const qint64 from = ranged ? bounds.value(0).toLongLong() : 0;
    const qint64 to = ranged && !bounds.value(1).isEmpty() ? std::min(bounds.value(1).toLongLong(), size - 1) : size - 1;
    if (route.behaviour == Behaviour::Chunked) {
        socket->write("HTTP/1.1 " + QByteArray::number(route.status) + " X\r\nContent-Type: " + route.type
                      + "\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
        for (qsizetype at = 0; at < route.body.size(); at += 65536) {
            const QByteArray chunk = route.body.mid(at, 65536);
            socket->write(QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n");
        }
        socket->write("0\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    socket->write("HTTP/1.1 " + (ranged ? "206 X\r\nContent-Range: bytes " + QByteArray::number(from) + '-' + QByteArray::number(to) + '/' + QByteArray::number(size)
                                        : QByteArray::number(route.status) + " X")
                  + "\r\nContent-Type: " + route.type + "\r\nContent-Length: " + QByteArray::number(to - from + 1)
                  + "\r\nAccept-Ranges: bytes\r\nConnection: close\r\n\r\n");
    if (route.behaviour == Behaviour::Answer) {
        socket->write(route.body.mid(from, to - from + 1));
        socket->disconnectFromHost();
        return;
    }
    // A drip: a byte a second. Slow: 100 kB a second, about half what the tallest stream plays.
    const bool slow = route.behaviour == Behaviour::Slow;
    auto *drip = new QTimer(socket);
    QObject::connect(drip, &QTimer::timeout, socket, [socket, step = slow ? 10'000 : 1, body = route.body.mid(from, to - from + 1), sent = qsizetype(0)]() mutable {
        socket->write(body.mid(sent, step));
        if ((sent += step) >= body.size())
            socket->disconnectFromHost();
    });
    drip->start(slow ? 100 : 1000);
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
    // Players' streams only, not the sound server's own loop of silence.
    return pactl.waitForFinished() && pactl.exitCode() == 0 ? int(pactl.readAll().count("protocol-native.c")) : -1;
}

Home::Home()
{
    qputenv("XDG_CACHE_HOME", cache().toUtf8());
    qputenv("XDG_CONFIG_HOME", (path() + u"/config"_s).toUtf8());
    qputenv("XDG_DATA_HOME", (path() + u"/data"_s).toUtf8());
    // QSettings reads the variable once per process.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path() + u"/config"_s);
}

Home::~Home()
{
    History::sync();
}

bool Home::instances(const TestServer &server, const QStringList &names) const
{
    QList<std::pair<QString, QString>> list;
    for (const QString &name : names)
        list.append({name, server.base(name)});
    return writeCache(cache(), list);
}

} // namespace vireo::test
