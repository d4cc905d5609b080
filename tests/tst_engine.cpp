// SPDX-License-Identifier: MIT
// The player door against the real engine, as heard on the private sound server: the pitch at
// another speed, a sound server that goes away and comes back, a stream behind a certificate
// nobody trusts, a seek that keeps its place while it settles, nothing of mpv's own running beside
// the player, and a spare that no view drew.
#include "playback/mediaplayer.h"
#include "playback/readiness.h"
#include "standins.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QCoroTask>
#include <algorithm>

using namespace Qt::StringLiterals;
using namespace vireo;

namespace {

constexpr int SampleRate = 44100;

// What the sound server plays, for `ms`, as mono 16-bit samples.
QList<qint16> record(int ms)
{
    QProcess parecord;
    parecord.start(u"parecord"_s, {u"--raw"_s, u"--device=@DEFAULT_MONITOR@"_s, u"--format=s16le"_s,
                                   u"--rate=%1"_s.arg(SampleRate), u"--channels=1"_s});
    parecord.waitForStarted();
    QTest::qWait(ms);
    parecord.terminate();
    parecord.waitForFinished();
    const QByteArray raw = parecord.readAllStandardOutput();
    QList<qint16> samples(raw.size() / 2);
    memcpy(samples.data(), raw.constData(), samples.size() * 2);
    return samples;
}

// The frequency of a pure tone, from the median spacing of its rising zero crossings, so that a
// moment of silence (a player starved on a busy machine) does not lower it; 0 when there is none.
double frequency(const QList<qint16> &samples)
{
    QList<qsizetype> spacings;
    qsizetype last = -1;
    for (qsizetype i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0 && std::abs(samples[i] - samples[i - 1]) > 50) {
            if (last >= 0)
                spacings.append(i - last);
            last = i;
        }
    }
    if (spacings.isEmpty())
        return 0;
    const auto middle = spacings.begin() + spacings.size() / 2;
    std::nth_element(spacings.begin(), middle, spacings.end());
    return double(SampleRate) / double(*middle);
}

// Runs a program quietly; whether it ended well.
bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool soundServerUp()
{
    return run(u"pactl"_s, {u"info"_s});
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pitchAtSpeed();
    void soundServerRestart();
    void untrustedCertificate();
    void seekHoldsItsPlace();
    void noScripts();
    void spareWithoutView();
    void cleanupTestCase();

private:
    std::shared_ptr<MediaPlayer> playing(const QString &path);

    test::TestServer m_server;
};

std::shared_ptr<MediaPlayer> TestEngine::playing(const QString &path)
{
    auto player = MediaPlayer::create(m_server.url(path));
    if (!QCoro::waitFor(waitUntilReady(player, test::Patience)))
        return {};
    player->play();
    return player;
}

void TestEngine::pitchAtSpeed()
{
    // Faster, not higher: the clip's 440 Hz tone stays 440 Hz at 1.5 times the speed.
    const auto player = playing(u"/long.mp4"_s);
    QVERIFY(player);
    player->setRate(1.5);
    TRY_VERIFY(player->position() > 1500);
    // A fresh sound server may take a moment more to pass the first sound on: silence is heard again.
    double hz = 0;
    for (int attempt = 0; attempt < 5 && hz == 0; ++attempt)
        hz = frequency(record(1000));
    QVERIFY2(std::abs(hz - 440) < 15, qPrintable(u"%1 Hz"_s.arg(hz)));
}

void TestEngine::seekHoldsItsPlace()
{
    // What the core said before a seek took effect never takes the seek back: until the picture
    // there is found, readers see the place asked for.
    const auto player = playing(u"/long.mp4"_s);
    QVERIFY(player);
    TRY_VERIFY(player->position() > 500);
    for (const qint64 to : {20000, 2000, 18000, 4000, 16000, 6000, 14000, 8000}) {
        QThread::msleep(100); // a busy moment, while the core goes on telling where it is
        player->seek(to);
        QElapsedTimer clock;
        clock.start();
        while (player->seeking() && clock.elapsed() < test::Patience.count()) {
            QVERIFY2(player->position() == to, qPrintable(u"at %1 ms while seeking to %2 ms"_s.arg(player->position()).arg(to)));
            QTest::qWait(1);
        }
        QVERIFY(!player->seeking());
    }
    // A seek made before the last one's landing is read: that landing is not this one's.
    player->seek(20000);
    QThread::msleep(500); // the core lands meanwhile, unread
    player->seek(2000);
    TRY_VERIFY(!player->seeking());
    QVERIFY2(player->position() < 3000, qPrintable(u"at %1 ms after a seek to 2000 ms"_s.arg(player->position())));
}

