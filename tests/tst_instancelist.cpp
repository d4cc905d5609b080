// SPDX-License-Identifier: MIT
// Where the instance list comes from: fresh cache, directory, stale cache or the built-in list,
// against a loopback directory and a temporary caches folder.
#include "instances/instancelist.h"
#include "testserver.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QCoroTask>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using vireo::Instance;
using vireo::test::TestServer;
namespace InstanceList = vireo::InstanceList;

namespace {

enum class Cache { None, Fresh, AlmostStale, ExactlyStale, WeekOld, Future, Garbage, Truncated, EmptyArray,
                   NoUptime, Unreadable, FolderUncreatable };
enum class Directory { Works, Refused, Html500, ValidWith500, AllFiltered, Silent, CutMidBody, Huge };

const QByteArray CachedJson = R"([{"host":"cached","base":"https://cached","uptime":50}])";
const QByteArray DirectoryJson = R"([["low",{"api":true,"type":"https","uri":"https://low/","monitor":{"uptime":10}}],)"
                                 R"(["high",{"api":true,"type":"https","uri":"https://high","monitor":{"uptime":99}}]])";

} // namespace

Q_DECLARE_METATYPE(Cache)
Q_DECLARE_METATYPE(Directory)

class TestInstanceList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.listen()); }
    void init();
    void resolution_data();
    void resolution();
    void keepsLastGoodFileWhenWriteFails();

private:
    QString cachePath() const { return m_caches->path() + u"/Vireo/instances.json"_s; }
    void writeCache(const QByteArray &json, qint64 ageSeconds);

    TestServer m_server;
    std::unique_ptr<QTemporaryDir> m_caches;
};

void TestInstanceList::init()
{
    m_caches = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CACHE_HOME", m_caches->path().toUtf8());
    m_server.clearRequests();
}

void TestInstanceList::writeCache(const QByteArray &json, qint64 ageSeconds)
{
    QDir().mkpath(m_caches->path() + u"/Vireo"_s);
    QFile file(cachePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(json);
    file.flush(); // a write after the date would move it again
    QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds), QFileDevice::FileModificationTime));
}

void TestInstanceList::resolution_data()
{
    QTest::addColumn<Cache>("cache");
    QTest::addColumn<Directory>("directory");
    QTest::addColumn<QStringList>("hosts");      // top(5)
    QTest::addColumn<bool>("downloaded");        // the directory was asked
    QTest::addColumn<bool>("rewritten");         // the cache file now holds the download

    const QStringList fallback = {u"inv.nadeko.net"_s, u"invidious.nerdvpn.de"_s, u"yewtu.be"_s,
                                  u"invidious.f5.si"_s, u"inv.tux.pizza"_s};
    const QStringList fetched = {u"high"_s, u"low"_s};
    const QStringList cached = {u"cached"_s};

    QTest::newRow("no cache, directory works") << Cache::None << Directory::Works << fetched << true << true;
    QTest::newRow("5 h 59 min old cache") << Cache::AlmostStale << Directory::Works << cached << false << false;
    QTest::newRow("fresh cache") << Cache::Fresh << Directory::Works << cached << false << false;
    QTest::newRow("cache dated in the future") << Cache::Future << Directory::Works << cached << false << false;
    QTest::newRow("exactly 21600 s old") << Cache::ExactlyStale << Directory::Works << fetched << true << true;
    QTest::newRow("week-old cache, directory works") << Cache::WeekOld << Directory::Works << fetched << true << true;
    QTest::newRow("week-old cache, directory refused") << Cache::WeekOld << Directory::Refused << cached << true << false;
    QTest::newRow("week-old cache, HTML 500") << Cache::WeekOld << Directory::Html500 << cached << true << false;
    QTest::newRow("week-old cache, silent directory") << Cache::WeekOld << Directory::Silent << cached << true << false;
    QTest::newRow("week-old cache, body cut") << Cache::WeekOld << Directory::CutMidBody << cached << true << false;
    QTest::newRow("week-old cache, 9 MiB body") << Cache::WeekOld << Directory::Huge << cached << true << false;
    QTest::newRow("week-old cache, all filtered") << Cache::WeekOld << Directory::AllFiltered << cached << true << false;
    QTest::newRow("valid directory under status 500") << Cache::None << Directory::ValidWith500 << fetched << true << true;
    QTest::newRow("no cache, directory refused") << Cache::None << Directory::Refused << fallback << true << false;
    QTest::newRow("no cache, all filtered") << Cache::None << Directory::AllFiltered << fallback << true << false;
    QTest::newRow("garbage cache") << Cache::Garbage << Directory::Refused << fallback << true << false;
    QTest::newRow("truncated cache") << Cache::Truncated << Directory::Refused << fallback << true << false;
    QTest::newRow("empty array cache") << Cache::EmptyArray << Directory::Refused << fallback << true << false;
    QTest::newRow("record without uptime") << Cache::NoUptime << Directory::Refused << fallback << true << false;
    QTest::newRow("garbage cache, directory works") << Cache::Garbage << Directory::Works << fetched << true << true;
    QTest::newRow("unreadable cache") << Cache::Unreadable << Directory::Works << fetched << true << false;
    QTest::newRow("caches folder uncreatable") << Cache::FolderUncreatable << Directory::Works << fetched << true << false;
}

