// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <chrono>

namespace vireo::test {

inline const QString Id = QStringLiteral("dQw4w9WgXcQ");

// How long a test waits for something that is bound to happen: enough for the slowest honest run
// (sanitizers, cold library caches, both cores busy). Only a failing test waits this long.
inline constexpr std::chrono::milliseconds Patience{20000};

// Qt Test's own waits give up after 5 s; these wait Patience, and a failing one says what it saw.
#define TRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, int(vireo::test::Patience.count()))
#define TRY_VERIFY2(expr, seen) QTRY_VERIFY2_WITH_TIMEOUT(expr, qPrintable(seen), int(vireo::test::Patience.count()))
#define TRY_COMPARE(actual, expected) QTRY_COMPARE_WITH_TIMEOUT(actual, expected, int(vireo::test::Patience.count()))

// A loopback HTTP/1.1 server that plays Invidious instances and their media, and misbehaves as real
// servers do. Instance "name" has the base <server>/name, and its answers' descriptions list three
// chapters, 10 s apart; the generated clip is at /clip.mp4 (4 s),
// a 30 s one at /long.mp4, English captions at /captions.vtt, separate 360, 720 and 1080 line
// pictures and their sound at /dash/manifest-stream0.mp4 to 3.mp4 (10 s), and /silent.mp4 accepts
// and never answers. Anything without a route
// answers 404.
class TestServer
{
public:
    // Drip: one byte a second. Held: nothing until release(). Chunked: chunked, with no length.
    enum class Behaviour { Answer, Drip, Slow, Held, Chunked };
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
    // Instance `name` answers for `id` (only with ?local=true when `local`) with one stream at `media`.
    void answer(const QString &name, const QString &media, bool local = false, const QByteArray &titleJson = "\"Clip\"",
                const QString &id = Id);
    // Instance `name` answers list `list` with `ids`, titled "Video 1", "Video 2"…, in one page that
    // it sends again for every page after it, as some instances do.
    void answerPlaylist(const QString &name, const QString &list, const QStringList &ids);
    // The same, with the streams of /dash as separate picture (360, 720, 1080 lines) and sound
    // streams; with `broken`, the pictures' addresses answer 404. Its single file is at `single`.
    void answerAdaptive(const QString &name, bool local = false, bool broken = false, const QString &single = QStringLiteral("/clip.mp4"));
    // Segment server `name` answers Id's hash prefix with Id's sponsor segment at 3–8 s and outro at
    // 24–28 s, beside another video's segment.
    void segments(const QString &name);
    // Instance `name` answers for Id with the HTML page of a bot check, as some instances do.
    void challenge(const QString &name);
    [[nodiscard]] QByteArray body(const QString &path) const { return m_routes.value(path).body; }
    [[nodiscard]] int requests(const QString &path) const { return int(m_requests.count(path)); }
    // Connections asking for `path` that neither side has closed yet.
    [[nodiscard]] int open(const QString &path) const { return int(m_open.values().count(path)); }
    // Holds back the answers to `path` until release(), which answers those held and those to come.
    void hold(const QString &path) { behave(path, Behaviour::Held); }
    void release(const QString &path);
    // Bytes of answers to `path` that reached the client before it hung up.
    [[nodiscard]] qint64 sent(const QString &path) const { return m_sent.value(path); }
    void reset();

private:
    void serve(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Route &route);
    void behave(const QString &path, Behaviour behaviour);

    QHash<QString, Route> m_routes;
    QStringList m_requests;
    QHash<QString, qint64> m_sent;
    QHash<QTcpSocket *, QString> m_open;
    QTcpServer m_server; // last: its sockets may still report to the members above as they go
};

// The base URL of a loopback port that nothing listens on.
[[nodiscard]] QString refused();

// Writes a fresh instance cache under `cacheRoot` (what XDG_CACHE_HOME names) listing these
// (host, base) pairs, best first.
bool writeCache(const QString &cacheRoot, const QList<std::pair<QString, QString>> &instances);

// How many streams the sound server (PULSE_SERVER) plays; -1 when none answers.
[[nodiscard]] int soundStreams();

// Caches, settings and data of a test's own: XDG_CACHE_HOME, XDG_CONFIG_HOME and XDG_DATA_HOME point into it.
struct Home : QTemporaryDir {
    Home();
    ~Home();
    [[nodiscard]] QString cache() const { return path() + QStringLiteral("/cache"); }
    // A fresh instance cache listing the named stand-ins of `server`, best first.
    bool instances(const TestServer &server, const QStringList &names) const;
};

} // namespace vireo::test
