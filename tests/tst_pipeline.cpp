// SPDX-License-Identifier: MIT
// A request, from the pasted link and the instance's answer to a whole run through the model: the
// instance list from a temporary cache, real HTTP to loopback stand-in instances, real media players
// on the generated clip, and instances that misbehave on purpose. One row per rule; the variety of
// real-world links and answers lives in the fuzz targets' seed corpora.
#include "playback/history.h"
#include "playback/playermodel.h"
#include "playback/settings.h"
#include "sources/description.h"
#include "sources/invidiousclient.h"
#include "sources/link.h"
#include "sources/segmentdatabase.h"
#include "standins.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;
using vireo::test::TestServer;

namespace {

const QString ShortLink = u"https://youtu.be/"_s + test::Id;
const QString Service = u"https://www.youtube.com/watch?v="_s + test::Id;
const QString Invalid = u"That doesn't look like a valid YouTube link. Paste a watch, youtu.be or shorts URL with an 11-character video ID."_s;
const QString Failure = u"Couldn't play this video. Every source failed — try again or open it in your browser."_s;

// An attempt that has no captions to give: what a test of the choice of track needs.
struct NoCaptions : Attempt {
    QString label() const override { return {}; }
    QString origin() const override { return {}; }
    QString source() const override { return {}; }
    QUrl watchPage() const override { return {}; }
    QCoro::Task<Answer> ask(CancelToken) override { co_return {}; }
    void played() override {}
    QCoro::Task<QList<Stream>> streams(VideoInfo, StreamChoice, CancelToken) override { co_return {}; }
    QCoro::Task<std::optional<QList<Cue>>> captions(QUrl, CancelToken) override { co_return std::nullopt; }
};

} // namespace

class TestPipeline : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void videoID_data();
    void videoID();
    void startTime_data();
    void startTime();
    void playlistLink_data();
    void playlistLink();
    void playlistAnswer_data();
    void playlistAnswer();
    void answer_data();
    void answer();
    void webvtt_data();
    void webvtt();
    void chapters_data();
    void chapters();
    void segmentAnswer_data();
    void segmentAnswer();
    void remembered_data();
    void remembered();
    void historyWrittenInOrder();
    void captionChoice_data();
    void captionChoice();
    void init();
    void request_data();
    void request();
    void learned();
    void askAhead();
    void embedTimerEndsOnlyItsOwnWait();
    void supersede_data();
    void supersede();
    void oneCandidateAtATime();
    void readyThenCalledOff();
    void pictureWhenReady();
    void startPosition();
    void quality_data();
    void quality();
    void hostile_data();
    void hostile();
    void playlist();
    void endlessList();
    void listUnderAView();
    void skip_data();
    void skip();

private:
    std::shared_ptr<PlayerModel> model(std::chrono::milliseconds readiness = 1s);

    TestServer m_server;
    std::unique_ptr<test::Home> m_home;
    QStringList m_statuses;
};

void TestPipeline::videoID_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id"); // empty: nothing

    const QString id = u"dQw4w9WgXcQ"_s;
    QTest::newRow("bare id, white space and case kept") << u" \t"_s + u"a-B_c9-Z_x0"_s + u"\u2028\n"_s << u"a-B_c9-Z_x0"_s;
    QTest::newRow("only white space") << u" \t\r\n\u0085"_s << QString();
    QTest::newRow("10 id characters") << u"dQw4w9WgXc"_s << QString();
    QTest::newRow("12 id characters") << u"youtu.be/dQw4w9WgXcQQ"_s << QString();
    QTest::newRow("11 characters with a dot") << u"youtu.be/dQw4w9WgX.Q"_s << QString();
    QTest::newRow("watch, any scheme, host in capitals") << u"ftp://WWW.YouTube.COM/watch?feature=x&v="_s + id << id;
    QTest::newRow("watch, no scheme") << u"m.youtube.com/watch?v="_s + id << id;
    QTest::newRow("www. then m.") << u"https://www.m.youtube.com/watch?v="_s + id << id;
    QTest::newRow("m. then www.") << u"https://m.www.youtube.com/watch?v="_s + id << QString();
    QTest::newRow("www. twice") << u"https://www.www.youtube.com/watch?v="_s + id << QString();
    QTest::newRow("m. twice") << u"https://m.m.youtube.com/watch?v="_s + id << QString();
    QTest::newRow("first v wins") << u"https://youtube.com/watch?v="_s + id + u"&v=AAAAAAAAAAA"_s << id;
    QTest::newRow("empty first v, valid second") << u"https://youtube.com/watch?v=&v="_s + id << QString();
    QTest::newRow("short link with query and more segments") << u"youtu.be//"_s + id + u"/x?t=42"_s << id;
    QTest::newRow("shorts, third segment") << u"https://youtube.com/shorts/"_s + id + u"/more"_s << id;
    QTest::newRow("embed on the privacy domain") << u"https://www.youtube-nocookie.com/embed/"_s + id << id;
    QTest::newRow("live") << u"https://www.youtube.com/live/"_s + id + u"?si=x"_s << id;
    QTest::newRow("v on the music host") << u"https://music.youtube.com/v/"_s + id << id;
    QTest::newRow("other host") << u"https://notyoutube.com/watch?v="_s + id << QString();
    QTest::newRow("no scheme, :// in the query") << u"youtube.com/watch?v="_s + id + u"&next=https://x"_s << QString();
}

void TestPipeline::videoID()
{
    QFETCH(QString, text);
    QFETCH(QString, id);
    const auto link = Link::parse(text);
    QCOMPARE(link ? link->videoID : QString(), id);
}