void TestInstanceList::resolution()
{
    QFETCH(Cache, cache);
    QFETCH(Directory, directory);
    QFETCH(QStringList, hosts);
    QFETCH(bool, downloaded);
    QFETCH(bool, rewritten);

    constexpr qint64 Hour = 3600;
    switch (cache) {
    case Cache::None: break;
    case Cache::Fresh: writeCache(CachedJson, 60); break;
    case Cache::AlmostStale: writeCache(CachedJson, 6 * Hour - 60); break;
    case Cache::ExactlyStale: writeCache(CachedJson, 6 * Hour); break;
    case Cache::WeekOld: writeCache(CachedJson, 7 * 24 * Hour); break;
    case Cache::Future: writeCache(CachedJson, -24 * Hour); break;
    case Cache::Garbage: writeCache("\x89PNG garbage", 60); break;
    case Cache::Truncated: writeCache(CachedJson.left(30), 60); break;
    case Cache::EmptyArray: writeCache("[]", 60); break;
    case Cache::NoUptime: writeCache(R"([{"host":"cached","base":"https://cached","uptime":50},{"host":"x","base":"https://x"}])", 60); break;
    case Cache::Unreadable: QVERIFY(QDir().mkpath(cachePath())); break; // a folder where the file should be
    case Cache::FolderUncreatable: {
        const QString file = m_caches->path() + u"/plain-file"_s;
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        qputenv("XDG_CACHE_HOME", file.toUtf8());
        break;
    }
    }
    const QByteArray before = [&] {
        QFile f(cachePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const QDateTime modifiedBefore = QFileInfo(cachePath()).lastModified();

    TestServer::Route route;
    route.body = DirectoryJson;
    QUrl url = m_server.url(u"/instances.json"_s);
    switch (directory) {
    case Directory::Works: break;
    case Directory::Refused: url.setPort(TestServer::refusedPort()); break;
    case Directory::Html500: route.status = 500; route.body = "<html>oops</html>"; break;
    case Directory::ValidWith500: route.status = 500; break;
    case Directory::AllFiltered: route.body = R"([["x",{"api":false,"type":"https","uri":"https://x"}]])"; break;
    case Directory::Silent: route.behaviour = TestServer::Behaviour::Silent; break;
    case Directory::CutMidBody: route.behaviour = TestServer::Behaviour::CloseMidBody; break;
    case Directory::Huge: route.body = "[" + QByteArray(9 * 1024 * 1024, ' ') + "]"; break;
    }
    m_server.route(u"/instances.json"_s, route);

    QElapsedTimer clock;
    clock.start();
    const auto list = QCoro::waitFor(InstanceList::top(5, url));
    QVERIFY2(clock.elapsed() < 9500, "the directory's 8 s time-out bounds every resolution");
    QStringList got;
    for (const Instance &i : list)
        got.append(i.host);
    QCOMPARE(got, hosts);
    QCOMPARE(m_server.requestCount(u"/instances.json"_s) > 0 || directory == Directory::Refused, downloaded);

    QFile file(cachePath());
    const QByteArray after = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (rewritten) {
        // Stored as downloaded: directory order, unsorted.
        const QByteArray stored = R"([{"host":"low","base":"https://low","uptime":10},{"host":"high","base":"https://high","uptime":99}])";
        QCOMPARE(after, stored);
    } else {
        QCOMPARE(after, before);
        QCOMPARE(QFileInfo(cachePath()).lastModified(), modifiedBefore);
    }
}

void TestInstanceList::keepsLastGoodFileWhenWriteFails()
{
    // A directory that holds an infinite uptime cannot be written; the old file must survive.
    writeCache(CachedJson, 7 * 24 * 3600);
    m_server.route(u"/instances.json"_s, 200,
                   R"([["x",{"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":"inf"}}}]])");
    const auto list = QCoro::waitFor(InstanceList::load(m_server.url(u"/instances.json"_s)));
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.first().host, u"x"_s);
    QFile file(cachePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), CachedJson);
}

QTEST_GUILESS_MAIN(TestInstanceList)
#include "tst_instancelist.moc"
