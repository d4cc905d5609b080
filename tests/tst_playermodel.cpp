// SPDX-License-Identifier: MIT
// The whole request: real instance list from a temporary cache, real HTTP to loopback stand-in
// instances, real media players on a generated clip.
#include "playback/playermodel.h"
#include "standins.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;
using vireo::test::StandIns;
using vireo::test::TestServer;

namespace {

const QString Id = StandIns::Id;
const QString Link = u"https://youtu.be/dQw4w9WgXcQ"_s;

QStringList strings(const QSignalSpy &spy)
{
    QStringList list;
    for (const auto &args : spy)
        list.append(args.at(0).toString());
    return list;
}

} // namespace

class TestPlayerModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void newModel();
    void firstInstancePlays();
    void localAfterPlainFails();
    void tenFailuresThenEmbed_data();
    void tenFailuresThenEmbed();
    void streamNeverReadyKeepsTitle();
    void embedTimeoutAndLateReport();
    void earlierEmbedTimerSparesLaterWait();
    void playDuringEmbedWait();
    void playDuringReadinessWait();
    void invalidLinkAfterPlaying_data();
    void invalidLinkAfterPlaying();
    void lastUrlSurvivesNewModel();
    void droppedModelStopsItsPlayer();
    void rapidPlays_data();
    void rapidPlays();

private:
    std::shared_ptr<PlayerModel> model(std::chrono::milliseconds readiness = 3s, std::chrono::milliseconds embed = 2s);
    void instances(const QStringList &names) { QVERIFY(m_standIns.writeCache(m_home->path() + u"/cache"_s, names)); }
    QString base(const QString &name) const { return m_standIns.base(name); }
    void answer(const QString &name, const QString &mediaPath, bool local = false, const QByteArray &title = "\"Clip\"")
    {
        m_standIns.answer(name, mediaPath, local, title);
    }
    void fail(const QString &name, int status = 500) { m_standIns.fail(name, status); }

    StandIns m_standIns;
    TestServer &m_server = m_standIns.server();
    std::unique_ptr<QTemporaryDir> m_home;
};

void TestPlayerModel::initTestCase()
{
    QVERIFY(m_standIns.listen());
}

void TestPlayerModel::init()
{
    m_standIns.reset();
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CACHE_HOME", (m_home->path() + u"/cache"_s).toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home->path() + u"/config"_s).toUtf8());
}

std::shared_ptr<PlayerModel> TestPlayerModel::model(std::chrono::milliseconds readiness, std::chrono::milliseconds embed)
{
    // The directory is never needed while the cache is fresh; should it be asked, nothing answers.
    const QUrl directory(u"http://127.0.0.1:%1/instances.json"_s.arg(TestServer::refusedPort()));
    auto model = PlayerModel::create({readiness, embed, directory});
    model->setUrlText(Link);
    return model;
}

void TestPlayerModel::newModel()
{
    const auto m = PlayerModel::create();
    QCOMPARE(m->modeKind(), PlayerModel::Idle);
    QVERIFY(!m->loading());
    QVERIFY(m->status().isEmpty() && m->error().isEmpty() && !m->hasTitle() && !m->hasChannel());
    QCOMPARE(m->urlText(), QString());
    QCOMPARE(m->browserURL(), QUrl());
}

void TestPlayerModel::firstInstancePlays()
{
    instances({u"one"_s, u"two"_s});
    answer(u"one"_s, u"/clip.mp4"_s);
    const auto m = model();
    QSignalSpy status(m.get(), &PlayerModel::statusChanged);
    m->play();
    QVERIFY(m->loading());
    QCOMPARE(m->browserURL(), QUrl(u"https://www.youtube.com/watch?v="_s + Id));
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Native, 10000);

    QCOMPARE(strings(status), (QStringList{u"Finding instances…"_s, u"Trying one…"_s, u"Playing from one"_s}));
    QVERIFY(!m->loading());
    QCOMPARE(m->title(), u"Clip"_s);
    QCOMPARE(m->channel(), u"Channel"_s);
    QCOMPARE(m->browserURL(), QUrl(base(u"one"_s) + u"/watch?v="_s + Id));
    QCOMPARE(m_server.requestCount(u"/one/api/v1/videos/"_s + Id), 1);
    QCOMPARE(m_server.requestCount(u"/two/api/v1/videos/"_s + Id), 0);
    QTRY_COMPARE(m->player()->mediaPlayer()->playbackState(), QMediaPlayer::PlayingState);
}

