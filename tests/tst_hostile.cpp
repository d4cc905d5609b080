// SPDX-License-Identifier: MIT
// Servers that misbehave on purpose, against the directory download, the video client and the whole
// pipeline: every attempt ends within its bound, nothing crashes, and the pipeline moves on.
#include "instances/instancelist.h"
#include "playback/playermodel.h"
#include "sources/invidiousclient.h"
#include "standins.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;
using vireo::test::StandIns;
using vireo::test::TestServer;

namespace {

enum class Hostile { Refused, Status204, Status301, Status404, Status429, Status500, Html200, EmptyArray, Huge,
                     Drip, Silent, CutMidBody, InvalidJson, DeepNesting, FileStream, StallingStream };

} // namespace

Q_DECLARE_METATYPE(Hostile)

class TestHostile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void directory_data() { rows(false); }
    void directory();
    void video_data() { rows(false); }
    void video();
    void pipeline_data() { rows(true); }
    void pipeline();

private:
    void rows(bool withStreams);
    // Serves `hostile` at `path`; returns the base URL to use (another port when refused).
    QString serve(Hostile hostile, const QString &path);

    StandIns m_standIns;
    TestServer &m_server = m_standIns.server();
    QTemporaryDir m_home;
};

void TestHostile::initTestCase()
{
    QVERIFY(m_standIns.listen());
    qputenv("XDG_CACHE_HOME", (m_home.path() + u"/cache"_s).toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + u"/config"_s).toUtf8());
}

void TestHostile::rows(bool withStreams)
{
    QTest::addColumn<Hostile>("hostile");
    QTest::newRow("refused") << Hostile::Refused;
    QTest::newRow("204") << Hostile::Status204;
    QTest::newRow("301") << Hostile::Status301;
    QTest::newRow("404") << Hostile::Status404;
    QTest::newRow("429") << Hostile::Status429;
    QTest::newRow("500") << Hostile::Status500;
    QTest::newRow("HTML with 200") << Hostile::Html200;
    QTest::newRow("[]") << Hostile::EmptyArray;
    QTest::newRow("50 MB body") << Hostile::Huge;
    QTest::newRow("one byte per second") << Hostile::Drip;
    QTest::newRow("accepts, never answers") << Hostile::Silent;
    QTest::newRow("closes mid-body") << Hostile::CutMidBody;
    QTest::newRow("invalid JSON") << Hostile::InvalidJson;
    QTest::newRow("JSON nested 100000 deep") << Hostile::DeepNesting;
    if (withStreams) {
        QTest::newRow("file: stream") << Hostile::FileStream;
        QTest::newRow("stream stalls after its first bytes") << Hostile::StallingStream;
    }
}

QString TestHostile::serve(Hostile hostile, const QString &path)
{
    TestServer::Route route;
    route.contentType = "application/json";
    switch (hostile) {
    case Hostile::Refused: return u"http://127.0.0.1:%1"_s.arg(TestServer::refusedPort());
    case Hostile::Status204: route.status = 204; break;
    case Hostile::Status301: route.status = 301; route.body = "<html>moved</html>"; break;
    case Hostile::Status404: route.status = 404; route.body = "{}"; break;
    case Hostile::Status429: route.status = 429; route.body = "<html>slow down</html>"; break;
    case Hostile::Status500: route.status = 500; route.body = "<html>oops</html>"; break;
    case Hostile::Html200: route.body = "<!DOCTYPE html><html>Just a moment...</html>"; break;
    case Hostile::EmptyArray: route.body = "[]"; break;
    case Hostile::Huge: route.body = "[" + QByteArray(50 * 1000 * 1000, ' ') + "]"; break;
    case Hostile::Drip:
        route.behaviour = TestServer::Behaviour::Drip;
        route.body = "[[\"x\",{\"api\":true,\"type\":\"https\",\"uri\":\"https://x\"}]]";
        break;
    case Hostile::Silent: route.behaviour = TestServer::Behaviour::Silent; break;
    case Hostile::CutMidBody:
        route.behaviour = TestServer::Behaviour::CloseMidBody;
        route.body = R"([["x",{"api":true,"type":"https","uri":"https://x"}]])";
        break;
    case Hostile::InvalidJson: route.body = "{\"title\": \"unterminated"; break;
    case Hostile::DeepNesting: route.body = QByteArray(100000, '[') + QByteArray(100000, ']'); break;
    case Hostile::FileStream:
        route.body = R"({"title":"t","formatStreams":[{"url":"file:///etc/passwd","qualityLabel":"720p"}]})";
        break;
    case Hostile::StallingStream: {
        TestServer::Route stream;
        stream.behaviour = TestServer::Behaviour::Drip;
        stream.body = QByteArray("\0\0\0\x20" "ftypisom", 12) + QByteArray(100000, '\0');
        stream.dripBytes = 12;
        stream.dripInterval = 60s;
        stream.contentType = "video/mp4";
        m_server.route(u"/stalling.mp4"_s, stream);
        route.body = R"({"title":"t","formatStreams":[{"url":")" + m_server.url(u"/stalling.mp4"_s).toEncoded()
            + R"(","qualityLabel":"720p"}]})";
        break;
    }
    }
    m_server.route(path, route);
    return m_server.base();
}

void TestHostile::directory()
{
    QFETCH(Hostile, hostile);
    m_standIns.reset();
    const QUrl url(serve(hostile, u"/instances.json"_s) + u"/instances.json"_s);
    QElapsedTimer clock;
    clock.start();
    const auto list = QCoro::waitFor(InstanceList::fetch(url));
    QVERIFY2(clock.elapsed() < 8000 + 1500, qPrintable(QString::number(clock.elapsed())));
    // Only "[]" is a directory, and an empty one.
    QCOMPARE(list.has_value(), hostile == Hostile::EmptyArray);
    qInfo("directory: %lld ms", clock.elapsed());
}

void TestHostile::video()
{
    QFETCH(Hostile, hostile);
    m_standIns.reset();
    const QString base = serve(hostile, u"/api/v1/videos/"_s + StandIns::Id);
    QElapsedTimer clock;
    clock.start();
    const auto result = QCoro::waitFor(InvidiousClient::fetch({u"h"_s, base, 0}, StandIns::Id, false));
    QVERIFY2(clock.elapsed() < 6000 + 1500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(std::holds_alternative<FetchError>(result));
    qInfo("video: %lld ms", clock.elapsed());
}

void TestHostile::pipeline()
{
    QFETCH(Hostile, hostile);
    m_standIns.reset();
    const QString base = serve(hostile, u"/bad/api/v1/videos/"_s + StandIns::Id);
    m_standIns.answer(u"good"_s, u"/clip.mp4"_s);
    QVERIFY(StandIns::writeCache(m_home.path() + u"/cache"_s,
                                 {{u"bad"_s, base == m_server.base() ? m_standIns.base(u"bad"_s) : base},
                                  {u"good"_s, m_standIns.base(u"good"_s)}}));
    // Product bounds, but a 3 s readiness wait keeps the stalling stream's two attempts short.
    const auto model = PlayerModel::create({3s, 12s, QUrl(u"http://127.0.0.1:%1/"_s.arg(TestServer::refusedPort()))});
    model->setUrlText(StandIns::Id);
    QElapsedTimer clock;
    clock.start();
    model->play();
    QTRY_COMPARE_WITH_TIMEOUT(model->modeKind(), PlayerModel::Native, 2 * 6000 + 2 * 3000 + 5000);
    QCOMPARE(model->status(), u"Playing from good"_s);
    qInfo("pipeline: %lld ms to play after two hostile attempts", clock.elapsed());
    model->cancel();
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
