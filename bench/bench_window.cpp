// SPDX-License-Identifier: MIT
// Window figures under Xvfb.
//   bench_window minimal | vireo : prints the wall clock (ms since the epoch) and the resident
//       memory (kB) at the first frame, then exits; bench/run times the start from outside.
//   bench_window stalls : plays from a stand-in instance and prints the longest gap between frames
//       while the request runs (the busy indicator animates all the while, so every gap is a stall).
#include "playback/playermodel.h"
#include "standins.h"
#include "vireoapp.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

Q_IMPORT_QML_PLUGIN(VireoPlugin)

using namespace Qt::StringLiterals;

namespace {

long residentKb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void reportFirstFrame(QQuickWindow *window)
{
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [] {
        QTextStream(stdout) << QDateTime::currentMSecsSinceEpoch() << ' ' << residentKb() << Qt::endl;
        QCoreApplication::exit(0);
    }, Qt::SingleShotConnection);
}

int stalls(vireo::VireoApp &windows)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", (home.path() + u"/cache"_s).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + u"/config"_s).toUtf8());
    auto *server = new vireo::test::TestServer;
    server->route(u"/one/api/v1/videos/"_s + vireo::test::Id, {429, "<html>slow down</html>", "text/html"});
    server->answer(u"two"_s, u"/clip.mp4"_s);
    vireo::test::writeCache(home.path() + u"/cache"_s, {{u"one"_s, server->base(u"one"_s)}, {u"two"_s, server->base(u"two"_s)}});

    QQuickWindow *window = windows.newWindow();
    auto *model = window->property("model").value<vireo::PlayerModel *>();
    model->setUrlText(vireo::test::Id);

    auto *clock = new QElapsedTimer;
    auto *longest = new qint64(0);
    auto *last = new qint64(-1);
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [=] {
        if (*last >= 0 && model->loading()) {
            *longest = std::max(*longest, clock->elapsed() - *last);
            if (qEnvironmentVariableIsSet("VIREO_BENCH_TRACE") && clock->elapsed() - *last > 20)
                QTextStream(stderr) << "gap " << clock->elapsed() - *last << " ms ending at " << clock->elapsed() << " (" << model->status() << ")\n";
        }
        *last = clock->elapsed();
    });
    if (qEnvironmentVariableIsSet("VIREO_BENCH_TRACE"))
        QObject::connect(model, &vireo::PlayerModel::statusChanged, window, [=](const QString &s) {
            QTextStream(stderr) << clock->elapsed() << " ms: " << s << "\n";
        });
    QObject::connect(model, &vireo::PlayerModel::loadingChanged, window, [=] {
        if (!model->loading()) {
            QTextStream(stdout) << u"longest gap between frames during a request: %1 ms over %2 ms (goal < 50 ms)\n"_s
                                       .arg(*longest).arg(clock->elapsed());
            QCoreApplication::exit(0);
        }
    });
    QTimer::singleShot(1000, window, [=] {
        clock->start();
        model->play();
    });
    QTimer::singleShot(30000, [] { QCoreApplication::exit(1); });
    return QGuiApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "minimal") {
        QGuiApplication app(argc, argv);
        QQmlApplicationEngine engine;
        engine.loadData("import QtQuick\nWindow { width: 960; height: 640; visible: true; Rectangle { anchors.fill: parent; color: \"black\" } }");
        reportFirstFrame(qobject_cast<QQuickWindow *>(engine.rootObjects().value(0)));
        return app.exec();
    }
    if (mode != "vireo" && mode != "stalls") {
        QTextStream(stderr) << "usage: bench_window minimal|vireo|stalls\n";
        return 2;
    }
    // The product's own start-up, as in main.cpp.
    QtWebEngineQuick::initialize();
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(u"Vireo"_s);
    QGuiApplication::setOrganizationName(u"Vireo"_s);
    vireo::VireoApp windows;
    if (mode == "stalls")
        return stalls(windows);
    reportFirstFrame(windows.newWindow());
    return app.exec();
}
