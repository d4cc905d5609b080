// SPDX-License-Identifier: MIT
// Time to play on loopback: from play() to "Playing from …" against a bare mpv core reaching its
// first decoded picture, paused, on the same URL plus one API round trip, measured side by side; what each refused or
// HTML-answering instance in front of the working one costs; and a population of instances that
// hang, on a first start and on the next one, which knows what the first saw.
#include "playback/playermodel.h"
#include "barecore.h"
#include "median.h"
#include "standins.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <clocale>

using namespace Qt::StringLiterals;
using namespace vireo;
using namespace vireo::test;

namespace {

// play() until the model plays natively; milliseconds. A caches folder of its own, so that nothing is
// known of the instances, unless it goes `again` where the last run went.
double timeToPlay(const QString &home, const QList<std::pair<QString, QString>> &instances, bool again = false)
{
    static int runs = 0;
    const QString cacheRoot = home + u"/cache"_s + QString::number(again ? runs : ++runs);
    qputenv("XDG_CACHE_HOME", cacheRoot.toUtf8());
    writeCache(cacheRoot, instances);
    const auto model = PlayerModel::create({std::chrono::seconds(10), std::chrono::seconds(12),
                                            QUrl(u"http://127.0.0.1:9/instances.json"_s)});
    model->setUrlText(Id);
    QElapsedTimer clock;
    clock.start();
    model->play();
    QSignalSpy mode(model.get(), &PlayerModel::modeChanged);
    while (model->modeKind() != PlayerModel::Native && clock.elapsed() < 20000)
        mode.wait(20000);
    const double ms = model->modeKind() == PlayerModel::Native ? clock.nsecsElapsed() / 1e6 : -1;
    model->cancel();
    return ms;
}

// One API round trip, then a bare mpv core to its first decoded picture, paused, with or without sound.
double bare(QNetworkAccessManager &nam, const QUrl &api, const QUrl &stream, bool withAudio)
{
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QNetworkReply> reply(nam.get(QNetworkRequest(api)));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    finished.wait(10000);
    reply->readAll();
    return bareFirstPicture(clock, stream, withAudio);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + u"/config"_s).toUtf8());
    const QString cache = home.path();

    TestServer server;
    server.answer(u"working"_s, u"/clip.mp4"_s);
    server.challenge(u"challenge"_s);
    const std::pair<QString, QString> working{u"working"_s, server.base(u"working"_s)};
    const std::pair<QString, QString> refusing{u"refused"_s, refused()}, refusing2{u"refused2"_s, refused()};
    const std::pair<QString, QString> challenge{u"challenge"_s, server.base(u"challenge"_s)};
    // Accept and never answer, as overloaded instances do.
    QList<std::pair<QString, QString>> hanging;
    for (const QString &name : {u"hang1"_s, u"hang2"_s, u"hang3"_s}) {
        server.route(u"/%1/api/v1/videos/%2"_s.arg(name, Id), {200, {}, "application/json", TestServer::Behaviour::Held});
        hanging.append({name, server.base(name)});
    }

    QNetworkAccessManager nam;
    const QUrl api = server.url(u"/working/api/v1/videos/"_s + Id);
    const QUrl stream = server.url(u"/clip.mp4"_s);

    constexpr int Runs = 15;
    bare(nam, api, stream, true); // warm both paths once: libraries, sound server, first connection
    timeToPlay(cache, {working});
    QList<double> vireoMs, bareMs, bareAudioMs, refusedMs, challengeMs;
    for (int run = 0; run < Runs; ++run) {
        // Alternate so drift on a busy machine falls on all alike.
        bareMs.append(bare(nam, api, stream, false));
        bareAudioMs.append(bare(nam, api, stream, true));
        vireoMs.append(timeToPlay(cache, {working}));
        refusedMs.append(timeToPlay(cache, {refusing, refusing2, working}));
        challengeMs.append(timeToPlay(cache, {challenge, challenge, working}));
    }
    // Each first start waits out dead instances for seconds: fewer runs.
    constexpr int PopulationRuns = 5;
    QList<double> firstMs, nextMs;
    for (int run = 0; run < PopulationRuns; ++run) {
        firstMs.append(timeToPlay(cache, hanging + QList{challenge, working}));
        nextMs.append(timeToPlay(cache, hanging + QList{challenge, working}, true));
    }
    if (std::count(vireoMs.begin(), vireoMs.end(), -1.0) + std::count(firstMs.begin(), firstMs.end(), -1.0) > 0)
        return 1;

    QTextStream out(stdout);
    const double v = median(vireoMs), b = median(bareMs), ba = median(bareAudioMs);
    out << u"time to play, median of %1: Vireo %2 ms; bare mpv core with sound + API round trip %3 ms, ratio %4 (goal <= 1.05)\n"_s
               .arg(Runs).arg(v, 0, 'f', 1).arg(ba, 0, 'f', 1).arg(v / ba, 0, 'f', 2);
    out << u"  the same bare core without sound: %1 ms, ratio %2\n"_s.arg(b, 0, 'f', 1).arg(v / b, 0, 'f', 2);
    // Two instances in front: a refusing one is asked once, one answering HTML twice (plain, local).
    out << u"failover per refused attempt: %1 ms (goal < 25 ms)\n"_s.arg((median(refusedMs) - v) / 2, 0, 'f', 1);
    out << u"failover per HTML-answering attempt: %1 ms\n"_s.arg((median(challengeMs) - v) / 4, 0, 'f', 1);
    out << u"three hanging, one HTML, then the working instance, median of %1: first start %2 ms (goal <= 8000), "
           "next start %3 ms, %4 x the working one alone (goal <= 1.5)\n"_s
               .arg(PopulationRuns).arg(median(firstMs), 0, 'f', 0).arg(median(nextMs), 0, 'f', 1).arg(median(nextMs) / v, 0, 'f', 2);
    return 0;
}
