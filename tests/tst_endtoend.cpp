// SPDX-License-Identifier: MIT
// The built executable as a user meets it: a remembered link, a cache of stand-in instances, one
// Return, and video on the screen.
#include "standins.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using vireo::test::StandIns;

class TestEndToEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void returnPlaysTheRememberedLink();

private:
    static QImage screenshot(const QString &path);
};

QImage TestEndToEnd::screenshot(const QString &path)
{
    QProcess::execute(u"import"_s, {u"-window"_s, u"root"_s, path});
    return QImage(path);
}

void TestEndToEnd::returnPlaysTheRememberedLink()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display (scripts/test runs this under Xvfb)");
    StandIns standIns;
    QVERIFY(standIns.listen());
    standIns.fail(u"first"_s, 429);
    standIns.answer(u"second"_s, u"/clip.mp4"_s);

    QTemporaryDir home;
    QVERIFY(standIns.writeCache(home.path() + u"/cache"_s, QStringList{u"first"_s, u"second"_s}));
    QVERIFY(QDir().mkpath(home.path() + u"/config/Vireo"_s));
    QFile settings(home.path() + u"/config/Vireo/Vireo.conf"_s);
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[General]\nlastURL=https://youtu.be/" + StandIns::Id.toLatin1() + "\n");
    settings.close();

    QProcess vireo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CACHE_HOME"_s, home.path() + u"/cache"_s);
    env.insert(u"XDG_CONFIG_HOME"_s, home.path() + u"/config"_s);
    vireo.setProcessEnvironment(env);
    vireo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    vireo.start(QStringLiteral(VIREO_EXECUTABLE), {});
    QVERIFY(vireo.waitForStarted());
    const auto stop = qScopeGuard([&] {
        vireo.terminate();
        if (!vireo.waitForFinished(10000))
            vireo.kill();
    });

    // Return goes to the link field, which has the focus when the window opens. There is no window
    // manager under Xvfb, so the window is given the input focus directly.
    QTRY_COMPARE_WITH_TIMEOUT(QProcess::execute(u"xdotool"_s, {u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--name"_s,
                                                               u"^Vireo$"_s, u"windowfocus"_s, u"--sync"_s}), 0, 10000);
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"Return"_s});

    const QString shot = home.path() + u"/screen.png"_s;
    const auto videoShowing = [&] {
        const QImage image = screenshot(shot);
        if (image.isNull())
            return false;
        // The player area is the middle of the window; colour bars are bright, black is not.
        int bright = 0;
        for (int y = 150; y < 450; y += 10)
            for (int x = 100; x < 800; x += 10)
                bright += qGray(image.pixel(x, y)) > 60;
        return bright > 300;
    };
    QTRY_VERIFY_WITH_TIMEOUT(videoShowing(), 20000);
    QCOMPARE(standIns.server().requestCount(u"/first/api/v1/videos/"_s + StandIns::Id), 2);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
