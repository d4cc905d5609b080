// SPDX-License-Identifier: MIT
// The video client against a real loopback instance, answering as real instances do and as
// broken or hostile ones do.
#include "sources/invidiousclient.h"
#include "testserver.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTest>
#include <QTimer>
#include <QCoroTask>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;
using vireo::test::TestServer;

namespace {

const QString Id = u"dQw4w9WgXcQ"_s;
const QString Path = u"/api/v1/videos/dQw4w9WgXcQ"_s;

// One line per outcome, so a table row can name what it expects.
QString describe(const FetchResult &result)
{
    if (const auto *info = std::get_if<VideoInfo>(&result))
        return info->title.value_or(u"-"_s) + u'|' + info->author.value_or(u"-"_s) + u'|' + info->stream.toString();
    const auto &cause = std::get<FetchError>(result).cause;
    if (const auto *code = std::get_if<UrlErrorCode>(&cause)) {
        switch (*code) {
        case UrlErrorCode::badServerResponse: return u"badServerResponse"_s;
        case UrlErrorCode::resourceUnavailable: return u"resourceUnavailable"_s;
        case UrlErrorCode::badURL: return u"badURL"_s;
        }
    }
    if (const auto *network = std::get_if<QNetworkReply::NetworkError>(&cause))
        return u"network %1"_s.arg(int(*network));
    return u"json"_s;
}

// An answer shaped like a real instance's, with the given streams.
QByteArray answer(const QByteArray &streams, const QByteArray &extra = R"("title":"Never Gonna","author":"Rick",)")
{
    return R"({"type":"video",)" + extra + R"("videoId":"dQw4w9WgXcQ","lengthSeconds":212,"adaptiveFormats":[],"formatStreams":)"
        + streams + "}";
}

QByteArray stream(const QByteArray &label, const QByteArray &url)
{
    return R"({"url":")" + url + R"(","itag":"18","type":"video/mp4; codecs=avc1.42001E","quality":"medium",)"
        + R"("fps":30,"container":"mp4","encoding":"h264","size":"640x360","qualityLabel":)" + label + "}";
}

} // namespace

class TestInvidiousClient : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_server.listen()); }
    void answers_data();
    void answers();
    void quality_data();
    void quality();
    void localFlagSetsExactlyOneQueryItem();
    void cancellationAbortsTheRequest();
    void unformableBaseFails();

private:
    FetchResult fetch(bool local = false)
    {
        return QCoro::waitFor(InvidiousClient::fetch({u"local"_s, m_server.base(), 0}, Id, local));
    }
    TestServer m_server;
};

void TestInvidiousClient::answers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("outcome");

    const QByteArray two = '[' + stream(R"("360p")", "https://cdn.example/360") + ',' + stream(R"("720p")", "https://cdn.example/720") + ']';
    QTest::newRow("real-shaped answer, best stream") << 200 << answer(two) << u"Never Gonna|Rick|https://cdn.example/720"_s;
    for (int status : {204, 301, 404, 429, 500})
        QTest::addRow("status %d", status) << status << answer(two) << u"badServerResponse"_s;
    QTest::newRow("HTML challenge page with 200") << 200 << QByteArray("<!DOCTYPE html><html><title>Just a moment...</title></html>") << u"json"_s;
    QTest::newRow("empty body") << 200 << QByteArray() << u"json"_s;
    QTest::newRow("array") << 200 << QByteArray("[]") << u"badServerResponse"_s;
    QTest::newRow("empty object") << 200 << QByteArray("{}") << u"resourceUnavailable"_s;
    QTest::newRow("formatStreams an object") << 200 << answer("{}") << u"resourceUnavailable"_s;
    QTest::newRow("formatStreams empty") << 200 << answer("[]") << u"resourceUnavailable"_s;
    QTest::newRow("one stream not an object") << 200 << answer('[' + stream(R"("720p")", "https://a/1") + ",7]") << u"resourceUnavailable"_s;
    QTest::newRow("equal ranks: the first")
        << 200 << answer('[' + stream(R"("720p")", "https://a/first") + ',' + stream(R"("720p60")", "https://a/second") + ']')
        << u"Never Gonna|Rick|https://a/first"_s;
    QTest::newRow("unranked labels: the first")
        << 200 << answer('[' + stream("null", "https://a/first") + ',' + stream(R"("")", "https://a/second") + ']')
        << u"Never Gonna|Rick|https://a/first"_s;
    QTest::newRow("chosen stream without url beside a lower one with it")
        << 200 << answer(R"([{"qualityLabel":"1080p"},)" + stream(R"("360p")", "https://a/360") + ']') << u"badURL"_s;
    QTest::newRow("url a number") << 200 << answer(R"([{"qualityLabel":"1080p","url":5}])") << u"badURL"_s;
    QTest::newRow("relative url")
        << 200 << answer('[' + stream(R"("360p")", "/latest_version?id=dQw4w9WgXcQ&itag=18") + ']')
        << u"Never Gonna|Rick|"_s + m_server.base() + u"/latest_version?id=dQw4w9WgXcQ&itag=18"_s;
    QTest::newRow("url with two leading slashes joins the base")
        << 200 << answer('[' + stream(R"("360p")", "//host/path") + ']') << u"Never Gonna|Rick|"_s + m_server.base() + u"//host/path"_s;
    QTest::newRow("file: stream refused") << 200 << answer('[' + stream(R"("360p")", "file:///etc/passwd") + ']') << u"badURL"_s;
    QTest::newRow("data: stream refused") << 200 << answer('[' + stream(R"("360p")", "data:video/mp4;base64,AAAA") + ']') << u"badURL"_s;
    QTest::newRow("rtsp stream refused") << 200 << answer('[' + stream(R"("360p")", "rtsp://cam/1") + ']') << u"badURL"_s;
    QTest::newRow("no title, author a number")
        << 200 << answer('[' + stream(R"("360p")", "https://a/1") + ']', R"("author":42,)") << u"-|-|https://a/1"_s;
}