void TestPlayerModel::localAfterPlainFails()
{
    instances({u"one"_s});
    fail(u"one"_s);
    answer(u"one"_s, u"/clip.mp4"_s, true);
    const auto m = model();
    QSignalSpy status(m.get(), &PlayerModel::statusChanged);
    m->play();
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Native, 10000);
    QCOMPARE(strings(status),
             (QStringList{u"Finding instances…"_s, u"Trying one…"_s, u"Trying one (local)…"_s, u"Playing from one"_s}));
}

void TestPlayerModel::tenFailuresThenEmbed_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("embed reports success") << true;
    QTest::newRow("embed reports failure") << false;
}

void TestPlayerModel::tenFailuresThenEmbed()
{
    QFETCH(bool, ok);
    const QStringList names = {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s};
    instances(names);
    for (const QString &name : names)
        fail(name, name == u"c"_s ? 404 : 429);
    const auto m = model();
    QSignalSpy status(m.get(), &PlayerModel::statusChanged);
    m->play();
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Embed, 10000);

    QStringList expected = {u"Finding instances…"_s};
    for (const QString &name : names)
        expected << u"Trying %1…"_s.arg(name) << u"Trying %1 (local)…"_s.arg(name);
    expected << u"Trying YouTube embed…"_s;
    QCOMPARE(strings(status), expected);
    QCOMPARE(m->embedVideoID(), Id);
    QVERIFY(m->loading());
    QVERIFY(!m->hasTitle() && !m->hasChannel());
    QCOMPARE(m->browserURL(), QUrl(u"https://www.youtube.com/watch?v="_s + Id));

    m->embedResult(ok);
    QTRY_VERIFY(!m->loading());
    if (ok) {
        QCOMPARE(m->modeKind(), PlayerModel::Embed);
        QCOMPARE(m->status(), u"Playing from YouTube embed"_s);
        QVERIFY(m->error().isEmpty());
    } else {
        QCOMPARE(m->modeKind(), PlayerModel::Failed);
        QCOMPARE(m->status(), QString());
        QCOMPARE(m->error(), PlayerModel::failureMessage());
    }
    QCOMPARE(m->browserURL(), QUrl(u"https://www.youtube.com/watch?v="_s + Id));
}

void TestPlayerModel::streamNeverReadyKeepsTitle()
{
    instances({u"one"_s, u"two"_s});
    answer(u"one"_s, u"/silent.mp4"_s, false, "\"First title\"");
    answer(u"two"_s, u"/clip.mp4"_s, false, "\"Second title\"");
    const auto m = model(400ms);
    QSignalSpy status(m.get(), &PlayerModel::statusChanged);
    m->play();
    QTRY_VERIFY_WITH_TIMEOUT(m->hasTitle(), 5000);
    QCOMPARE(m->title(), u"First title"_s);
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Native, 10000);
    QCOMPARE(m->title(), u"First title"_s);
    QCOMPARE(strings(status).mid(1), (QStringList{u"Trying one…"_s, u"Trying one (local)…"_s, u"Trying two…"_s,
                                                  u"Playing from two"_s}));
}

void TestPlayerModel::embedTimeoutAndLateReport()
{
    instances({u"one"_s});
    fail(u"one"_s);
    const auto m = model(3s, 500ms);
    m->play();
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Failed, 5000);
    QCOMPARE(m->error(), PlayerModel::failureMessage());
    QCOMPARE(m->status(), QString());

    QSignalSpy anything(m.get(), &PlayerModel::modeChanged);
    m->embedResult(true);
    QTest::qWait(50);
    QCOMPARE(anything.size(), 0);
    QCOMPARE(m->modeKind(), PlayerModel::Failed);
}

void TestPlayerModel::earlierEmbedTimerSparesLaterWait()
{
    instances({u"one"_s});
    fail(u"one"_s);
    const auto m = model(3s, 1500ms);
    m->play();
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Embed, 5000);
    QTest::qWait(700);
    m->play(); // the first timer has ~800 ms left; the second wait must get its full 1500 ms
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Embed, 5000);
    QTest::qWait(1000);
    QCOMPARE(m->modeKind(), PlayerModel::Embed);
    QVERIFY(m->loading());
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Failed, 3000);
}

void TestPlayerModel::playDuringEmbedWait()
{
    instances({u"one"_s});
    fail(u"one"_s);
    const auto m = model(3s, 10s);
    m->play();
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Embed, 5000);
    m->setUrlText(u"not a link"_s);
    m->play();
    QCOMPARE(m->error(), PlayerModel::invalidLinkMessage());
    QSignalSpy status(m.get(), &PlayerModel::statusChanged);
    QSignalSpy mode(m.get(), &PlayerModel::modeChanged);
    QSignalSpy error(m.get(), &PlayerModel::errorChanged);
    QTest::qWait(200); // the old run resumes with false, sees it was cancelled, and stays quiet
    QCOMPARE(status.size() + mode.size() + error.size(), 0);
    QCOMPARE(m->modeKind(), PlayerModel::Idle);
    QCOMPARE(m->browserURL(), QUrl());
}

