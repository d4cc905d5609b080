// SPDX-License-Identifier: MIT
// Stand-in servers for the demo: one instance that refuses connections, one that answers an HTML
// challenge page, one that streams the test clips (30 s as a single file, 10 s at three heights),
// with chapters, and plays a three-video list (PLvireoDemo: that clip, then two more), and a segment
// server (<port>/segments) with a sponsor segment at 3–8 s. Writes a
// fresh instance cache listing them, best first, under the given caches folder, prints the port, and
// serves until killed.
#include "standins.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace vireo::test;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestServer server;
    server.challenge(u"challenge"_s);
    server.answerAdaptive(u"working"_s, false, false, u"/long.mp4"_s);
    server.segments(u"segments"_s);
    server.answer(u"working"_s, u"/long.mp4"_s, false, "\"Thirty seconds of bars\"", u"vireoDemo02"_s);
    server.answer(u"working"_s, u"/clip.mp4"_s, false, "\"Four seconds of bars\"", u"vireoDemo03"_s);
    server.answerPlaylist(u"working"_s, u"PLvireoDemo"_s, {Id, u"vireoDemo02"_s, u"vireoDemo03"_s});
    if (argc != 2 || !writeCache(QString::fromLocal8Bit(argv[1]), {{u"refused.invalid"_s, refused()}, {u"challenge.invalid"_s, server.base(u"challenge"_s)},
                                                      {u"working.invalid"_s, server.base(u"working"_s)}}))
        return 1;
    QTextStream(stdout) << server.url(QString()).port() << Qt::endl;
    return app.exec();
}