void TestPipeline::startTime_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<qint64>("seconds"); // -1: none
    const QString id = test::Id;
    QTest::newRow("youtu.be, seconds") << u"youtu.be/"_s + id + u"?t=754"_s << 754LL;
    QTest::newRow("watch, start, unit") << u"https://www.youtube.com/watch?v="_s + id + u"&start=754s"_s << 754LL;
    QTest::newRow("shorts, fragment, h m s") << u"youtube.com/shorts/"_s + id + u"#t=1h2m3s"_s << 3723LL;
    QTest::newRow("live, m s") << u"youtube.com/live/"_s + id + u"?t=12m34s"_s << 754LL;
    QTest::newRow("no video") << u"youtu.be/x?t=5"_s << -1LL;
    QTest::newRow("negative") << u"youtu.be/"_s + id + u"?t=-5"_s << -1LL;
    QTest::newRow("junk after the number") << u"youtu.be/"_s + id + u"?t=5x"_s << -1LL;
    QTest::newRow("beyond 64 bits") << u"youtu.be/"_s + id + u"?t=99999999999999999999"_s << -1LL;
}

void TestPipeline::startTime()
{
    QFETCH(QString, link);
    QFETCH(qint64, seconds);
    const auto parsed = Link::parse(link);
    QCOMPARE(parsed ? parsed->start.value_or(-1) : -1, seconds);
}

void TestPipeline::playlistLink_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("read"); // "video list index", or empty for nothing
    const QString id = test::Id, list = u"PLrAXtmErZgOeiKm4sgNOknGvNjby9efdf"_s;
    QTest::newRow("watch with a list and its index") << u"https://www.youtube.com/watch?v=%1&list=%2&index=3"_s.arg(id, list)
                                                     << u"%1 %2 3"_s.arg(id, list);
    QTest::newRow("youtu.be with a list") << u"youtu.be/%1?list=%2&t=5"_s.arg(id, list) << u"%1 %2 0"_s.arg(id, list);
    QTest::newRow("playlist page") << u"https://m.youtube.com/playlist?list=%1"_s.arg(list) << u" %1 0"_s.arg(list);
    QTest::newRow("watch with only a mix") << u"youtube.com/watch?list=RD%1"_s.arg(id) << u" RD%1 0"_s.arg(id);
    QTest::newRow("index that is no place") << u"youtu.be/%1?list=%2&index=-2"_s.arg(id, list) << u"%1 %2 0"_s.arg(id, list);
    QTest::newRow("list of no valid id, with a video") << u"youtu.be/%1?list=PL$x"_s.arg(id) << u"%1  0"_s.arg(id);
    QTest::newRow("list of no valid id alone") << u"youtube.com/playlist?list=P"_s << QString();
    QTest::newRow("list on another host") << u"https://example.com/playlist?list=%1"_s.arg(list) << QString();
}

void TestPipeline::playlistLink()
{
    QFETCH(QString, text);
    QFETCH(QString, read);
    const auto link = Link::parse(text);
    QCOMPARE(link ? u"%1 %2 %3"_s.arg(link->videoID, link->playlistID).arg(link->index.value_or(0)) : QString(), read);
}

void TestPipeline::playlistAnswer_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("read"); // "title total: id seconds index, …", or empty when it is no list
    QTest::newRow("HTML") << QByteArray("<html>Just a moment...</html>") << QString();
    QTest::newRow("no videos") << QByteArray(R"({"title":"L","videoCount":3})") << QString();
    QTest::newRow("empty page") << QByteArray(R"({"title":"L","videos":[]})") << u"L 0:"_s;
    QTest::newRow("entries without or with invalid ids left out")
        << QByteArray(R"({"title":"L","videoCount":9,"videos":[{"title":"x"},{"videoId":"short"},{"videoId":7},"s",)"
                      R"({"videoId":"dQw4w9WgXcQ","lengthSeconds":-5,"index":"2"},{"videoId":"a-B_c9-Z_x0","lengthSeconds":61,"index":1e12}]})")
        << u"L 9: dQw4w9WgXcQ 0 -1, a-B_c9-Z_x0 61 -1"_s;
}

void TestPipeline::playlistAnswer()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, read);
    const auto page = InvidiousClient::parsePlaylist(body);
    QString seen = page ? u"%1 %2:"_s.arg(page->title).arg(page->total) : QString();
    for (const PlaylistEntry &e : page ? page->entries : QList<PlaylistEntry>())
        seen += (seen.endsWith(u':') ? u" "_s : u", "_s) + u"%1 %2 %3"_s.arg(e.videoID).arg(e.seconds).arg(e.index);
    QCOMPARE(seen, read);
}

void TestPipeline::answer_data()
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
}

void TestPipeline::answer()
{
    QFETCH(QByteArray, streams);
    QFETCH(QString, outcome);
    const auto result = InvidiousClient::parse(R"({"title":"T","author":"A","captions":[{"label":"English","languageCode":"en","url":"/cc/en"},)"
                                               R"({"label":"F","languageCode":"fr","url":"file:///etc/passwd"},{"label":"D","language_code":"de","url":"https://cc/d"}],)"
                                               R"("formatStreams":)" + streams + '}', u"https://inv.example"_s);
    if (const auto *info = std::get_if<VideoInfo>(&result)) {
        QCOMPARE(*info->title + u'|' + *info->author + u'|' + info->stream.toString(), outcome);
        QCOMPARE(info->captions.size(), 2);
        QCOMPARE(info->captions[0].url.toString() + u' ' + info->captions[1].languageCode, u"https://inv.example/cc/en de"_s);
    } else {
        QCOMPARE(std::get<FetchError>(result) == FetchError::badURL ? u"badURL"_s : u"resourceUnavailable"_s, outcome);
    }
}