void TestEngine::soundServerRestart()
{
    // The sound server goes away under a playing video: the video goes on and says nothing of it, and
    // the sound is back once the server is, at the latest with the next video.
    QVERIFY2(qEnvironmentVariableIsSet("PULSE_SERVER") && soundServerUp(), "needs the private sound server (scripts/private-runtime)");
    const auto player = playing(u"/long.mp4"_s);
    QVERIFY(player);
    TRY_VERIFY(player->position() > 500 && test::soundStreams() == 1);
    run(u"pactl"_s, {u"exit"_s});
    TRY_VERIFY(!soundServerUp());
    const qint64 at = player->position();
    TRY_VERIFY(player->position() > at + 1000);
    QVERIFY2(!player->failed() && player->playing(), qPrintable(player->errorString()));

    QVERIFY(run(QStringLiteral(VIREO_SOUND_SERVER), {}));
    TRY_VERIFY(soundServerUp());
    const auto next = playing(u"/clip.mp4"_s);
    QVERIFY(next);
    TRY_VERIFY(test::soundStreams() >= 1);
    QVERIFY(!player->failed());
}

void TestEngine::untrustedCertificate()
{
    // A stream behind a certificate nobody trusts fails as a candidate, and nothing of it is asked for.
    QTemporaryDir dir;
    QVERIFY(run(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-days"_s, u"1"_s, u"-subj"_s,
                               u"/CN=127.0.0.1"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s,
                               dir.filePath(u"key.pem"_s), u"-out"_s, dir.filePath(u"cert.pem"_s)}));
    QFile key(dir.filePath(u"key.pem"_s)), cert(dir.filePath(u"cert.pem"_s));
    QVERIFY(key.open(QIODevice::ReadOnly) && cert.open(QIODevice::ReadOnly));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
    tls.setLocalCertificate(QSslCertificate(cert.readAll()));
    QSslServer server;
    server.setSslConfiguration(tls);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    int handshakes = 0, requests = 0;
    connect(&server, &QSslServer::startedEncryptionHandshake, this, [&] { ++handshakes; });
    connect(&server, &QTcpServer::pendingConnectionAvailable, this, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection())
            connect(socket, &QIODevice::readyRead, this, [&requests] { ++requests; });
    });

    const auto player = MediaPlayer::create(QUrl(u"https://127.0.0.1:%1/clip.mp4"_s.arg(server.serverPort())));
    QVERIFY(!QCoro::waitFor(waitUntilReady(player, test::Patience)));
    QVERIFY(player->failed());
    QVERIFY(handshakes > 0);
    QCOMPARE(requests, 0);
}

void TestEngine::noScripts()
{
    // Each of mpv's scripts, its own included, runs in a thread named after it.
    const auto player = playing(u"/clip.mp4"_s);
    QVERIFY(player);
    QStringList threads;
    for (const QString &task : QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(u"/proc/self/task/%1/comm"_s.arg(task));
        if (comm.open(QIODevice::ReadOnly))
            threads.append(QString::fromUtf8(comm.readAll().trimmed()));
    }
    QVERIFY2(!threads.join(u',').contains(u"script"_s), qPrintable(threads.join(u", "_s)));
}

void TestEngine::spareWithoutView()
{
    // A spare that no view drew plays what it is given as a new player would, once.
    const auto spare = MediaPlayer::createSpare();
    QVERIFY(spare->open(m_server.url(u"/clip.mp4"_s)));
    QVERIFY(!spare->open(m_server.url(u"/clip.mp4"_s)));
    QVERIFY(QCoro::waitFor(waitUntilReady(spare, test::Patience)));
    spare->play();
    TRY_VERIFY(spare->position() > 0);
}

void TestEngine::cleanupTestCase()
{
    // A core still being torn down as the process ends leaves its memory half freed.
    TRY_COMPARE(MediaPlayer::liveCount(), 0);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