void TestInvidiousClient::answers()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, outcome);
    m_server.route(Path, status, body);
    QCOMPARE(describe(fetch()), outcome);
}

void TestInvidiousClient::quality_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<qint64>("rank");
    QTest::newRow("720p") << QByteArray(R"({"qualityLabel":"720p"})") << qint64(720);
    QTest::newRow("1080p60") << QByteArray(R"({"qualityLabel":"1080p60"})") << qint64(1080);
    QTest::newRow("144p") << QByteArray(R"({"qualityLabel":"144p"})") << qint64(144);
    QTest::newRow("label missing, quality digits") << QByteArray(R"({"quality":"480p"})") << qint64(480);
    QTest::newRow("label missing, quality a word") << QByteArray(R"({"quality":"hd720"})") << qint64(0);
    QTest::newRow("label empty: no fall-through") << QByteArray(R"({"qualityLabel":"","quality":"480p"})") << qint64(0);
    QTest::newRow("label null falls through") << QByteArray(R"({"qualityLabel":null,"quality":"480p"})") << qint64(480);
    QTest::newRow("label a number falls through") << QByteArray(R"({"qualityLabel":720,"quality":"240p"})") << qint64(240);
    QTest::newRow("neither") << QByteArray("{}") << qint64(0);
    QTest::newRow("Arabic-Indic numerals") << QByteArray(R"({"qualityLabel":"١٠٨٠p"})") << qint64(0);
    QTest::newRow("ASCII then Arabic-Indic") << QByteArray(R"({"qualityLabel":"72٠p"})") << qint64(0);
    QTest::newRow("vulgar fraction is numeric") << QByteArray(R"({"qualityLabel":"720½p"})") << qint64(0);
    QTest::newRow("digit with combining mark") << QByteArray("{\"qualityLabel\":\"1\xCC\x81p\"}") << qint64(0);
    QTest::newRow("beyond 64 bits") << QByteArray(R"({"qualityLabel":"99999999999999999999p"})") << qint64(0);
    QTest::newRow("largest 64-bit") << QByteArray(R"({"qualityLabel":"9223372036854775807p"})") << qint64(9223372036854775807);
    QTest::newRow("letter first") << QByteArray(R"({"qualityLabel":"p1080"})") << qint64(0);
}

void TestInvidiousClient::quality()
{
    QFETCH(QByteArray, stream);
    QFETCH(qint64, rank);
    QCOMPARE(InvidiousClient::quality(QJsonDocument::fromJson(stream).object()), rank);
}

void TestInvidiousClient::localFlagSetsExactlyOneQueryItem()
{
    m_server.route(Path, 200, answer('[' + stream(R"("360p")", "https://a/1") + ']'));
    for (const bool local : {false, true}) {
        m_server.clearRequests();
        QVERIFY(std::holds_alternative<VideoInfo>(fetch(local)));
        QCOMPARE(m_server.requests().size(), 1);
        const auto items = m_server.requests().first().query.queryItems();
        using Items = QList<std::pair<QString, QString>>;
        const Items expected = local ? Items{{u"local"_s, u"true"_s}} : Items{};
        QCOMPARE(items, expected);
    }
}

void TestInvidiousClient::cancellationAbortsTheRequest()
{
    TestServer::Route route;
    route.behaviour = TestServer::Behaviour::Silent;
    m_server.route(Path, route);
    auto token = std::make_shared<Cancellation>();
    QTimer::singleShot(200ms, token.get(), &Cancellation::cancel);
    QElapsedTimer clock;
    clock.start();
    const auto result = QCoro::waitFor(InvidiousClient::fetch({u"x"_s, m_server.base(), 0}, Id, false, token));
    QCOMPARE(describe(result), u"network %1"_s.arg(QNetworkReply::OperationCanceledError));
    QVERIFY(clock.elapsed() < 3000);

    // Already cancelled: nothing is sent at all.
    m_server.clearRequests();
    QVERIFY(std::holds_alternative<FetchError>(QCoro::waitFor(InvidiousClient::fetch({u"x"_s, m_server.base(), 0}, Id, false, token))));
    QCOMPARE(m_server.requests().size(), 0);
}

void TestInvidiousClient::unformableBaseFails()
{
    for (const QString &base : {u""_s, u"not a url"_s, u"https://"_s, u"file:///tmp"_s}) {
        const auto result = QCoro::waitFor(InvidiousClient::fetch({u"x"_s, base, 0}, Id, false));
        QCOMPARE(describe(result), u"badURL"_s);
    }
    const auto refused = QCoro::waitFor(InvidiousClient::fetch(
        {u"x"_s, u"http://127.0.0.1:%1"_s.arg(TestServer::refusedPort()), 0}, Id, false));
    QCOMPARE(describe(refused), u"network %1"_s.arg(QNetworkReply::ConnectionRefusedError));
}

QTEST_GUILESS_MAIN(TestInvidiousClient)
#include "tst_invidiousclient.moc"