void TestPipeline::webvtt_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("cues"); // "start-end text", one per line; "none" when it is not WebVTT
    QTest::newRow("BOM, CRLF, hours, settings, markup")
        << QByteArray("\xef\xbb\xbfWEBVTT title\r\n\r\n1\r\n01:00:01.000 --> 01:00:02.500 align:start\r\n<v Ann><b>Hi</b> &amp; <c.x>bye</c></v>\r\nnext\r\n")
        << u"3601000-3602500 Hi & bye|next"_s;
    QTest::newRow("notes, styles, regions; overlaps; inner timestamps")
        << QByteArray("WEBVTT\n\nNOTE a\n\nSTYLE\n::cue{}\n\nREGION\nid:r\n\n00:01.000 --> 00:04.000\nkara<00:02.000>oke\n\n\n00:02.000 --> 00:03.000\nb")
        << u"1000-4000 karaoke\n2000-3000 b"_s;
    QTest::newRow("ends before it starts, minute 61") << QByteArray("WEBVTT\n\n00:02.000 --> 00:01.000\nx\n\n61:00.000 --> 62:00.000\ny") << QString();
    QTest::newRow("not WebVTT") << QByteArray("<html>WEBVTT") << u"none"_s;
}

void TestPipeline::webvtt()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, cues);
    const auto read = WebVtt::parse(file);
    QStringList seen;
    for (const Cue &cue : read.value_or(QList<Cue>()))
        seen.append(u"%1-%2 %3"_s.arg(cue.start).arg(cue.end).arg(QString(cue.text).replace(u'\n', u'|')));
    QCOMPARE(read ? seen.join(u'\n') : u"none"_s, cues);
}

void TestPipeline::chapters_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<qint64>("length"); // ms; 0 when the answer does not say
    QTest::addColumn<QString>("chapters"); // "start title|…"; empty for none
    QTest::newRow("times before or after the title, prose beside them")
        << u"Intro text\n0:00 Intro\nat 0:05 in a sentence\n0:10 - The middle\n• The end (0:20)"_s << 30'000LL
        << u"0 Intro|10000 The middle|20000 The end"_s;
    QTest::newRow("12:34 and 1:02:03") << u"00:00 A\n12:34 B\n1:02:03 C"_s << 0LL << u"0 A|754000 B|3723000 C"_s;
    QTest::newRow("first not at 0:00") << u"0:05 A\n0:20 B\n0:40 C"_s << 0LL << QString();
    QTest::newRow("two") << u"0:00 A\n0:10 B"_s << 0LL << QString();
    QTest::newRow("not ascending") << u"0:00 A\n0:20 B\n0:10 C\n0:40 D"_s << 0LL << QString();
    QTest::newRow("one of 9 s") << u"0:00 A\n0:09 B\n0:30 C"_s << 0LL << QString();
    QTest::newRow("the last of 9 s") << u"0:00 A\n0:10 B\n0:20 C"_s << 29'000LL << QString();
    QTest::newRow("minute 60 beside hours") << u"0:00 A\n0:10 B\n1:60:00 C"_s << 0LL << QString();
    QTest::newRow("second 60") << u"0:00 A\n0:10 B\n0:60 C"_s << 0LL << QString();
}

void TestPipeline::chapters()
{
    QFETCH(QString, description);
    QFETCH(qint64, length);
    QFETCH(QString, chapters);
    QStringList seen;
    for (const Chapter &chapter : Description::chapters(description, length))
        seen.append(QString::number(chapter.start) + u' ' + chapter.title);
    QCOMPARE(seen.join(u'|'), chapters);
}

void TestPipeline::segmentAnswer_data()
{
    QTest::addColumn<QByteArray>("segments"); // of Id, in an answer that lists another video's first
    QTest::addColumn<QString>("kept");        // "start-end category|…" of a 30 s video
    const auto one = [](const char *category, const char *times) { return u"{\"category\":\"%1\",\"segment\":%2}"_s.arg(QLatin1StringView(category), QLatin1StringView(times)).toUtf8(); };
    QTest::newRow("its own, another's left out") << one("sponsor", "[3,8.5]") << u"3000-8500 sponsor"_s;
    QTest::newRow("beyond the end: cut off, or gone") << one("outro", "[25,40]") + ',' + one("sponsor", "[31,35]") << u"25000-30000 outro"_s;
    QTest::newRow("overlapping: both") << one("sponsor", "[3,8]") + ',' + one("selfpromo", "[6,12]") << u"3000-8000 sponsor|6000-12000 selfpromo"_s;
    QTest::newRow("zero-length, negative, before the start") << one("sponsor", "[5,5]") + ',' + one("sponsor", "[8,4]") + ',' + one("sponsor", "[-2,3]") << QString();
    QTest::newRow("over 90 % of the video, and just 90 %") << one("sponsor", "[0,27.1]") + ',' + one("filler", "[1,28]") << u"1000-28000 filler"_s;
    QTest::newRow("other categories and actions") << one("music_offtopic", "[1,5]") + R"(,{"category":"sponsor","actionType":"mute","segment":[1,5]})" << QString();
    QTest::newRow("times as text, one time, a string") << one("sponsor", R"(["3","8"])") + ',' + one("sponsor", "[3]") + R"(,"x")" << QString();
    QTest::newRow("not JSON") << QByteArray("]}<html>") << QString();
}

