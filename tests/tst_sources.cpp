// SPDX-License-Identifier: MIT
// Reading what comes from outside: pasted links, and instances' answers. One row per rule; the
// variety of real-world input lives in the fuzz targets' seed corpora.
#include "sources/invidiousclient.h"
#include "sources/videoid.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace vireo;

class TestSources : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void videoID_data();
    void videoID();
    void answer_data();
    void answer();
};

void TestSources::videoID_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id"); // empty: nothing

    const QString id = u"dQw4w9WgXcQ"_s;
    QTest::newRow("bare id, white space and case kept") << u" \t"_s + u"a-B_c9-Z_x0"_s + u"\u2028\n"_s << u"a-B_c9-Z_x0"_s;
    QTest::newRow("only white space") << u" \t\r\n\u0085"_s << QString();
    QTest::newRow("10 id characters") << u"dQw4w9WgXc"_s << QString();
    QTest::newRow("12 id characters") << u"youtu.be/dQw4w9WgXcQQ"_s << QString();
    QTest::newRow("11 characters with a dot") << u"youtu.be/dQw4w9WgX.Q"_s << QString();
    QTest::newRow("11 characters with a non-ASCII letter") << u"dQw4w9WgXcé"_s << QString();
    QTest::newRow("watch, any scheme, host in capitals") << u"ftp://WWW.YouTube.COM/watch?feature=x&v="_s + id << id;
    QTest::newRow("watch, no scheme") << u"m.youtube.com/watch?v="_s + id << id;
    QTest::newRow("www. then m.") << u"https://www.m.youtube.com/watch?v="_s + id << id;
    QTest::newRow("m. then www.") << u"https://m.www.youtube.com/watch?v="_s + id << QString();
    QTest::newRow("www. twice") << u"https://www.www.youtube.com/watch?v="_s + id << QString();
    QTest::newRow("m. twice") << u"https://m.m.youtube.com/watch?v="_s + id << QString();
    QTest::newRow("first v wins") << u"https://youtube.com/watch?v="_s + id + u"&v=AAAAAAAAAAA"_s << id;
    QTest::newRow("empty first v, valid second") << u"https://youtube.com/watch?v=&v="_s + id << QString();
    QTest::newRow("percent-encoded v") << u"https://music.youtube.com/watch?v=dQw4w9WgX%63Q"_s << id;
    QTest::newRow("Watch in capitals") << u"https://youtube.com/Watch?v="_s + id << QString();
    QTest::newRow("short link with query and more segments") << u"youtu.be//"_s + id + u"/x?t=42"_s << id;
    QTest::newRow("short link, no segment") << u"https://youtu.be/"_s << QString();
    QTest::newRow("shorts, third segment") << u"https://youtube.com/shorts/"_s + id + u"/more"_s << id;
    QTest::newRow("shorts, no second segment") << u"https://youtube.com/shorts/"_s << QString();
    QTest::newRow("embed on the privacy domain") << u"https://www.youtube-nocookie.com/embed/"_s + id << id;
    QTest::newRow("unknown first segment") << u"https://youtube.com/channel/"_s + id << QString();
    QTest::newRow("other host") << u"https://notyoutube.com/watch?v="_s + id << QString();
    QTest::newRow("no scheme, :// in the query") << u"youtube.com/watch?v="_s + id + u"&next=https://x"_s << QString();
}

void TestSources::videoID()
{
    QFETCH(QString, text);
    QFETCH(QString, id);
    QCOMPARE(VideoID::extract(text).value_or(QString()), id);
}

void TestSources::answer_data()
{
    QTest::addColumn<QByteArray>("streams"); // the answer's "formatStreams"
    QTest::addColumn<QString>("outcome");     // title|author|stream, or the error code
    const auto stream = [](const char *label, const char *url) {
        return u"{\"qualityLabel\":\"%1\",\"url\":\"%2\"}"_s.arg(QLatin1StringView(label), QLatin1StringView(url)).toUtf8();
    };
    QTest::newRow("best stream") << '[' + stream("360p", "https://a/360") + ',' + stream("720p", "https://a/720") + ']'
                                 << u"T|A|https://a/720"_s;
    QTest::newRow("equal ranks: the first") << '[' + stream("720p", "https://a/1") + ',' + stream("720p60", "https://a/2") + ']'
                                            << u"T|A|https://a/1"_s;
    QTest::newRow("path on the instance") << '[' + stream("360p", "/latest?itag=18") + ']' << u"T|A|https://inv.example/latest?itag=18"_s;
    QTest::newRow("file: stream") << '[' + stream("360p", "file:///home/me/clip.mp4") + ']' << u"badURL"_s;
    QTest::newRow("data: stream") << '[' + stream("360p", "data:video/mp4;base64,AAAA") + ']' << u"badURL"_s;
    QTest::newRow("chosen stream without url") << QByteArray(R"([{"qualityLabel":"1080p"},{"qualityLabel":"360p","url":"https://a"}])")
                                               << u"badURL"_s;
    QTest::newRow("a stream that is not an object") << '[' + stream("360p", "https://a") + ",7]" << u"resourceUnavailable"_s;
    QTest::newRow("no streams") << QByteArray("[]") << u"resourceUnavailable"_s;
}

void TestSources::answer()
{
    QFETCH(QByteArray, streams);
    QFETCH(QString, outcome);
    const auto result = InvidiousClient::parse(R"({"title":"T","author":"A","formatStreams":)" + streams + '}', u"https://inv.example"_s);
    if (const auto *info = std::get_if<VideoInfo>(&result)) {
        QCOMPARE(*info->title + u'|' + *info->author + u'|' + info->stream.toString(), outcome);
    } else {
        const auto code = std::get<UrlErrorCode>(std::get<FetchError>(result).cause);
        QCOMPARE(code == UrlErrorCode::badURL ? u"badURL"_s : u"resourceUnavailable"_s, outcome);
    }
}

QTEST_GUILESS_MAIN(TestSources)
#include "tst_sources.moc"
