// SPDX-License-Identifier: MIT
// The readiness wait on real players fed by a loopback media server, and its one-shot box under races.
#include "playback/readiness.h"
#include "clip.h"
#include "testserver.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;
using vireo::test::TestServer;

class TestReadiness : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void wait_data();
    void wait();
    void alreadySettled_data();
    void alreadySettled();
    void boxResumesOnceUnderRaces();
    void boxEndsSubscription();

private:
    TestServer m_server;
};

void TestReadiness::initTestCase()
{
    QVERIFY(m_server.listen());
    const QByteArray clip = vireo::test::clip();
    QVERIFY(!clip.isEmpty());
    m_server.route(u"/clip.mp4"_s, 200, clip, "video/mp4");
    m_server.route(u"/junk.mp4"_s, 200, QByteArray(64 * 1024, 'x'), "video/mp4");
    TestServer::Route silent;
    silent.behaviour = TestServer::Behaviour::Silent;
    m_server.route(u"/silent.mp4"_s, silent);
}

void TestReadiness::wait_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<bool>("ready");
    QTest::addColumn<int>("minMs");
    QTest::addColumn<int>("maxMs");
    QTest::addColumn<int>("timeoutMs");
    // Generous where the item settles by itself: a first load under the sanitizers is slow.
    QTest::newRow("no item") << QUrl() << false << 0 << 50 << 5000;
    QTest::newRow("ready later") << m_server.url(u"/clip.mp4"_s) << true << 0 << 5000 << 5000;
    QTest::newRow("404 fails") << m_server.url(u"/missing.mp4"_s) << false << 0 << 5000 << 5000;
    QTest::newRow("not media fails") << m_server.url(u"/junk.mp4"_s) << false << 0 << 5000 << 5000;
    QTest::newRow("refused fails") << QUrl(u"http://127.0.0.1:%1/x.mp4"_s.arg(TestServer::refusedPort())) << false << 0 << 5000 << 5000;
    QTest::newRow("never ready: time-out") << m_server.url(u"/silent.mp4"_s) << false << 700 << 2000 << 700;
}

void TestReadiness::wait()
{
    QFETCH(QUrl, url);
    QFETCH(bool, ready);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    QFETCH(int, timeoutMs);
    const auto player = MediaPlayer::create(url);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(QCoro::waitFor(waitUntilReady(player, std::chrono::milliseconds(timeoutMs))), ready);
    QVERIFY2(clock.elapsed() >= minMs && clock.elapsed() < maxMs, qPrintable(QString::number(clock.elapsed())));
    // Nothing plays until the pipeline says so.
    QCOMPARE(player->mediaPlayer()->playbackState(), QMediaPlayer::StoppedState);
}

void TestReadiness::alreadySettled_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ready");
    QTest::newRow("already ready") << u"/clip.mp4"_s << true;
    QTest::newRow("already failed") << u"/missing.mp4"_s << false;
}

void TestReadiness::alreadySettled()
{
    QFETCH(QString, path);
    QFETCH(bool, ready);
    const auto player = MediaPlayer::create(m_server.url(path));
    QTRY_VERIFY(player->status() != MediaPlayer::ItemStatus::Unknown);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(QCoro::waitFor(waitUntilReady(player, 5s)), ready);
    QVERIFY(clock.elapsed() < 200);
    // The settled wait no longer listens: a later failure of an accepted player is the window's news.
    QSignalSpy spy(player.get(), &MediaPlayer::statusChanged);
    Q_EMIT player->statusChanged(MediaPlayer::ItemStatus::Failed);
    QCOMPARE(spy.size(), 1);
}

void TestReadiness::boxResumesOnceUnderRaces()
{
    // Ready on one thread, time-out on another, at the same moment: exactly one resumes the waiter.
    for (int round = 0; round < 200; ++round) {
        const OneShot cont;
        auto box = std::make_shared<ResumeBox>(cont);
        std::atomic<int> resumed = 0;
        // Arguments, not captures: a coroutine lambda's captures die with the lambda.
        auto waiter = [](OneShot cont, std::atomic<int> *resumed) -> QCoro::Task<> {
            co_await cont;
            ++*resumed;
        }(cont, &resumed);
        std::atomic<bool> go = false;
        std::thread ready([&] { while (!go) {} box->finish(true); });
        std::thread timeout([&] { while (!go) {} box->finish(false); });
        go = true;
        ready.join();
        timeout.join();
        box->finish(true);
        QTRY_COMPARE(resumed.load(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(resumed.load(), 1);
    }
}

void TestReadiness::boxEndsSubscription()
{
    QObject sender;
    // Resolved before the subscription was stored: it must end all the same.
    ResumeBox early{OneShot()};
    early.finish(true);
    const auto late = QObject::connect(&sender, &QObject::objectNameChanged, &sender, [] {});
    early.setCancellable(late);
    QVERIFY(!QObject::disconnect(late));

    ResumeBox normal{OneShot()};
    const auto subscription = QObject::connect(&sender, &QObject::objectNameChanged, &sender, [] {});
    normal.setCancellable(subscription);
    normal.finish(false);
    QVERIFY(!QObject::disconnect(subscription));
}

QTEST_GUILESS_MAIN(TestReadiness)
#include "tst_readiness.moc"