void TestPipeline::segmentAnswer()
{
    QFETCH(QByteArray, segments);
    QFETCH(QString, kept);
    const QByteArray body = R"([{"videoID":"5f6bAnother","segments":[{"category":"sponsor","segment":[1,9]}]},{"videoID":")"
        + test::Id.toLatin1() + R"(","segments":[)" + segments + "]}]";
    QStringList seen;
    for (const Segment &s : SegmentDatabase::fit(SegmentDatabase::parse(body, test::Id).value_or(QList<Segment>()), 30'000))
        seen.append(u"%1-%2 %3"_s.arg(s.start).arg(s.end).arg(s.category));
    QCOMPARE(seen.join(u'|'), kept);
}

void TestPipeline::remembered_data()
{
    QTest::addColumn<qint64>("left"); // ms into a 60 s video
    QTest::addColumn<int>("videos");  // left one after the other, each there; the first is looked up
    QTest::addColumn<bool>("kept");
    QTest::newRow("10 s in: not worth coming back to") << 10'000LL << 1 << false;
    QTest::newRow("11 s in") << 11'000LL << 1 << true;
    QTest::newRow("10 s before the end: as good as watched") << 50'000LL << 1 << false;
    QTest::newRow("11 s before the end") << 49'000LL << 1 << true;
    QTest::newRow("500 videos: all kept") << 30'000LL << 500 << true;
    QTest::newRow("501 videos: the oldest forgotten") << 30'000LL << 501 << false;
}

void TestPipeline::remembered()
{
    QFETCH(qint64, left);
    QFETCH(int, videos);
    QFETCH(bool, kept);
    const auto id = [](int n) { return QString::number(n).rightJustified(11, u'0'); };
    for (int n = 0; n < videos; ++n)
        History::instance().leave(id(n), left, 60'000);
    QCOMPARE(History::instance().position(id(0)).has_value(), kept);
    QCOMPARE(History::instance().position(id(videos - 1)), kept || videos > 1 ? std::optional(left) : std::nullopt);
    History::instance().forget();
}

void TestPipeline::historyWrittenInOrder()
{
    // Written by a worker: forgetting must not land after a later visit's write, and take it along.
    History::instance().visited(u"https://youtu.be/aaaaaaaaaaa"_s, u"First"_s);
    History::instance().forget();
    History::instance().visited(u"https://youtu.be/bbbbbbbbbbb"_s, u"Second"_s);
    const auto written = [] {
        QFile file(History::path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
    };
    TRY_VERIFY2(written().contains("Second") && !written().contains("First"), QString::fromUtf8(written()));
    History::instance().forget();
}

void TestPipeline::captionChoice_data()
{
    QTest::addColumn<QStringList>("tracks"); // "label|language"; the language preferred is "en"
    QTest::addColumn<int>("chosen");
    QTest::newRow("a person's track over a machine's listed first") << QStringList{u"English (auto-generated)|en"_s, u"English|en"_s} << 1;
    QTest::newRow("the first of a person's") << QStringList{u"Français|fr"_s, u"English|en"_s, u"English (UK)|en"_s} << 1;
    QTest::newRow("a machine's when it is all there is") << QStringList{u"Français|fr"_s, u"English (auto-generated)|en"_s} << 1;
    QTest::newRow("none in the language") << QStringList{u"Français|fr"_s} << -1;
}

void TestPipeline::captionChoice()
{
    QFETCH(QStringList, tracks);
    QFETCH(int, chosen);
    QList<CaptionTrack> list;
    for (const QString &track : std::as_const(tracks))
        list.append({track.section(u'|', 0, 0), track.section(u'|', 1), QUrl(u"https://cc/"_s + track)});
    Settings::instance().setCaptionLanguage(u"en"_s);
    Captions captions;
    captions.show(list, std::make_shared<NoCaptions>(), nullptr);
    QCOMPARE(captions.chosen(), chosen);
}

void TestPipeline::init()
{
    m_server.reset();
    m_home = std::make_unique<test::Home>();
    TRY_COMPARE(MediaPlayer::liveCount(), 0); // the last test's players are gone
}

std::shared_ptr<PlayerModel> TestPipeline::model(std::chrono::milliseconds readiness)
{
    // The directory is never needed while the cache is fresh; should it be asked, nothing answers.
    auto m = PlayerModel::create({readiness, 1200ms, QUrl(test::refused())});
    m->setUrlText(ShortLink);
    m_statuses.clear();
    connect(m.get(), &PlayerModel::statusChanged, this, [this](const QString &status) { m_statuses.append(status); });
    return m;
}

void TestPipeline::request_data()
{
    QTest::addColumn<QStringList>("instances"); // best first; "*name" is the user's own instance, "!name" refuses
    QTest::addColumn<QStringList>("answers");   // "name media [title]"; "name+local …" answers only with local=true
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QString>("title");

    const QString finding = u"Finding instances…"_s;
    QTest::newRow("first instance plays") << QStringList{u"one"_s, u"two"_s} << QStringList{u"one /clip.mp4"_s}
                                          << QStringList{finding, u"Trying one…"_s, u"Playing from one"_s} << u"Clip"_s;
    QTest::newRow("plain fails, local plays") << QStringList{u"one"_s} << QStringList{u"one+local /clip.mp4"_s}
                                              << QStringList{finding, u"Trying one…"_s, u"Trying one (local)…"_s, u"Playing from one"_s} << u"Clip"_s;
    QTest::newRow("stream never ready, first title stays")
        << QStringList{u"one"_s, u"two"_s} << QStringList{u"one /silent.mp4 First"_s, u"two /clip.mp4 Second"_s}
        << QStringList{finding, u"Trying one…"_s, u"Trying one (local)…"_s, u"Trying two…"_s, u"Playing from two"_s} << u"First"_s;
    QStringList ten = {finding};
    for (const QString &name : {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s})
        ten << u"Trying %1…"_s.arg(name) << u"Trying %1 (local)…"_s.arg(name);
    QTest::newRow("ten failures, the embed plays") << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s} << QStringList{}
                                                   << ten + QStringList{u"Trying YouTube embed…"_s, u"Playing from YouTube embed"_s} << QString();
    QTest::newRow("the embed stays silent") << QStringList{u"a"_s} << QStringList{}
                                            << QStringList{finding, u"Trying a…"_s, u"Trying a (local)…"_s, u"Trying YouTube embed…"_s, QString()} << QString();
    QTest::newRow("refused: not asked again with local=true") << QStringList{u"!down"_s, u"one"_s} << QStringList{u"one /clip.mp4"_s}
                                                             << QStringList{finding, u"Trying down…"_s, u"Trying one…"_s, u"Playing from one"_s} << u"Clip"_s;
    QTest::newRow("own instance first") << QStringList{u"*own"_s, u"one"_s} << QStringList{u"own /clip.mp4"_s, u"one /clip.mp4"_s}
                                        << QStringList{finding, u"Trying 127.0.0.1…"_s, u"Playing from 127.0.0.1"_s} << u"Clip"_s;
}

void TestPipeline::request()
{
    QFETCH(QStringList, instances);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, statuses);
    QFETCH(QString, title);
    const QString own = instances.first().startsWith(u'*') ? instances.takeFirst().mid(1) : QString();
    QSettings(u"Vireo"_s, u"Vireo"_s).setValue(u"preferredInstance"_s, own.isEmpty() ? QString() : m_server.base(own) + u'/');
    QList<std::pair<QString, QString>> cache;
    for (const QString &name : std::as_const(instances))
        cache.append(name.startsWith(u'!') ? std::pair(name.mid(1), test::refused()) : std::pair(name, m_server.base(name)));
    QVERIFY(test::writeCache(m_home->cache(), cache));
    for (const QString &answer : std::as_const(answers)) {
        const QStringList words = answer.split(u' ');
        m_server.answer(words[0].section(u'+', 0, 0), words[1], words[0].endsWith(u"+local"_s),
                        '"' + words.value(2, u"Clip"_s).toUtf8() + '"');
    }
    const auto m = model();
    m->play();
    QVERIFY(m->loading() && m->nowPlaying()->browserURL().toString() == Service);
    const bool embedPlays = statuses.last() == u"Playing from YouTube embed"_s;
    if (embedPlays) {
        TRY_COMPARE(m->modeKind(), PlayerModel::Embed);
        m->embedResult(true);
    }
    TRY_VERIFY2(!m->loading(), m_statuses.join(u", "_s));
    QCOMPARE(m_statuses, statuses);
    QCOMPARE(m->nowPlaying()->hasTitle() ? m->nowPlaying()->title() : QString(), title);

    if (statuses.last().isEmpty()) { // every source failed; a late report changes nothing
        QVERIFY(m->modeKind() == PlayerModel::Failed && m->error() == Failure);
        m->embedResult(true);
        QTest::qWait(50);
        QVERIFY(m->modeKind() == PlayerModel::Failed && m_statuses == statuses);
    } else if (!embedPlays) {
        const QString host = statuses.last().mid(13);
        QCOMPARE(m->nowPlaying()->channel(), u"Channel"_s);
        QCOMPARE(m->nowPlaying()->browserURL().toString(), m_server.base(host == u"127.0.0.1"_s ? own : host) + u"/watch?v="_s + test::Id);
        TRY_COMPARE(m->player()->state(), MediaPlayer::State::Playing);
        m->setVolume(0.25); // for this video, the next ones and the next start
        QVERIFY(m->player()->volume() == 0.25f && PlayerModel::create()->volume() == 0.25);
    }
}

void TestPipeline::learned()
{
    // What a request saw puts the next one's failures last.
    m_server.route(u"/html/api/v1/videos/"_s + test::Id, {200, "<html>Just a moment...</html>", "text/html"});
    m_server.answer(u"one"_s, u"/clip.mp4"_s);
    QVERIFY(m_home->instances(m_server, {u"html"_s, u"one"_s}));
    const auto m = model();
    m->play();
    TRY_VERIFY2(!m->loading(), m_statuses.join(u", "_s));
    QVERIFY(m_statuses.contains(u"Trying html (local)…"_s));
    m_statuses.clear();
    m->play();
    TRY_VERIFY2(!m->loading(), m_statuses.join(u", "_s));
    QCOMPARE(m_statuses.mid(1), (QStringList{u"Finding instances…"_s, u"Trying one…"_s, u"Playing from one"_s}));
}

void TestPipeline::askAhead()
{
    // Sources slow to answer are asked ahead of their turn, three at most at once, in rank order;
    // answers are taken in rank order too, so a better source's later answer wins.
    const QStringList names{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    const auto path = [](const QString &name) { return u"/%1/api/v1/videos/%2"_s.arg(name, test::Id); };
    for (const QString &name : names) {
        m_server.answer(name, u"/clip.mp4"_s);
        m_server.hold(path(name));
    }
    QVERIFY(m_home->instances(m_server, names));
    const auto m = PlayerModel::create({1s, 1200ms, QUrl(test::refused()), 300ms});
    m->setUrlText(ShortLink);
    m->play();
    const auto asked = [&] {
        QString seen;
        for (const QString &name : names)
            seen += QString::number(m_server.requests(path(name)));
        return seen;
    };
    TRY_COMPARE(asked(), u"1110"_s);
    QCOMPARE(m->status(), u"Trying a, b, c…"_s);
    QTest::qWait(1000); // long past its patience for c: no fourth while three wait
    QCOMPARE(asked(), u"1110"_s);
    m_server.release(path(u"b"_s));
    TRY_COMPARE(asked(), u"1111"_s); // b's place goes to d, as c is overdue
    QVERIFY(m->loading());           // b answered, but a comes first while it may still answer
    m_server.release(path(u"a"_s));
    TRY_VERIFY2(!m->loading(), m->status());
    QCOMPARE(m->status(), u"Playing from a"_s);
    m->cancel();
}

void TestPipeline::embedTimerEndsOnlyItsOwnWait()
{
    // Each side of the check has a second of margin, so neither a slow nor a fast run decides it.
    QVERIFY(m_home->instances(m_server, {u"one"_s}));
    const auto m = PlayerModel::create({1s, 3000ms, QUrl(test::refused())});
    m->setUrlText(ShortLink);
    m->play();
    TRY_COMPARE(m->modeKind(), PlayerModel::Embed);
    QTest::qWait(1500);
    m->play(); // the first wait's timer fires within 1.5 s; this wait must get its full 3 s
    TRY_COMPARE(m->modeKind(), PlayerModel::Embed);
    QTest::qWait(2000);
    QVERIFY(m->modeKind() == PlayerModel::Embed && m->loading());
    TRY_COMPARE(m->modeKind(), PlayerModel::Failed);
}

void TestPipeline::supersede_data()
{
    QTest::addColumn<QString>("media"); // empty: every instance fails
    QTest::addColumn<int>("mode");      // what the old request is waiting in
    QTest::newRow("during the readiness wait") << u"/clip.mp4"_s << int(PlayerModel::Idle);
    QTest::newRow("while it plays") << u"/clip.mp4"_s << int(PlayerModel::Native);
    QTest::newRow("during the embed wait") << QString() << int(PlayerModel::Embed);
}

void TestPipeline::supersede()
{
    QFETCH(QString, media);
    QFETCH(int, mode);
    QVERIFY(m_home->instances(m_server, {u"one"_s}));
    if (!media.isEmpty())
        m_server.answer(u"one"_s, media);
    const auto m = model();
    m->play();
    QElapsedTimer clock;
    clock.start();
    // Supersede the moment the candidate exists, long before it can be ready.
    while ((mode == PlayerModel::Idle ? MediaPlayer::liveCount() == 0 : m->modeKind() != mode) && clock.elapsed() < 5000)
        QCoreApplication::processEvents();
    const QPointer<MediaPlayer> playing = m->player();
    if (playing)
        TRY_COMPARE(test::soundStreams(), 1);

    m->setUrlText(u" "_s);
    m->play();
    QVERIFY(m->modeKind() == PlayerModel::Idle && !m->loading() && m->error() == Invalid);
    QVERIFY(m->status().isEmpty() && !m->nowPlaying()->hasTitle() && !m->nowPlaying()->hasChannel() && m->nowPlaying()->browserURL().isEmpty());
    // The old request finds itself cancelled at its next check and changes nothing more.
    QSignalSpy modeChanged(m.get(), &PlayerModel::modeChanged);
    QSignalSpy errorChanged(m.get(), &PlayerModel::errorChanged);
    QTest::qWait(1200);
    QVERIFY(m_statuses.last().isEmpty() && modeChanged.isEmpty() && errorChanged.isEmpty());
    TRY_COMPARE(MediaPlayer::liveCount(), 0);
    TRY_COMPARE(test::soundStreams(), 0); // nothing left to be heard
}

void TestPipeline::oneCandidateAtATime()
{
    // A stream that drips a byte a second: each request's candidate would wait its full bound, with
    // the connection open, unless the next request ends its wait.
    QVERIFY(m_home->instances(m_server, {u"one"_s}));
    m_server.route(u"/drip.mp4"_s, {200, QByteArray(4096, 'x'), "video/mp4", TestServer::Behaviour::Drip});
    m_server.answer(u"one"_s, u"/drip.mp4"_s);
    const auto m = model(10 * test::Patience);
    for (int i = 1; i <= 5; ++i) {
        m->play();
        TRY_COMPARE(m_server.requests(u"/drip.mp4"_s), i);
        TRY_COMPARE(m_server.open(u"/drip.mp4"_s), 1);
    }
    m->setUrlText(QString());
    m->play();
    TRY_COMPARE(m_server.open(u"/drip.mp4"_s), 0);
}

void TestPipeline::readyThenCalledOff()
{
    // The item becomes ready, and the request is called off before the waiter resumes: no.
    const auto player = MediaPlayer::create(m_server.url(u"/clip.mp4"_s));
    const auto cancel = std::make_shared<Cancellation>();
    auto ready = waitUntilReady(player, test::Patience, cancel);
    connect(player.get(), &MediaPlayer::statusChanged, cancel.get(), &Cancellation::cancel);
    QVERIFY(!QCoro::waitFor(ready));
    QCOMPARE(player->status(), MediaPlayer::ItemStatus::ReadyToPlay);
}

void TestPipeline::pictureWhenReady()
{
    // A ready player shows its first picture without playing, so the picture does not wait for play().
    const auto player = MediaPlayer::create(m_server.url(u"/clip.mp4"_s));
    QVERIFY(QCoro::waitFor(waitUntilReady(player, test::Patience, nullptr)));
    QCOMPARE(player->videoHeight(), 240);
    QVERIFY(!player->playing());
}

void TestPipeline::startPosition()
{
    // It plays from the link's start time, never from before it; a video left there goes on there
    // next time, says so, and can start over.
    QVERIFY(m_home->instances(m_server, {u"one"_s}));
    m_server.answer(u"one"_s, u"/long.mp4"_s);
    const auto m = model();
    m->setUrlText(ShortLink + u"?t=12"_s);
    m->play();
    TRY_COMPARE(m->modeKind(), PlayerModel::Native);
    QList<qint64> shown{m->player()->position()};
    connect(m->player(), &MediaPlayer::positionChanged, this, [&] { shown.append(m->player()->position()); });
    TRY_VERIFY(shown.last() >= 12500);
    QVERIFY2(std::all_of(shown.begin(), shown.end(), [](qint64 ms) { return ms >= 11900; }), qPrintable(QString::number(shown.first())));
    QVERIFY(m->nowPlaying()->resumedAt().isEmpty());

    m->player()->pause();
    m->setSpeed(1.5); // carried to the window's next video
    m->setUrlText(ShortLink);
    m->play();
    TRY_COMPARE(m->modeKind(), PlayerModel::Native);
    QVERIFY(m->nowPlaying()->resumedAt() == u"0:12"_s && m->player()->rate() == 1.5);
    m->nowPlaying()->startOver();
    QVERIFY(m->nowPlaying()->resumedAt().isEmpty());
    TRY_VERIFY(m->player()->position() < 1000);
    History::instance().forget();
}

void TestPipeline::quality_data()
{
    QTest::addColumn<int>("maxHeight");
    QTest::addColumn<QString>("streams"); // "good"; "broken": the pictures answer 404, "mute": the sound; "local": answered only with local=true
    QTest::addColumn<QString>("plays");
    QTest::newRow("standard: the single file") << 0 << u"good"_s << u"360p from one"_s;
    QTest::newRow("up to 720p: no byte of 1080p") << 720 << u"good"_s << u"720p from one"_s;
    QTest::newRow("best available") << 4320 << u"good"_s << u"1080p from one"_s;
    QTest::newRow("broken pictures: the same answer's single file") << 1080 << u"broken"_s << u"360p from one"_s;
    QTest::newRow("local attempt: its own streams") << 720 << u"local"_s << u"720p from one"_s;
    QTest::newRow("no sound: the same answer's single file") << 1080 << u"mute"_s << u"360p from one"_s;
    QTest::newRow("slow network: a height down") << 1080 << u"slow"_s << u"720p (slow network) from one"_s;
}

void TestPipeline::quality()
{
    QFETCH(int, maxHeight);
    QFETCH(QString, streams);
    QFETCH(QString, plays);
    m_server.answerAdaptive(u"one"_s, streams == u"local"_s, streams == u"broken"_s);
    if (streams == u"mute"_s)
        m_server.route(u"/dash/manifest-stream3.mp4"_s, {404, {}});
    if (streams == u"slow"_s)
        m_server.route(u"/dash/manifest-stream2.mp4"_s, {200, m_server.body(u"/dash/manifest-stream2.mp4"_s), "video/mp4", TestServer::Behaviour::Slow});
    QVERIFY(m_home->instances(m_server, {u"one"_s}));
    Settings::instance().setMaxHeight(maxHeight);
    const auto m = model(test::Patience);
    m->play();
    TRY_VERIFY2(!m->loading(), m_statuses.join(u", "_s));
    // A slow network is found out as the video plays.
    TRY_COMPARE(m->nowPlaying()->quality() + u" from "_s + m->status().mid(13), plays);
    QCOMPARE(m_server.requests(u"/dash/manifest-stream2.mp4"_s) > 0, plays.startsWith(u"1080p"_s) || streams == u"mute"_s || streams == u"slow"_s); // what it plays, and only that
    QCOMPARE(m_server.requests(u"/dash/manifest-stream1.mp4"_s) > 0, plays.startsWith(u"720p"_s));
    if (streams != u"broken"_s) // and its sound from the sound's own stream
        QCOMPARE(m_server.requests(u"/dash/manifest-stream3.mp4"_s) > 0, maxHeight > 0);
}

void TestPipeline::hostile_data()
{
    QTest::addColumn<QByteArray>("body"); // what the first instance answers; a valid answer unless it breaks a rule
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("behaviour");
    const QByteArray valid = R"({"title":"t","formatStreams":[{"url":")" + m_server.url(u"/clip.mp4"_s).toEncoded() + "\"}]}";
    QTest::newRow("connection refused") << QByteArray() << 0 << 0;
    QTest::newRow("valid answer under 404") << valid << 404 << 0;
    QTest::newRow("HTML under 200") << QByteArray("<!DOCTYPE html><html>Just a moment...</html>") << 200 << 0;
    const QByteArray huge = R"({"title":")" + QByteArray(50'000'000, 'x') + valid.mid(10);
    QTest::newRow("valid answer of 50 MB") << huge << 200 << 0;
    QTest::newRow("valid answer of 50 MB, chunked, no length") << huge << 200 << int(TestServer::Behaviour::Chunked);
    QTest::newRow("valid answer at a byte a second") << valid << 200 << int(TestServer::Behaviour::Drip);
    QTest::newRow("file: stream of a playable clip")
        << R"({"formatStreams":[{"url":"file://)" + QByteArray(VIREO_TEST_CLIP) + R"("}]})" << 200 << 0;
}

