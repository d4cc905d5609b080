// SPDX-License-Identifier: MIT
#include "instances/instance.h"
#include "instances/instancelist.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using vireo::Instance;
namespace InstanceList = vireo::InstanceList;

using Instances = QList<Instance>;

class TestInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void recordRoundTripKeepsKeyOrder();
    void equalityAndHashAgree();
    void decodeRefuses_data();
    void decodeRefuses();
    void refusesToEncodeNonFiniteUptime();
    void fallbackList();
    void parseDirectory_data();
    void parseDirectory();
    void ranking_data();
    void ranking();
};

void TestInstance::recordRoundTripKeepsKeyOrder()
{
    const Instances list = {{u"a \"quoted\" name"_s, u"https://a.example/x"_s, 99.53}, {u"b"_s, u"https://b"_s, -0.0}};
    const auto json = Instance::encode(list);
    QVERIFY(json);
    const QByteArray first = R"([{"host":"a \"quoted\" name","base":"https://a.example/x","uptime":99.53},)";
    QVERIFY2(json->startsWith(first), json->constData());
    QCOMPARE(Instance::decode(*json), list);
    QCOMPARE(Instance::encode({}), QByteArray("[]"));
}

void TestInstance::equalityAndHashAgree()
{
    const Instance plus{u"h"_s, u"https://h"_s, 0.0};
    const Instance minus{u"h"_s, u"https://h"_s, -0.0};
    QCOMPARE(plus, minus);
    QCOMPARE(qHash(plus, 7), qHash(minus, 7));
    QVERIFY(plus != (Instance{u"h"_s, u"https://h"_s, 1.0}));
    QVERIFY(plus != (Instance{u"h"_s, u"https://g"_s, 0.0}));
}

