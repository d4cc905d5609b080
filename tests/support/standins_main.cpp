// SPDX-License-Identifier: MIT
// Stand-in servers for the demo: one instance that refuses connections, one that answers an HTML
// challenge page, one that streams the test clip, as a single file and at three heights. Writes a
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
    server.answerAdaptive(u"working"_s);
    if (argc != 2 || !writeCache(QString::fromLocal8Bit(argv[1]), {{u"refused.invalid"_s, refused()}, {u"challenge.invalid"_s, server.base(u"challenge"_s)},
                                                      {u"working.invalid"_s, server.base(u"working"_s)}}))
        return 1;
    QTextStream(stdout) << server.url(QString()).port() << Qt::endl;
    return app.exec();
}