void TestPipeline::hostile()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(int, behaviour);
    // A drip is ended by the 6 s deadline; whatever the rest of the bound is, it is far from a drip's 100 s.
    const qint64 boundMs = (behaviour == int(TestServer::Behaviour::Drip) ? 6000 : 0) + test::Patience.count() / 2;
    m_server.route(u"/bad/api/v1/videos/"_s + test::Id, {status, body, "application/json", TestServer::Behaviour(behaviour)});
    m_server.route(u"/bad/api/v1/videos/"_s + test::Id + u"?local=true"_s, {404, {}});
    m_server.answer(u"good"_s, u"/clip.mp4"_s);
    // The link's list is asked of the same instances, in the same order, and fares the same.
    m_server.route(u"/bad/api/v1/playlists/PLhostile"_s, {status, body, "application/json", TestServer::Behaviour(behaviour)});
    m_server.answerPlaylist(u"good"_s, u"PLhostile"_s, {u"AAAAAAAAAAA"_s, test::Id, u"CCCCCCCCCCC"_s});
    QVERIFY(test::writeCache(m_home->cache(), {{u"bad"_s, status ? m_server.base(u"bad"_s) : test::refused()},
                                               {u"good"_s, m_server.base(u"good"_s)}}));
    const auto m = model();
    m->setUrlText(ShortLink + u"?list=PLhostile"_s);
    QElapsedTimer clock;
    clock.start();
    m->play();
    TRY_VERIFY2(!m->loading(), m->status());
    QCOMPARE(m->status(), u"Playing from good"_s);
    QVERIFY2(clock.elapsed() < boundMs, qPrintable(QString::number(clock.elapsed())));
    // A huge answer is cut off, not held: what the server got into the connection shows it.
    const qint64 sent = m_server.sent(u"/bad/api/v1/videos/"_s + test::Id);
    QVERIFY2(sent < 45'000'000, qPrintable(QString::number(sent)));
    TRY_COMPARE(m->playlist()->place(), u"2 of 3"_s);
}

