// SPDX-License-Identifier: MIT
// A change of speed as heard on the sound server: from a call of setRate() until the sound is at the
// new speed, and the longest silence around it. The clip's sound is a tone that steps through ten
// pitches, one every 50 ms of the video, so the recording says where in the video each moment of it
// is, and the player's position at the call says where in the recording the call was.
#include "playback/mediaplayer.h"
#include "playback/readiness.h"
#include "median.h"
#include "standins.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QCoroTask>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;

namespace {

constexpr int Rate = 44100;
constexpr int Pitches = 10;   // 500, 600, … 1400 Hz
constexpr double Step = 50;   // ms of the video per pitch
constexpr int Window = 441;   // 10 ms: the pitches, 100 Hz apart, fall in bins of their own
constexpr int Hop = 110;      // 2.5 ms

double hopMs(qsizetype hop)
{
    return (hop * Hop + Window / 2) * 1000.0 / Rate;
}

// Which pitch each hop of the recording holds, or -1 for silence.
QList<int> pitches(const QByteArray &raw)
{
    const auto *samples = reinterpret_cast<const qint16 *>(raw.constData());
    const qsizetype count = raw.size() / 2;
    QList<int> heard;
    for (qsizetype start = 0; start + Window <= count; start += Hop) {
        double energy = 0, best = 0;
        int pitch = -1;
        for (int i = 0; i < Window; ++i)
            energy += double(samples[start + i]) * samples[start + i];
        for (int p = 0; p < Pitches; ++p) {
            // Goertzel's filter at the pitch's frequency.
            const double k = 2 * std::cos(2 * M_PI * (500 + 100 * p) / Rate);
            double s1 = 0, s2 = 0;
            for (int i = 0; i < Window; ++i) {
                const double s0 = samples[start + i] + k * s1 - s2;
                s2 = s1;
                s1 = s0;
            }
            if (const double power = s1 * s1 + s2 * s2 - k * s1 * s2; power > best) {
                best = power;
                pitch = p;
            }
        }
        heard.append(energy / Window < 1000.0 * 1000.0 ? -1 : pitch); // quieter than 3 % of full scale
    }
    return heard;
}

struct Heard {
    double delay = -1;   // ms from the call to the new speed
    double silence = 0;  // the longest silence around the change, ms
};

// `call` is the moment of setRate() in the recording's time by the wall clock, and `position` where
// the video was then. Each step is placed in the video by its pitch and the steps before it; the
// moment the new speed is heard is where the line through the steps before the call meets the line
// through the steps well after it.
Heard analyse(const QByteArray &raw, double call, double position, double from, double to)
{
    const QList<int> heard = pitches(raw);
    QList<std::pair<double, double>> steps; // recording ms, video ms
    double step = -1;
    for (qsizetype i = 1; i < heard.size(); ++i) {
        if (heard[i] < 0 || heard[i - 1] < 0 || heard[i] == heard[i - 1])
            continue;
        if (step < 0) {
            // The wall clock places the first step within a few tens of ms, its pitch to the step.
            const double guess = (position - (call - hopMs(i)) * from) / Step;
            step = std::round((guess - heard[i]) / Pitches) * Pitches + heard[i];
        } else {
            step += (heard[i] - heard[i - 1] + Pitches) % Pitches;
        }
        steps.append({hopMs(i), step * Step});
    }
    // Each line's offset, with the speed as its slope; none if the steps do not keep to it, as when
    // the change is heard later than the second line begins.
    const auto offset = [&steps](double speed, double after, double before) {
        QList<double> offsets;
        for (const auto &[at, video] : steps) {
            if (at > after && at < before)
                offsets.append(video - speed * at);
        }
        std::sort(offsets.begin(), offsets.end());
        const qsizetype n = offsets.size();
        return n < 8 || offsets[n * 9 / 10] - offsets[n / 10] > Step / 2 ? std::nan("") : median(offsets);
    };
    Heard result;
    const double old = offset(from, 0, call - 100), fresh = offset(to, call + 700, 1e9);
    if (std::isnan(old) || std::isnan(fresh))
        return result;
    const double called = (position - old) / from; // the call by the video's clock
    result.delay = (fresh - old) / (from - to) - called;
    int quiet = 0;
    for (qsizetype i = 0; i < heard.size(); ++i) {
        if (hopMs(i) < called - 200 || hopMs(i) > called + 1000)
            continue;
        quiet = heard[i] < 0 ? quiet + 1 : 0;
        result.silence = std::max(result.silence, quiet * Hop * 1000.0 / Rate);
    }
    return result;
}

void wait(std::chrono::milliseconds time)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < time.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

Heard change(const QUrl &clip, double from, double to)
{
    const auto player = MediaPlayer::create(clip);
    if (!QCoro::waitFor(waitUntilReady(player, 10s)))
        return {};
    // Positions come as the core sends them: each is extrapolated from the moment it came.
    QElapsedTimer clock;
    clock.start();
    double told = 0;
    QObject::connect(player.get(), &MediaPlayer::positionChanged, [&] { told = clock.nsecsElapsed() / 1e6; });
    player->setRate(from);
    player->play();
    // Long enough for any sound server to have passed the first sound on.
    wait(3s);
    QProcess parecord;
    parecord.start(u"parecord"_s, {u"--raw"_s, u"--device=@DEFAULT_MONITOR@"_s, u"--format=s16le"_s,
                                   u"--rate=%1"_s.arg(Rate), u"--channels=1"_s, u"--latency-msec=5"_s});
    parecord.waitForStarted();
    const double recording = clock.nsecsElapsed() / 1e6;
    wait(1s);
    const double now = clock.nsecsElapsed() / 1e6;
    const double position = player->position() + (now - told) * from;
    player->setRate(to);
    // What was recorded last is lost as the recorder ends: more than the 700 ms the change may take.
    wait(2500ms);
    parecord.terminate();
    parecord.waitForFinished();
    return analyse(parecord.readAllStandardOutput(), now - recording, position, from, to);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString clip = dir.filePath(u"steps.mp4"_s);
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_s, {u"-loglevel"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"color=c=gray:s=160x120:r=25"_s,
                               u"-f"_s, u"lavfi"_s, u"-i"_s,
                               u"aevalsrc=exprs=0.4*sin(2*PI*(500+100*mod(floor(t*20)\\,10))*t):s=44100"_s, u"-t"_s,
                               u"20"_s, u"-c:v"_s, u"libx264"_s, u"-c:a"_s, u"aac"_s, u"-b:a"_s, u"192k"_s, clip});
    QFile file(clip);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0 || !file.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "speed: ffmpeg could not make the clip\n";
        return 1;
    }
    test::TestServer server;
    server.route(u"/steps.mp4"_s, {200, file.readAll(), "video/mp4"});
    const QUrl url = server.url(u"/steps.mp4"_s);

    change(url, 1, 1.5); // warm: the sound server, the decoders
    constexpr int Runs = 5;
    QTextStream out(stdout);
    for (const auto &[from, to] : {std::pair{1.0, 1.5}, {1.5, 1.0}}) {
        QList<double> delays, silences;
        for (int run = 0; run < Runs; ++run) {
            const Heard heard = change(url, from, to);
            delays.append(heard.delay);
            silences.append(heard.silence);
        }
        if (delays.contains(-1.0)) {
            out << u"speed %1 to %2: the new speed was not heard within 0.7 s in every run\n"_s.arg(from).arg(to);
            return 1;
        }
        out << u"speed %1 to %2, %3 runs: heard after median %4 ms, worst %5 ms (goal <= 200 ms); "
               u"longest silence median %6 ms, worst %7 ms (goal: none)\n"_s.arg(from).arg(to).arg(Runs)
                   .arg(median(delays), 0, 'f', 0).arg(*std::max_element(delays.begin(), delays.end()), 0, 'f', 0)
                   .arg(median(silences), 0, 'f', 0).arg(*std::max_element(silences.begin(), silences.end()), 0, 'f', 0);
    }
    return 0;
}
