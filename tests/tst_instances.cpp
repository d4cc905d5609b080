// SPDX-License-Identifier: MIT
// Which instances are asked, in which order: the directory's filter and ranking figure, the ranking,
// where the list comes from (fresh cache, loopback directory, stale cache, built-in list), and a
// cache file that no reader ever finds half-written.
#include "instances/instancehealth.h"
#include "instances/instancelist.h"
#include "standins.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QCoroTask>
#include <csignal>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace vireo;

namespace {

QStringList hosts(const QList<Instance> &list)
{
    QStringList names;
    for (const Instance &i : list)
        names.append(i.host + (i.uptime ? u'=' + QString::number(i.uptime) : QString()));
    return names;
}

QByteArray oneEntry(const char *details)
{
    return QByteArray(R"([["n",)") + details + "]]";
}

const QByteArray Cached = R"([{"host":"cached","base":"https://cached","uptime":0}])";
const QByteArray Directory = R"([["low",{"api":true,"type":"https","uri":"https://low/","monitor":{"uptime":10}}],)"
                             R"(["high",{"api":true,"type":"https","uri":"https://high","monitor":{"uptime":99}}]])";
// The cache after a download of Directory: directory order, unsorted, keys in record order.
const QByteArray Stored = R"([{"host":"low","base":"https://low","uptime":10},{"host":"high","base":"https://high","uptime":99}])";

// Large, so that a write takes long enough to be met in the middle.
QList<Instance> bigList(int uptime)
{
    return QList<Instance>(20000, {u"inv.example"_s, u"https://inv.example"_s, double(uptime)});
}

} // namespace

class TestInstances : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void directory_data();
    void directory();
    void ranking();
    void health_data();
    void health();
    void resolution_data();
    void resolution();
    void cacheNeverTorn();
};