void TestPipeline::endlessList()
{
    // Pages that neither end nor repeat, asked for as fast as a scrolling panel would: 200 at most.
    const QString path = u"/one/api/v1/playlists/PLendless"_s;
    for (int page = 1; page <= Playlist::MaxPages + 2; ++page)
        m_server.route(path + u"?page=%1"_s.arg(page), {200, u"{\"videos\":[{\"videoId\":\"v%1\"}]}"_s.arg(page, 10, 10, QChar(u'0')).toUtf8()});
    QVERIFY(m_home->instances(m_server, {u"one"_s}));
    Playlist list(QUrl(test::refused()));
    connect(&list, &Playlist::pageDone, &list, [&list] { list.fetchMore(); });
    list.begin(Link::parse(u"youtube.com/playlist?list=PLendless"_s));
    // 200 answers one after the other: far more than any other wait here.
    QTRY_COMPARE_WITH_TIMEOUT(list.rowCount(), Playlist::MaxPages, int(6 * test::Patience.count()));
    QTest::qWait(100);
    QVERIFY(m_server.requests(path) == Playlist::MaxPages && !list.canFetchMore());
}

void TestPipeline::listUnderAView()
{
    // A view asks for more as soon as it hears of a reset: by then the list it asks for is the new
    // one, or none.
    const QString a = u"/one/api/v1/playlists/PLa"_s, b = u"/one/api/v1/playlists/PLb"_s;
    m_server.answerPlaylist(u"one"_s, u"PLa"_s, {test::Id, u"BBBBBBBBBBB"_s});
    m_server.answerPlaylist(u"one"_s, u"PLb"_s, {u"CCCCCCCCCCC"_s});
    QVERIFY(m_home->instances(m_server, {u"one"_s}));
    Playlist list(QUrl(test::refused()));
    connect(&list, &QAbstractItemModel::modelReset, &list, [&list] { list.fetchMore(); });
    list.begin(Link::parse(u"youtube.com/playlist?list=PLa"_s));
    TRY_COMPARE(list.rowCount(), 2);
    list.begin(Link::parse(u"youtube.com/playlist?list=PLb"_s));
    TRY_COMPARE(m_server.requests(b), 1);
    list.begin(std::nullopt);
    QTest::qWait(200);
    QVERIFY2(m_server.requests(a) == 1 && m_server.requests(b) == 1,
             qPrintable(u"%1 %2"_s.arg(m_server.requests(a)).arg(m_server.requests(b))));
    QCOMPARE(list.rowCount(), 0);
}

