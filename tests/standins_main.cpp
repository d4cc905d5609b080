// SPDX-License-Identifier: MIT
// Stand-in servers for the demo and the benchmarks: one instance that refuses connections, one that
// answers an HTML challenge page, one that streams the test clip. Writes a fresh instance cache
// listing them, best first, under the given caches folder, prints the port, and serves until killed.
#include "standins.h"

#include <QCoreApplication>
#include <QTextStream>
#include <csignal>

using namespace Qt::StringLiterals;
using vireo::test::StandIns;
using vireo::test::TestServer;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: vireo-standins CACHE_ROOT\n";
        return 2;
    }
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    std::signal(SIGINT, [](int) { QCoreApplication::quit(); });

    StandIns standIns;
    if (!standIns.listen())
        return 1;
    standIns.server().route(u"/challenge/api/v1/videos/"_s + StandIns::Id, 200,
                            "<!DOCTYPE html><html><head><title>Just a moment...</title></head><body>Checking your browser</body></html>",
                            "text/html");
    standIns.answer(u"working"_s, u"/clip.mp4"_s, false, "\"Vireo test clip — colour bars and a 440 Hz tone\"");
    const QString refused = u"http://127.0.0.1:%1"_s.arg(TestServer::refusedPort());
    if (!StandIns::writeCache(args.at(1), {{u"refused.invalid"_s, refused},
                                           {u"challenge.invalid"_s, standIns.base(u"challenge"_s)},
                                           {u"working.invalid"_s, standIns.base(u"working"_s)}}))
        return 1;
    QTextStream(stdout) << standIns.server().port() << Qt::endl;
    return app.exec();
}