void TestInstances::directory_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("hosts"); // host=uptime; "none" when there is no list
    QTest::newRow("api false") << oneEntry(R"({"api":false,"type":"https","uri":"https://x"})") << QStringList{};
    QTest::newRow("type http") << oneEntry(R"({"api":true,"type":"http","uri":"https://x"})") << QStringList{};
    QTest::newRow("uri http") << oneEntry(R"({"api":true,"type":"https","uri":"http://x"})") << QStringList{};
    QTest::newRow("uri without a host") << oneEntry(R"({"api":true,"type":"https","uri":"https://"})") << QStringList{};
    QTest::newRow("uptime 0 before a ratio") << oneEntry(R"({"api":true,"type":"https","uri":"https://x/","monitor":{"uptime":0,"30dRatio":{"ratio":"99"}}})")
                                             << QStringList{u"n"_s};
    QTest::newRow("unusable ratio, weekly next") << oneEntry(R"({"api":true,"type":"https","uri":"https://x","monitor":{"uptime":"9","30dRatio":{"ratio":"99%"},"weeklyRatio":{"ratio":"90"}}})")
                                                 << QStringList{u"n=90"_s};
    QTest::newRow("an object among the entries") << QByteArray(R"([["n",{}],{}])") << QStringList{u"none"_s};
}

void TestInstances::directory()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, hosts);
    const auto list = InstanceList::parseDirectory(body);
    QCOMPARE(list ? ::hosts(*list) : QStringList{u"none"_s}, hosts);
    if (list && !list->isEmpty())
        QCOMPARE(list->first().base, u"https://x"_s); // one trailing slash goes
}

void TestInstances::ranking()
{
    QList<Instance> list = {{u"nan"_s, {}, std::nan("")}, {u"b"_s, {}, 5}, {u"a"_s, {}, 0}, {u"c"_s, {}, -1}, {u"d"_s, {}, 0}};
    QCOMPARE(hosts(InstanceList::ranked(list, 4)), (QStringList{u"b=5"_s, u"nan=nan"_s, u"a"_s, u"d"_s}));
    // Enough ties that an unstable sort would show.
    list.clear();
    for (int i = 0; i < 60; ++i)
        list.append({QString::number(i), {}, double(i * 7 % 3)});
    const QList<Instance> ranked = InstanceList::ranked(list, 60);
    for (qsizetype i = 1; i < ranked.size(); ++i)
        QVERIFY(ranked[i - 1].uptime > ranked[i].uptime || ranked[i - 1].host.toInt() < ranked[i].host.toInt());
}

void TestInstances::health_data()
{
    QTest::addColumn<QByteArray>("file"); // what was seen of a, b and c, and when ("MIN" minutes ago)
    QTest::addColumn<QString>("order");
    QTest::addColumn<QByteArray>("kept"); // the file written back; empty when it stays as it is
    const auto seen = [](const char *base, const char *what, int minutes) {
        return '"' + QByteArray(base) + R"(":{"at":MIN)" + QByteArray::number(minutes) + R"(,"seen":")" + what + "\"}";
    };
    QTest::newRow("no file: the directory's order") << QByteArray() << u"a b c"_s << QByteArray();
    QTest::newRow("timed out 29 min ago, refused 29 min ago: behind, in order")
        << '{' + seen("https://a", "refused", 29) + ',' + seen("https://b", "timedOut", 29) + '}' << u"c a b"_s << QByteArray();
    QTest::newRow("timed out 31 min ago: back in its place") << '{' + seen("https://a", "timedOut", 31) + '}' << u"a b c"_s << QByteArray("{}");
    QTest::newRow("unusable 9 min ago, 11 min ago") << '{' + seen("https://a", "unusable", 9) + ',' + seen("https://b", "unusable", 11) + '}'
                                                   << u"b c a"_s << '{' + seen("https://a", "unusable", 9) + '}';
    QTest::newRow("an instance no longer listed is let go") << '{' + seen("https://gone", "refused", 1) + '}' << u"a b c"_s << QByteArray("{}");
    QTest::newRow("a time to come is no failure") << '{' + seen("https://a", "refused", -5) + '}' << u"a b c"_s << QByteArray("{}");
    QTest::newRow("garbage: as none, and replaced") << QByteArray("<html>{[not json") << u"a b c"_s << QByteArray("{}");
}

void TestInstances::health()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, order);
    QFETCH(QByteArray, kept);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto at = [&](QByteArray text) {
        for (qsizetype i; (i = text.indexOf("MIN")) >= 0;) {
            const qsizetype end = text.indexOf(',', i);
            text.replace(i, end - i, QByteArray::number(now.toMSecsSinceEpoch() - text.mid(i + 3, end - i - 3).toLongLong() * 60'000));
        }
        return text;
    };
    const QList<Instance> list = {{u"a"_s, u"https://a"_s, 0}, {u"b"_s, u"https://b"_s, 0}, {u"c"_s, u"https://c"_s, 0}};
    const auto [ranked, keep] = InstanceHealth::ranked(list, at(file), now);
    QCOMPARE(hosts(ranked).join(u' '), order);
    QCOMPARE(keep, at(kept));
}

void TestInstances::resolution_data()
{
    QTest::addColumn<QByteArray>("cache");
    QTest::addColumn<int>("ageMinutes");
    QTest::addColumn<QByteArray>("directory"); // empty: refused
    QTest::addColumn<QStringList>("hosts");    // top(5)

    const QStringList fetched = {u"high=99"_s, u"low=10"_s}, cached = {u"cached"_s};
    QTest::newRow("no cache") << QByteArray() << 0 << Directory << fetched;
    QTest::newRow("5 h 59 min old") << Cached << 359 << Directory << cached;
    QTest::newRow("6 h old") << Cached << 360 << Directory << fetched;
    QTest::newRow("week old, directory refused") << Cached << 10080 << QByteArray() << cached;
    QTest::newRow("week old, all filtered out") << Cached << 10080 << oneEntry(R"({"api":false,"type":"https","uri":"https://x"})") << cached;
    QTest::newRow("week old, directory over 8 MiB") << Cached << 10080 << '[' + QByteArray(9 << 20, ' ') + Directory.mid(1) << cached;
    QTest::newRow("week old, infinite uptime") << Cached << 10080 << oneEntry(R"({"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":"inf"}}})")
                                               << QStringList{u"n=inf"_s};
    QTest::newRow("record without uptime, refused") << QByteArray(R"([{"host":"a","base":"https://a"}])") << 60 << QByteArray()
                                                    << QStringList{u"inv.nadeko.net"_s, u"invidious.nerdvpn.de"_s, u"yewtu.be"_s,
                                                                   u"invidious.f5.si"_s, u"inv.tux.pizza"_s};
}

void TestInstances::resolution()
{
    QFETCH(QByteArray, cache);
    QFETCH(int, ageMinutes);
    QFETCH(QByteArray, directory);
    QFETCH(QStringList, hosts);
    const test::Home home;
    const QString file = home.cache() + u"/Vireo/instances.json"_s;
    if (!cache.isEmpty()) {
        QFile f(file);
        QVERIFY(QDir().mkpath(home.cache() + u"/Vireo"_s) && f.open(QIODevice::WriteOnly) && f.write(cache) && f.flush());
        QVERIFY(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-60 * ageMinutes), QFileDevice::FileModificationTime));
    }
    test::TestServer server;
    server.route(u"/instances.json"_s, {200, directory});

    const QString url = (directory.isEmpty() ? test::refused() : server.base()) + u"/instances.json"_s;
    QCOMPARE(::hosts(QCoro::waitFor(InstanceList::top(5, QUrl(url)))), hosts);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    if (hosts.first() == u"high=99"_s)
        QCOMPARE(f.readAll(), Stored);
    else // a failed, empty or unwritable download leaves the file alone
        QCOMPARE(f.readAll(), cache);
}

void TestInstances::cacheNeverTorn()
{
    // Another process rewrites the cache with two lists in turn while this one reads it, then is
    // killed: every read, and the file left behind, is one whole list.
    const test::Home home;
    const QString file = home.path() + u"/instances.json"_s;
    QVERIFY(InstanceList::store(file, bigList(1)));
    QProcess writer;
    writer.start(QCoreApplication::applicationFilePath(), {u"--writer"_s, file});
    QVERIFY(writer.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1500) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const auto list = Instance::decode(f.readAll());
        QVERIFY(list && (*list == bigList(1) || *list == bigList(2)));
    }
    ::kill(pid_t(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished());
    QCOMPARE(QDir(home.path()).entryList(QDir::Files), QStringList{u"instances.json"_s}); // nothing half-written beside it
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    for (int round = 0; argc == 3 && QByteArray(argv[1]) == "--writer"; ++round)
        InstanceList::store(QString::fromLocal8Bit(argv[2]), bigList(1 + round % 2));
    TestInstances test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instances.moc"
