// SPDX-License-Identifier: MIT
// Adaptive streams on loopback: play() to the accepted player's first decoded picture, the standard
// single file against the 1080p picture and sound streams of the same clip, alternated in one run;
// and a change of quality while the video plays: the longest stall of the main thread, and the time
// until the new quality's player has its picture.
#include "playback/playermodel.h"
#include "playback/settings.h"
#include "barecore.h"
#include "median.h"
#include "standins.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;
using namespace vireo::test;

namespace {

// Milliseconds from now until an accepted player other than `old` has decoded its first picture.
double untilPicture(PlayerModel &model, const QElapsedTimer &clock, const MediaPlayer *old = nullptr)
{
    while (clock.elapsed() < 20000) {
        if (const MediaPlayer *player = model.player(); player && player != old && player->videoHeight() > 0)
            return clock.nsecsElapsed() / 1e6;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return -1;
}

double firstPicture(int maxHeight)
{
    Settings::instance().setMaxHeight(maxHeight);
    const auto model = PlayerModel::create({10s, 12s, QUrl(u"http://127.0.0.1:9/instances.json"_s)});
    model->setUrlText(Id);
    QElapsedTimer clock;
    clock.start();
    model->play();
    const double ms = untilPicture(*model, clock);
    model->cancel();
    return ms;
}

// The floor: a bare mpv core to its first decoded picture on the same streams.
double bare(const QUrl &video, const QUrl &audio = {})
{
    QElapsedTimer clock;
    clock.start();
    return bareFirstPicture(clock, video, true, audio);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Home home;
    TestServer server;
    server.answerAdaptive(u"one"_s);
    home.instances(server, {u"one"_s});

    constexpr int Runs = 9;
    firstPicture(0); // warm both paths once: plugins, the sound server, the first connection
    firstPicture(1080);
    QList<double> standard, hd, bareStandard, bareHd;
    for (int run = 0; run < Runs; ++run) {
        standard.append(firstPicture(0));
        hd.append(firstPicture(1080));
        bareStandard.append(bare(server.url(u"/clip.mp4"_s)));
        bareHd.append(bare(server.url(u"/dash/manifest-stream2.mp4"_s), server.url(u"/dash/manifest-stream3.mp4"_s)));
    }

    // A change of quality while the video plays.
    QList<double> stalls, switches;
    for (int run = 0; run < 5; ++run) {
        Settings::instance().setMaxHeight(720);
        const auto model = PlayerModel::create({10s, 12s, QUrl(u"http://127.0.0.1:9/instances.json"_s)});
        model->setUrlText(Id);
        model->play();
        QElapsedTimer clock;
        clock.start();
        untilPicture(*model, clock);
        QElapsedTimer beat;
        beat.start();
        qint64 last = 0, longest = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, beat.elapsed() - last);
            last = beat.elapsed();
        });
        ticker.start(2);
        clock.restart();
        const MediaPlayer *old = model->player();
        Settings::instance().setMaxHeight(1080);
        switches.append(untilPicture(*model, clock, old));
        stalls.append(double(longest));
        model->cancel();
    }
    Settings::instance().setMaxHeight(0);
    if (std::count(standard.begin(), standard.end(), -1.0) + std::count(hd.begin(), hd.end(), -1.0) > 0)
        return 1;

    QTextStream out(stdout);
    out << u"first picture, median of %1: 1080p picture and sound streams %2 ms, standard single file %3 ms, ratio %4 (goal <= 1.3)\n"_s
               .arg(Runs).arg(median(hd), 0, 'f', 0).arg(median(standard), 0, 'f', 0).arg(median(hd) / median(standard), 0, 'f', 2);
    out << u"  floor: a bare mpv core on the same streams, %1 ms against %2 ms, ratio %3\n"_s
               .arg(median(bareHd), 0, 'f', 0).arg(median(bareStandard), 0, 'f', 0).arg(median(bareHd) / median(bareStandard), 0, 'f', 2);
    out << u"change of quality 720p to 1080p while playing, 5 runs: longest stall median %1 ms, worst %2 ms (goal <= 50 ms); "
           u"new quality decoded median %3 ms, worst %4 ms (goal <= 1000 ms)\n"_s
               .arg(median(stalls), 0, 'f', 0).arg(*std::max_element(stalls.begin(), stalls.end()), 0, 'f', 0)
               .arg(median(switches), 0, 'f', 0).arg(*std::max_element(switches.begin(), switches.end()), 0, 'f', 0);
    return 0;
}