void TestPipeline::playlist()
{
    // The list's first video no source plays: shown failed, then skipped. The others follow each other.
    const QString b = u"BBBBBBBBBBB"_s, c = u"CCCCCCCCCCC"_s;
    m_server.answerPlaylist(u"one"_s, u"PLtest"_s, {test::Id, b, c});
    m_server.answer(u"one"_s, u"/clip.mp4"_s, false, "\"B\"", b);
    m_server.answer(u"one"_s, u"/clip.mp4"_s, false, "\"C\"", c);
    QVERIFY(m_home->instances(m_server, {u"one"_s}));
    const auto m = model();
    m->setUrlText(u"https://www.youtube.com/playlist?list=PLtest"_s);
    m->play();
    const auto playing = [&](const QString &id) { return m->nowPlaying()->videoID() == id && m->player() && m->player()->playing(); };
    TRY_VERIFY2(m->status() == u"Skipping to the next video…"_s && m->error() == Failure, m->status());
    QCOMPARE(m_server.requests(u"/one/api/v1/videos/"_s + test::Id), 2);
    TRY_VERIFY2(playing(b), m->nowPlaying()->videoID());
    QVERIFY(m->playlist()->place() == u"2 of 3"_s && m->playlist()->canGoNext());
    TRY_VERIFY2(playing(c), m->nowPlaying()->videoID()); // by itself, at the end of B
    QVERIFY(!m->playlist()->canGoNext());
    m->previous();
    TRY_VERIFY(playing(b));
    // The list's link again goes on at the video that was playing.
    m->play();
    TRY_VERIFY(playing(b));
    QCOMPARE(m->playlist()->place(), u"2 of 3"_s);
}

