// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>

namespace vireo::test {

inline const QString Id = QStringLiteral("dQw4w9WgXcQ");

// A loopback HTTP/1.1 server that plays Invidious instances and their media, and misbehaves as real
// servers do. Instance "name" has the base <server>/name; the generated clip is at /clip.mp4, and
// /silent.mp4 accepts and never answers. Anything without a route answers 404.
class TestServer
{
public:
    enum class Behaviour { Answer, Drip, Silent }; // Drip: one byte a second
    struct Route {
        int status = 200;
        QByteArray body;
        QByteArray type = "application/json";
        Behaviour behaviour = Behaviour::Answer;
    };

    TestServer();
    [[nodiscard]] QString base(const QString &name = {}) const;
    [[nodiscard]] QUrl url(const QString &path) const { return QUrl(base() + path); }
    // `path` may end in "?query" to answer only that query.
    void route(const QString &path, const Route &route) { m_routes.insert(path, route); }
    // Instance `name` answers for Id (only with ?local=true when `local`) with one stream at `media`.
    void answer(const QString &name, const QString &media, bool local = false, const QByteArray &titleJson = "\"Clip\"");
    [[nodiscard]] int requests(const QString &path) const { return int(m_requests.count(path)); }
    // Bytes of answers to `path` that reached the client before it hung up.
    [[nodiscard]] qint64 sent(const QString &path) const { return m_sent.value(path); }
    void reset();

private:
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QStringList m_requests;
    QHash<QString, qint64> m_sent;
};

// The base URL of a loopback port that nothing listens on.
[[nodiscard]] QString refused();

// Writes a fresh instance cache under `cacheRoot` (what XDG_CACHE_HOME names) listing these
// (host, base) pairs, best first.
bool writeCache(const QString &cacheRoot, const QList<std::pair<QString, QString>> &instances);

// How many streams the sound server (PULSE_SERVER) plays; -1 when none answers.
[[nodiscard]] int soundStreams();

// Caches and settings of a test's own: XDG_CACHE_HOME and XDG_CONFIG_HOME point into it.
struct Home : QTemporaryDir {
    Home();
    [[nodiscard]] QString cache() const { return path() + QStringLiteral("/cache"); }
    // A fresh instance cache listing the named stand-ins of `server`, best first.
    bool instances(const TestServer &server, const QStringList &names) const;
};

} // namespace vireo::test
