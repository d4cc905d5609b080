// SPDX-License-Identifier: MIT
// The loopback server is what every network test stands on; these check the parts of it
// that are easy to get wrong.
#include "testserver.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using vireo::test::TestServer;

class TestTestServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.listen()); }
    void ranges_data();
    void ranges();
    void logsPathAndQuery();
    void misbehaviour_data();
    void misbehaviour();

private:
    std::unique_ptr<QNetworkReply> get(const QUrl &url, const QByteArray &range = {})
    {
        QNetworkRequest request(url);
        if (!range.isEmpty())
            request.setRawHeader("Range", range);
        request.setTransferTimeout(5000);
        std::unique_ptr<QNetworkReply> reply(m_nam.get(request));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        finished.wait(10000);
        return reply;
    }

    TestServer m_server;
    QNetworkAccessManager m_nam;
};

void TestTestServer::ranges_data()
{
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("none") << QByteArray() << 200 << QByteArray("0123456789");
    QTest::newRow("open end") << QByteArray("bytes=4-") << 206 << QByteArray("456789");
    QTest::newRow("closed") << QByteArray("bytes=2-4") << 206 << QByteArray("234");
    QTest::newRow("end past the body") << QByteArray("bytes=8-99") << 206 << QByteArray("89");
    QTest::newRow("start past the body: whole body") << QByteArray("bytes=10-") << 200 << QByteArray("0123456789");
}

void TestTestServer::ranges()
{
    QFETCH(QByteArray, range);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    m_server.route(u"/clip"_s, 200, "0123456789", "video/mp4");
    const auto reply = get(m_server.url(u"/clip"_s), range);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
    QCOMPARE(reply->readAll(), body);
}

void TestTestServer::logsPathAndQuery()
{
    m_server.clearRequests();
    const auto reply = get(QUrl(m_server.base() + u"/api/v1/videos/abc?local=true"_s));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);
    QCOMPARE(m_server.requests().size(), 1);
    QCOMPARE(m_server.requests().first().path, u"/api/v1/videos/abc"_s);
    QCOMPARE(m_server.requests().first().query.queryItemValue(u"local"_s), u"true"_s);
}

void TestTestServer::misbehaviour_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("minMs");
    QTest::newRow("delay") << int(TestServer::Behaviour::Answer) << int(QNetworkReply::NoError) << QByteArray("abcd") << 300;
    QTest::newRow("drip") << int(TestServer::Behaviour::Drip) << int(QNetworkReply::NoError) << QByteArray("abcd") << 300 + 3 * 100;
    QTest::newRow("close mid-body") << int(TestServer::Behaviour::CloseMidBody)
                                    << int(QNetworkReply::RemoteHostClosedError) << QByteArray("ab") << 300;
}

void TestTestServer::misbehaviour()
{
    QFETCH(int, behaviour);
    QFETCH(int, error);
    QFETCH(QByteArray, body);
    QFETCH(int, minMs);
    TestServer::Route route;
    route.body = "abcd";
    route.delay = 300ms;
    route.behaviour = TestServer::Behaviour(behaviour);
    route.dripInterval = 100ms;
    m_server.route(u"/odd"_s, route);

    QElapsedTimer clock;
    clock.start();
    const auto reply = get(m_server.url(u"/odd"_s));
    QVERIFY(reply->isFinished());
    QCOMPARE(int(reply->error()), error);
    QCOMPARE(reply->readAll(), body);
    QVERIFY2(clock.elapsed() >= minMs, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestTestServer)
#include "tst_testserver.moc"