void TestPipeline::skip_data()
{
    QTest::addColumn<bool>("held"); // the segment server holds its answer back
    QTest::newRow("a sponsor segment skipped once, and Undo keeps it") << false;
    QTest::newRow("a segment server that never answers holds nothing up") << true;
}

void TestPipeline::skip()
{
    QFETCH(bool, held);
    const QString query = u"/sb/api/skipSegments/5f6b"_s; // the first 4 hex characters of SHA-256(Id)
    m_server.answer(u"one"_s, u"/long.mp4"_s);
    m_server.segments(u"sb"_s);
    if (held)
        m_server.hold(query);
    QVERIFY(m_home->instances(m_server, {u"one"_s}));
    Settings::instance().setSegmentServer(m_server.base(u"sb"_s));
    Settings::instance().setSkipSegments(true);
    const auto m = model(test::Patience);
    m->play();
    TRY_COMPARE(m->modeKind(), PlayerModel::Native);
    TRY_COMPARE(m->player()->state(), MediaPlayer::State::Playing);
    TRY_COMPARE(m_server.requests(query), 1); // asked beside the request, naming only the prefix
    if (held) {
        QCOMPARE(m_server.open(query), 1);
        return;
    }

    QSignalSpy seeks(m->player(), &MediaPlayer::seeked);
    QSignalSpy skipped(m->nowPlaying()->segments(), &Segments::skipped);
    m->player()->seek(5000); // the user's seek into it plays it
    TRY_VERIFY(m->player()->position() >= 8500);
    QCOMPARE(skipped.size(), 0);
    m->player()->seek(2000); // playing into it skips it
    TRY_COMPARE(skipped.size(), 1);
    QVERIFY(seeks.size() == 3 && seeks.last()[0] == 8000LL);
    m->nowPlaying()->segments()->undo(); // back to where the skip started, within 3 s of the start
    QVERIFY2(m->player()->position() >= 3000 && m->player()->position() < 6000, qPrintable(QString::number(m->player()->position())));
    TRY_VERIFY(m->player()->position() >= 9000); // played through this time
    QVERIFY(skipped.size() == 1 && seeks.size() == 4);
}

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