void TestInstance::decodeRefuses_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("garbage") << QByteArray("not json");
    QTest::newRow("truncated") << QByteArray(R"([{"host":"a","base":"https://a","upt)");
    QTest::newRow("object at the top") << QByteArray(R"({"host":"a","base":"https://a","uptime":1})");
    QTest::newRow("record without uptime") << QByteArray(R"([{"host":"a","base":"https://a","uptime":1},{"host":"b","base":"https://b"}])");
    QTest::newRow("uptime as a string") << QByteArray(R"([{"host":"a","base":"https://a","uptime":"1"}])");
    QTest::newRow("host null") << QByteArray(R"([{"host":null,"base":"https://a","uptime":1}])");
    QTest::newRow("a record that is not an object") << QByteArray(R"([{"host":"a","base":"https://a","uptime":1},3])");
}

void TestInstance::decodeRefuses()
{
    QFETCH(QByteArray, json);
    QVERIFY(!Instance::decode(json));
}

void TestInstance::refusesToEncodeNonFiniteUptime()
{
    // Qt would write these as null, and the cache would never decode again.
    QVERIFY(!Instance::encode({{u"a"_s, u"https://a"_s, std::numeric_limits<double>::infinity()}}));
    QVERIFY(!Instance::encode({{u"a"_s, u"https://a"_s, 1}, {u"b"_s, u"https://b"_s, std::nan("")}}));
}

void TestInstance::fallbackList()
{
    const Instances &list = InstanceList::fallback();
    QCOMPARE(list.size(), 5);
    QCOMPARE(list.first(), (Instance{u"inv.nadeko.net"_s, u"https://inv.nadeko.net"_s, 0}));
    QCOMPARE(list.last().base, u"https://inv.tux.pizza"_s);
    QCOMPARE(&InstanceList::fallback(), &list);
}

void TestInstance::parseDirectory_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("isList");
    QTest::addColumn<Instances>("expected");

    const auto entry = [](const char *name, const char *details) {
        return QByteArray("[\"") + name + "\"," + details + "]";
    };
    const auto dir = [](const QList<QByteArray> &entries) { return '[' + entries.join(',') + ']'; };
    const char *good = R"({"flag":"x","region":"DE","cors":true,"api":true,"type":"https","uri":"https://a.example","monitor":{"uptime":99.2,"30dRatio":{"ratio":"99.9","label":"success"}}})";
    const Instance a{u"a.example"_s, u"https://a.example"_s, 99.2};

    QTest::newRow("real-shaped entry") << dir({entry("a.example", good)}) << true << Instances{a};
    QTest::newRow("empty directory") << QByteArray("[]") << true << Instances{};
    QTest::newRow("HTML page") << QByteArray("<html><body>502 Bad Gateway</body></html>") << false << Instances{};
    QTest::newRow("object at the top") << QByteArray(R"({"a":1})") << false << Instances{};
    QTest::newRow("one object among entries") << dir({entry("a.example", good), "{}"}) << false << Instances{};
    QTest::newRow("nested too deep") << QByteArray(100000, '[') << false << Instances{};
    QTest::newRow("three elements, one element, wrong types")
        << dir({"[\"a.example\"," + QByteArray(good) + ",7]", "[\"b\"]", "[1,{}]", "[\"c\",[]]"}) << true << Instances{a};

    struct Row { const char *name; const char *details; std::optional<Instance> result; };
    const QList<Row> rows = {
        {"type HTTPS", R"({"api":true,"type":"HTTPS","uri":"https://x"})", {}},
        {"type onion", R"({"api":true,"type":"onion","uri":"https://x"})", {}},
        {"api null", R"({"api":null,"type":"https","uri":"https://x"})", {}},
        {"api false", R"({"api":false,"type":"https","uri":"https://x"})", {}},
        {"api \"true\"", R"({"api":"true","type":"https","uri":"https://x"})", {}},
        {"api missing", R"({"type":"https","uri":"https://x"})", {}},
        {"uri http", R"({"api":true,"type":"https","uri":"http://x"})", {}},
        {"uri HTTPS in capitals", R"({"api":true,"type":"https","uri":"HTTPS://x"})", {}},
        {"uri one trailing slash", R"({"api":true,"type":"https","uri":"https://x/"})", Instance{u"n"_s, u"https://x"_s, 0}},
        {"uri two trailing slashes", R"({"api":true,"type":"https","uri":"https://x//"})", Instance{u"n"_s, u"https://x/"_s, 0}},
        {"uri https:// and nothing else", R"({"api":true,"type":"https","uri":"https://"})", {}},
        {"uri https:/// and nothing else", R"({"api":true,"type":"https","uri":"https:///"})", {}},
        {"uri with a path", R"({"api":true,"type":"https","uri":"https://x/inv/"})", Instance{u"n"_s, u"https://x/inv"_s, 0}},
        {"monitor missing", R"({"api":true,"type":"https","uri":"https://x"})", Instance{u"n"_s, u"https://x"_s, 0}},
        {"monitor null", R"({"api":true,"type":"https","uri":"https://x","monitor":null})", Instance{u"n"_s, u"https://x"_s, 0}},
        {"uptime 0 beats a higher ratio", R"({"api":true,"type":"https","uri":"https://x","monitor":{"uptime":0,"30dRatio":{"ratio":"99"}}})", Instance{u"n"_s, u"https://x"_s, 0}},
        {"uptime string, 30d ratio", R"({"api":true,"type":"https","uri":"https://x","monitor":{"uptime":"98","30dRatio":{"ratio":"99.5"}}})", Instance{u"n"_s, u"https://x"_s, 99.5}},
        {"30d ratio a number, weekly used", R"({"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":99},"weeklyRatio":{"ratio":"97.25"}}})", Instance{u"n"_s, u"https://x"_s, 97.25}},
        {"ratio \" 99.5\"", R"({"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":" 99.5"}}})", Instance{u"n"_s, u"https://x"_s, 0}},
        {"ratio \"99.5%\", weekly used", R"({"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":"99.5%"},"weeklyRatio":{"ratio":"90"}}})", Instance{u"n"_s, u"https://x"_s, 90}},
        {"ratio empty", R"({"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":""}}})", Instance{u"n"_s, u"https://x"_s, 0}},
        {"ratio \"1e2\"", R"({"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":"1e2"}}})", Instance{u"n"_s, u"https://x"_s, 100}},
        {"ratio \"-5\"", R"({"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":"-5"}}})", Instance{u"n"_s, u"https://x"_s, -5}},
        {"ratio \"inf\"", R"({"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":"inf"}}})", Instance{u"n"_s, u"https://x"_s, std::numeric_limits<double>::infinity()}},
        {"ratio \"99,5\" (no locale decimal comma)", R"({"api":true,"type":"https","uri":"https://x","monitor":{"30dRatio":{"ratio":"99,5"}}})", Instance{u"n"_s, u"https://x"_s, 0}},
    };
    for (const Row &row : rows)
        QTest::newRow(row.name) << dir({entry("n", row.details)}) << true
                                << (row.result ? Instances{*row.result} : Instances{});

    QTest::newRow("duplicate names kept, name is not the uri's host")
        << dir({entry("same", R"({"api":true,"type":"https","uri":"https://one"})"),
                entry("same", R"({"api":true,"type":"https","uri":"https://two"})")})
        << true << Instances{{u"same"_s, u"https://one"_s, 0}, {u"same"_s, u"https://two"_s, 0}};
}

void TestInstance::parseDirectory()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, isList);
    QFETCH(Instances, expected);
    const auto list = InstanceList::parseDirectory(body);
    QCOMPARE(list.has_value(), isList);
    if (isList)
        QCOMPARE(*list, expected);
}

void TestInstance::ranking_data()
{
    QTest::addColumn<Instances>("list");
    QTest::addColumn<int>("n");
    QTest::addColumn<QStringList>("hosts");
    const auto make = [](std::initializer_list<std::pair<const char *, double>> items) {
        Instances list;
        for (const auto &[host, uptime] : items)
            list.append({QString::fromLatin1(host), u"https://"_s + QString::fromLatin1(host), uptime});
        return list;
    };
    const Instances mixed = make({{"a", 90}, {"b", 99}, {"c", 90}, {"d", 95}, {"e", 0}, {"f", 99.5}});
    QTest::newRow("best five, ties in list order") << mixed << 5 << QStringList{u"f"_s, u"b"_s, u"d"_s, u"a"_s, u"c"_s};
    QTest::newRow("fewer than n") << make({{"a", 1}, {"b", 3}, {"c", 2}}) << 5 << QStringList{u"b"_s, u"c"_s, u"a"_s};
    QTest::newRow("zero") << mixed << 0 << QStringList{};
    QTest::newRow("negative is zero") << mixed << -3 << QStringList{};
    QTest::newRow("NaN ranks as 0, stable")
        << make({{"a", 0}, {"nan", std::nan("")}, {"b", 0}, {"c", -1}, {"d", 1}}) << 5
        << QStringList{u"d"_s, u"a"_s, u"nan"_s, u"b"_s, u"c"_s};
}

void TestInstance::ranking()
{
    QFETCH(Instances, list);
    QFETCH(int, n);
    QFETCH(QStringList, hosts);
    QStringList got;
    for (const Instance &i : InstanceList::ranked(list, n))
        got.append(i.host);
    QCOMPARE(got, hosts);
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