void TestPlayerModel::playDuringReadinessWait()
{
    instances({u"one"_s});
    answer(u"one"_s, u"/silent.mp4"_s);
    const auto m = model(1s);
    m->play();
    QTRY_VERIFY_WITH_TIMEOUT(m_server.requestCount(u"/silent.mp4"_s) > 0, 5000);
    m->setUrlText(QString());
    m->play();
    QSignalSpy status(m.get(), &PlayerModel::statusChanged);
    QSignalSpy mode(m.get(), &PlayerModel::modeChanged);
    QTest::qWait(1500); // past the old wait's time-out
    QCOMPARE(status.size() + mode.size(), 0);
    QCOMPARE(m->error(), PlayerModel::invalidLinkMessage());
    QVERIFY(!m->loading());
}

void TestPlayerModel::invalidLinkAfterPlaying_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces") << u"   "_s;
    QTest::newRow("other site") << u"https://example.com/watch?v=dQw4w9WgXcQ"_s;
}

void TestPlayerModel::invalidLinkAfterPlaying()
{
    QFETCH(QString, text);
    instances({u"one"_s});
    answer(u"one"_s, u"/clip.mp4"_s);
    const auto m = model();
    m->play();
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Native, 10000);
    const auto player = m->mode().player;
    QTRY_COMPARE(player->mediaPlayer()->playbackState(), QMediaPlayer::PlayingState);

    m->setUrlText(text);
    m->play();
    QCOMPARE(player->mediaPlayer()->playbackState(), QMediaPlayer::PausedState);
    QCOMPARE(m->modeKind(), PlayerModel::Idle);
    QVERIFY(!m->loading());
    QCOMPARE(m->error(), PlayerModel::invalidLinkMessage());
    QVERIFY(m->status().isEmpty() && !m->hasTitle() && !m->hasChannel());
    QCOMPARE(m->browserURL(), QUrl());
}

void TestPlayerModel::lastUrlSurvivesNewModel()
{
    const auto first = PlayerModel::create();
    QSignalSpy changed(first.get(), &PlayerModel::urlTextChanged);
    first->setUrlText(u"youtu.be/abc"_s);
    first->setUrlText(u"youtu.be/abc"_s);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(m_server.requests().size(), 0); // writing the text starts nothing
    QCOMPARE(PlayerModel::create()->urlText(), u"youtu.be/abc"_s);
}

void TestPlayerModel::droppedModelStopsItsPlayer()
{
    // A window closed during the readiness wait: the request ends without ever playing.
    instances({u"one"_s});
    answer(u"one"_s, u"/clip.mp4"_s);
    auto m = model();
    QPointer<PlayerModel> watch(m.get());
    m->play();
    QTRY_VERIFY_WITH_TIMEOUT(m_server.requestCount(u"/clip.mp4"_s) > 0, 5000);
    m->cancel();
    m.reset();
    QTRY_VERIFY_WITH_TIMEOUT(watch.isNull(), 5000);
}

void TestPlayerModel::rapidPlays_data()
{
    QTest::addColumn<bool>("lastValid");
    QTest::newRow("ending on a valid link") << true;
    QTest::newRow("ending on an invalid link") << false;
}

void TestPlayerModel::rapidPlays()
{
    QFETCH(bool, lastValid);
    instances({u"one"_s});
    answer(u"one"_s, u"/clip.mp4"_s);
    const auto m = model();
    for (int i = 0; i < 200; ++i) {
        const bool valid = (i % 2 == 1) == lastValid;
        m->setUrlText(valid ? Link : u"nope"_s);
        m->play();
        if (i % 20 == 0)
            QCoreApplication::processEvents(); // let some runs get as far as a fetch
    }
    if (lastValid) {
        QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Native, 10000);
        QCOMPARE(m->status(), u"Playing from one"_s);
        // Superseded runs drop their players; only the accepted one is left, and it plays.
        QTRY_COMPARE_WITH_TIMEOUT(MediaPlayer::liveCount(), 1, 12000);
        QTRY_COMPARE(m->player()->mediaPlayer()->playbackState(), QMediaPlayer::PlayingState);
    } else {
        QTest::qWait(500);
        QCOMPARE(m->modeKind(), PlayerModel::Idle);
        QCOMPARE(m->error(), PlayerModel::invalidLinkMessage());
        QTRY_COMPARE_WITH_TIMEOUT(MediaPlayer::liveCount(), 0, 12000);
    }
}

QTEST_GUILESS_MAIN(TestPlayerModel)
#include "tst_playermodel.moc"
