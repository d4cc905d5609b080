// SPDX-License-Identifier: MIT
// The window as people use it, under Xvfb: driven through its controls with real video and a real
// web view, and the built executable started as a user starts it.
#include "playback/playermodel.h"
#include "playback/settings.h"
#include "embedpage.h"
#include "standins.h"
#include "startup.h"
#include "vireoapp.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlEngine>
#include <QQmlIncubationController>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(VireoPlugin)

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;

// The desktop's screen saver, as far as the test needs it: the inhibitions it was asked for, those it
// holds, and the most it held at once.
class ScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    uint asked = 0;
    QSet<uint> held;
    int most = 0;

public Q_SLOTS:
    uint Inhibit(const QString &, const QString &)
    {
        held.insert(++asked);
        most = std::max(most, int(held.size()));
        return asked;
    }
    void UnInhibit(uint cookie) { held.remove(cookie); }
};

class TestWindow : public QObject
{
    Q_OBJECT
public Q_SLOTS:
    void openUrl(const QUrl &url) { m_opened.append(url); }

private Q_SLOTS:
    void init();
    void cleanup();
    void nativePlayback();
    void spare();
    void startWithLink_data();
    void startWithLink();
    void closeMidRequest_data();
    void closeMidRequest();
    void captions();
    void chaptersAndSegments();
    void quality();
    void queue();
    void embed();
    void settings();
    void desktop();

private:
    // A starved machine may take more than a second to ready a stream; the one silent stream of these
    // tests is waited out once.
    void show(const QString &link, std::chrono::milliseconds readiness = 4s);
    void laidOut();
    void nextFrame();
    QQuickItem *find(const char *name) const { return m_window->findChild<QQuickItem *>(QLatin1StringView(name)); }
    bool shown(const char *name) const;
    QString text(const char *name) const { return find(name)->property("text").toString(); }
    void click(const char *name);
    bool pictureIn(const QImage &image, QRectF area) const;

    test::TestServer m_server;
    std::unique_ptr<test::Home> m_home;
    std::unique_ptr<VireoApp> m_app;
    QQuickWindow *m_window = nullptr;
    PlayerModel *m_model = nullptr;
    QList<QUrl> m_opened;
};

bool TestWindow::shown(const char *name) const
{
    // Something still being made by a loader is found with its defaults, visible and without its text.
    QQuickItem *item = find(name);
    for (QQuickItem *up = item; up; up = up->parentItem()) {
        if (up->inherits("QQuickLoader") && up->property("status").toInt() != 1) // Loader.Ready
            return false;
    }
    return item && item->isVisible();
}

void TestWindow::init()
{
    QDesktopServices::setUrlHandler(u"https"_s, this, "openUrl");
    QDesktopServices::setUrlHandler(u"http"_s, this, "openUrl");
    m_server.reset();
    m_home = std::make_unique<test::Home>();
    QVERIFY(m_home->instances(m_server, {u"one"_s, u"two"_s}));
    m_opened.clear();
}

void TestWindow::cleanup()
{
    m_app.reset();
}

void TestWindow::show(const QString &link, std::chrono::milliseconds readiness)
{
    // Written at once, and also when an earlier test left the same text in this process's settings.
    Settings::instance().setLastURL(link);
    Settings::instance().flush();
    m_app = std::make_unique<VireoApp>(PlayerModel::Timing{readiness, 12s, QUrl(test::refused())});
    m_window = m_app->newWindow();
    QVERIFY(m_window);
    m_model = m_window->property("model").value<PlayerModel *>();
    m_window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    laidOut();
}

void TestWindow::laidOut()
{
    // The window's content is made once the window shows, and is there once all of it is made.
    TRY_VERIFY(find("content") && find("content")->property("item").value<QQuickItem *>());
    nextFrame();
}

void TestWindow::nextFrame()
{
    // What was just made is laid out by the window's next frame: a click aimed before that misses.
    QSignalSpy frame(m_window, &QQuickWindow::frameSwapped);
    m_window->update();
    QVERIFY(frame.wait(int(test::Patience.count())));
}

void TestWindow::click(const char *name)
{
    const QQuickItem *item = find(name);
    QVERIFY(item);
    QTest::mouseClick(m_window, Qt::LeftButton, {}, item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
}

bool TestWindow::pictureIn(const QImage &image, QRectF area) const
{
    // Colour bars are vivid; the black player area, the window's grey and the control bar, which the
    // lower third may show, are not.
    int vivid = 0;
    for (int y = int(area.top()) + 10; y < area.bottom() - area.height() / 3; y += 8)
        for (int x = int(area.left()) + 10; x < area.right() - 10; x += 8) {
            const QColor colour = image.pixelColor(x, y);
            vivid += colour.hsvSaturation() > 128 && colour.value() > 60;
        }
    return vivid > 50;
}

void TestWindow::nativePlayback()
{
    // The first instance's stream never starts; its title tries to load an image from a server.
    const QByteArray title = R"("<img src=\")" + m_server.url(u"/x"_s).toEncoded() + R"(\"><b>bold</b>")";
    m_server.answer(u"one"_s, u"/silent.mp4"_s, false, title);
    m_server.answer(u"two"_s, u"/clip.mp4"_s);
    show(u"youtu.be/"_s + test::Id);
    QVERIFY(find("retryButton")->isEnabled() && find("browserButton")->isEnabled());
    click("browserButton"); // before any request: the video in the field, on the service
    QCOMPARE(m_opened, QList<QUrl>{QUrl(u"https://www.youtube.com/watch?v="_s + test::Id)});
    // The stream that plays was decoded for the window's view while it was a candidate, so it shows at once.
    bool drawnAhead = false;
    const QObject watching;
    connect(m_model, &PlayerModel::modeChanged, &watching, [&] {
        if (m_model->player())
            drawnAhead = m_model->player()->shownByView();
    });
    click("linkField");
    QTest::keyClick(m_window, Qt::Key_Return);
    QVERIFY(shown("progressOverlay"));
    TRY_COMPARE(text("overlayStatus"), u"Trying one…"_s);
    QCOMPARE(text("statusText"), u"Trying one…"_s);
    TRY_VERIFY(shown("titleText") && shown("channelText"));
    QVERIFY(text("titleText").startsWith(u"<img src="_s));

    TRY_COMPARE(text("statusText"), u"Playing from two"_s);
    QVERIFY(drawnAhead);
    QVERIFY(!shown("progressOverlay"));
    const QQuickItem *area = find("playerArea");
    TRY_VERIFY(pictureIn(m_window->grabWindow(), area->mapRectToScene(area->boundingRect())));
    QCOMPARE(m_server.requests(u"/x"_s), 0); // the title was shown as plain text
    QCOMPARE(m_window->title(), text("titleText") + u" — Vireo"_s);

    // The accepted video has the keyboard at once; Ctrl+L gives it back to the field, for typing only,
    // and every window's field shows what was typed, as that is what its Return plays.
    const auto other = PlayerModel::create();
    QSignalSpy told(other.get(), &PlayerModel::urlTextChanged);
    QTest::keyClick(m_window, Qt::Key_Space);
    TRY_COMPARE(m_model->player()->state(), MediaPlayer::State::Paused);
    QTest::keyClick(m_window, Qt::Key_Greater, Qt::ShiftModifier);
    QCOMPARE(m_model->player()->rate(), 1.25);
    QTest::keyClick(m_window, Qt::Key_L, Qt::ControlModifier);
    QTest::keyClick(m_window, Qt::Key_Space);
    QTest::keyClick(m_window, Qt::Key_K);
    QVERIFY(m_model->urlText() == u" k"_s && other->urlText() == u" k"_s && told.size() == 2);
    QCOMPARE(m_model->player()->state(), MediaPlayer::State::Paused);

    // An empty link: the message, and the video's rows and title gone.
    QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_window, Qt::Key_Delete);
    QVERIFY(!find("retryButton")->isEnabled() && !find("browserButton")->isEnabled());
    TRY_COMPARE(QSettings(u"Vireo"_s, u"Vireo"_s).value(u"lastURL"_s), QString()); // kept as it is typed, within a second
    QTest::keyClick(m_window, Qt::Key_Return);
    QVERIFY(shown("errorText") && text("errorText") == PlayerModel::invalidLinkMessage() && text("statusText") == u"Ready"_s);
    QVERIFY(!shown("titleText") && !shown("channelText") && m_window->title() == u"Vireo"_s);
}

void TestWindow::spare()
{
    // A window with nothing to play makes a player for its first link and draws its picture of
    // nothing, unseen; the link's stream loads into that player and shows.
    m_server.answer(u"one"_s, u"/clip.mp4"_s);
    show(u"youtu.be/"_s + test::Id);
    TRY_VERIFY(m_model->spare() && m_model->spare()->shownByView());
    const QPointer<MediaPlayer> spare = m_model->spare();
    m_model->play();
    TRY_COMPARE(text("statusText"), u"Playing from one"_s);
    QVERIFY(spare && m_model->player() == spare);
    const QQuickItem *area = find("playerArea");
    TRY_VERIFY(pictureIn(m_window->grabWindow(), area->mapRectToScene(area->boundingRect())));
}

void TestWindow::startWithLink_data()
{
    QTest::addColumn<bool>("contentLast");
    QTest::addColumn<bool>("toLink"); // the link field asked for before the player's controls are made
    QTest::newRow("content made as the video loads") << false << false;
    QTest::newRow("video playing before the content is made") << true << false;
    QTest::newRow("link field asked for before the controls are made") << true << true;
}

void TestWindow::startWithLink()
{
    // A window opened with a link is made while its video loads, and shows it once it plays.
    QFETCH(bool, contentLast);
    QFETCH(bool, toLink);
    m_server.answer(u"one"_s, u"/clip.mp4"_s);
    m_app = std::make_unique<VireoApp>(PlayerModel::Timing{4s, 12s, QUrl(test::refused())});
    QSignalSpy opened(m_app.get(), &VireoApp::windowOpened);
    // A controller that makes nothing unless told holds the window's content back.
    const QObject holding;
    QQmlIncubationController held;
    if (contentLast) {
        connect(m_app.get(), &VireoApp::windowOpened, &holding, [&held](QQuickWindow *window) {
            qmlEngine(window)->setIncubationController(&held);
        });
    }
    m_app->open(u"youtu.be/"_s + test::Id);
    TRY_COMPARE(opened.size(), 1);
    m_window = opened.first().first().value<QQuickWindow *>();
    m_model = opened.first().last().value<PlayerModel *>();
    if (contentLast) {
        TRY_COMPARE(m_model->modeKind(), PlayerModel::Native);
        QVERIFY(!find("content")->property("item").value<QQuickItem *>());
        const auto made = [&] {
            held.incubateFor(5);
            return find("content")->property("item").value<QQuickItem *>() != nullptr;
        };
        TRY_VERIFY(made());
    }
    laidOut();
    // The spinner never shows, not even for a moment, once loading has ended: turning, it would redraw
    // the window beside the video's first frames.
    bool afterLoading = false;
    const QObject watching; // the watch ends with this function
    connect(m_window, &QQuickWindow::afterAnimating, &watching, [&] {
        afterLoading = afterLoading || (shown("spinner") && !m_model->loading());
    });
    TRY_COMPARE(m_model->modeKind(), PlayerModel::Native);
    QVERIFY(!afterLoading);
    const QQuickItem *area = find("playerArea");
    TRY_VERIFY(pictureIn(m_window->grabWindow(), area->mapRectToScene(area->boundingRect())));
    // The video takes the keyboard, also when it played before the window's content was there, but
    // not from a link being typed meanwhile.
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    if (toLink) {
        QVERIFY(!find("videoSurface"));
        QTest::keyClick(m_window, Qt::Key_L, Qt::ControlModifier);
    }
    const auto surfaceMade = [&] {
        held.incubateFor(5); // where the content was held back, the rest is made the same way, to the end
        return find("videoSurface") && held.incubatingObjectCount() == 0;
    };
    TRY_VERIFY(surfaceMade());
    TRY_VERIFY(find(toLink ? "linkField" : "videoSurface")->hasActiveFocus());
    QTest::keyClick(m_window, Qt::Key_Space);
    if (toLink)
        QCOMPARE(m_model->urlText(), u" "_s); // typed over the selected link
    else
        TRY_COMPARE(m_model->player()->state(), MediaPlayer::State::Paused);
}

void TestWindow::closeMidRequest_data()
{
    QTest::addColumn<QString>("held"); // what the server holds back when the window closes
    QTest::addColumn<bool>("spare");   // the window has made its spare first
    QTest::newRow("while searching") << u"/one/api/v1/videos/"_s + test::Id << false;
    QTest::newRow("while the candidate waits") << u"/clip.mp4"_s << false;
    QTest::newRow("while the spare's stream waits") << u"/clip.mp4"_s << true;
}

void TestWindow::closeMidRequest()
{
    // Closing a window ends its request: nothing asked, accepted or heard afterwards, even once the
    // held answer or stream would have let it go on.
    QFETCH(QString, held);
    QFETCH(bool, spare);
    m_server.answer(u"one"_s, u"/clip.mp4"_s);
    m_server.answer(u"two"_s, u"/clip.mp4"_s);
    m_server.hold(held);
    show(u"youtu.be/"_s + test::Id, 10 * test::Patience);
    // So that closing this one does not end the application; idle, it makes a spare of its own.
    const PlayerModel *other = m_app->newWindow()->property("model").value<PlayerModel *>();
    const QPointer<PlayerModel> model = m_model;
    if (spare)
        TRY_VERIFY(model->spare() && model->spare()->shownByView());
    model->play();
    TRY_COMPARE(m_server.open(held), 1);
    m_window->close();
    TRY_VERIFY(!model);
    m_server.release(held);
    QCOMPARE(m_server.requests(u"/two/api/v1/videos/"_s + test::Id), 0);
    TRY_COMPARE(MediaPlayer::liveCount(), other->spare() ? 1 : 0);
    TRY_COMPARE(test::soundStreams(), 0);
}

void TestWindow::captions()
{
    // The preferred language shows over the playing clip at once, as plain text; C hides it.
    Settings::instance().setCaptionLanguage(u"en"_s);
    m_server.answer(u"one"_s, u"/clip.mp4"_s);
    show(u"youtu.be/"_s + test::Id);
    m_model->play();
    TRY_VERIFY(shown("captionText"));
    QCOMPARE(text("captionText"), u"Colour bars, and a tone"_s);
    QTest::keyClick(m_window, Qt::Key_C);
    QVERIFY(!shown("captionText") && Settings::instance().captionLanguage().isEmpty());
}

void TestWindow::chaptersAndSegments()
{
    // A sponsor segment at 3–8 s is skipped, and says so; Ctrl+→ goes to the description's next
    // chapter, Ctrl+← under 3 s into it to the one before.
    Settings::instance().setSegmentServer(m_server.base(u"sb"_s));
    Settings::instance().setSkipSegments(true);
    m_server.segments(u"sb"_s);
    m_server.answer(u"one"_s, u"/long.mp4"_s);
    show(u"youtu.be/"_s + test::Id);
    m_model->play();
    TRY_VERIFY(shown("skipNote"));
    QVERIFY2(text("skipNote") == u"Skipped sponsor — Undo"_s && m_model->player()->position() >= 8000,
             qPrintable(u"\"%1\" at %2 ms"_s.arg(text("skipNote")).arg(m_model->player()->position())));
    QCOMPARE(text("chapterTitle"), u"Colour bars"_s);
    QTest::keyClick(m_window, Qt::Key_Right, Qt::ControlModifier);
    TRY_COMPARE(text("chapterTitle"), u"The tone"_s);
    QVERIFY(m_model->player()->position() >= 10000);
    QTest::keyClick(m_window, Qt::Key_Left, Qt::ControlModifier);
    TRY_COMPARE(text("chapterTitle"), u"Colour bars"_s);
}

void TestWindow::quality()
{
    // A new quality takes over where the video is, paused as it was.
    Settings::instance().setMaxHeight(720);
    m_server.answerAdaptive(u"one"_s);
    show(u"youtu.be/"_s + test::Id);
    m_model->play();
    TRY_COMPARE(m_model->nowPlaying()->quality(), u"720p"_s);
    TRY_VERIFY(m_model->player()->position() > 1000);
    m_model->player()->pause();
    const QPointer<MediaPlayer> old = m_model->player();
    const qint64 at = old->position();
    const QQuickItem *area = find("playerArea");
    const QRectF rect = area->mapRectToScene(area->boundingRect());
    Settings::instance().setMaxHeight(1080);
    // The view never goes black in between, nor while the new player gets its first picture.
    QElapsedTimer clock, since;
    clock.start();
    while (!since.isValid() || since.elapsed() < 500) {
        QVERIFY2(pictureIn(m_window->grabWindow(), rect), qPrintable(text("qualityButton")));
        if (!since.isValid() && text("qualityButton") == u"1080p"_s)
            since.start();
        QVERIFY(clock.elapsed() < test::Patience.count());
        QTest::qWait(20);
    }
    QVERIFY(m_model->player() != old && !m_model->player()->playing());
    QVERIFY2(std::abs(m_model->player()->position() - at) < 200, qPrintable(u"%1 → %2"_s.arg(at).arg(m_model->player()->position())));
}

void TestWindow::queue()
{
    // The queue lists the link's list; a click plays an entry, and Shift+P goes back.
    const QString b = u"BBBBBBBBBBB"_s;
    m_server.answerPlaylist(u"one"_s, u"PLqueue"_s, {test::Id, b});
    m_server.answer(u"one"_s, u"/long.mp4"_s);
    m_server.answer(u"one"_s, u"/long.mp4"_s, false, "\"B\"", b);
    show(u"https://www.youtube.com/watch?v="_s + test::Id + u"&list=PLqueue"_s);
    m_model->play();
    TRY_VERIFY(m_model->player() && text("queueButton") == u"1 of 2"_s);
    m_model->player()->pause(); // the controls stay
    click("queueButton");
    QQuickItem *entry = nullptr;
    TRY_VERIFY(shown("queueList") && QMetaObject::invokeMethod(find("queueList"), "itemAtIndex", Q_RETURN_ARG(QQuickItem *, entry), Q_ARG(int, 1)) && entry);
    nextFrame(); // the opened list
    QTest::mouseClick(m_window, Qt::LeftButton, {}, entry->mapToScene(QPointF(entry->width() / 2, entry->height() / 2)).toPoint());
    TRY_VERIFY(m_model->nowPlaying()->videoID() == b && m_model->player() && m_model->player()->playing());
    TRY_COMPARE(m_window->title(), u"B (2 of 2) — Vireo"_s);
    QTest::keyClick(m_window, Qt::Key_P, Qt::ShiftModifier);
    TRY_COMPARE(m_model->nowPlaying()->videoID(), test::Id);
}

void TestWindow::embed()
{
    show(u"youtu.be/"_s + test::Id);
    click("playButton");
    TRY_VERIFY(find("embedView"));
    QSignalSpy results(find("embedView"), SIGNAL(result(bool)));
    QVERIFY(shown("progressOverlay"));
    // The frame's host resolves nowhere here, and the page itself still loads: once.
    TRY_COMPARE(text("statusText"), u"Playing from YouTube embed"_s);
    QTest::qWait(500);
    QCOMPARE(results.size(), 1);
    // Captions are asked for in the preferred language, when that is a plain language code, and the
    // link's start time is passed on.
    QVERIFY(embedPage(test::Id, u"pt-BR"_s, 754).contains(u"&cc_load_policy=1&cc_lang_pref=pt-BR&start=754\""_s));
    QCOMPARE(embedPage(test::Id, u"en\"><script>"_s), embedPage(test::Id));
    QVERIFY(!shown("progressOverlay"));
}

void TestWindow::settings()
{
    // Only an http(s) address with a host is kept as the user's own instance.
    show(QString());
    QTest::keyClick(m_window, Qt::Key_Comma, Qt::ControlModifier);
    TRY_VERIFY(shown("instanceField") && find("instanceField")->hasActiveFocus());
    for (const QString &address : {u"ftp://x"_s, u"not a url"_s, u"https://"_s, u"http://inv.home.arpa:3000"_s}) {
        QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
        for (const QChar c : address)
            QTest::keyClick(m_window, c.toLatin1());
        const bool kept = address.endsWith(u"3000"_s);
        QCOMPARE(shown("instanceMessage"), !kept);
        QTest::keyClick(m_window, Qt::Key_Return);
        QCOMPARE(shown("instanceField"), !kept);
        QCOMPARE(QSettings(u"Vireo"_s, u"Vireo"_s).value(u"preferredInstance"_s).toString(), kept ? address : QString());
    }
}

void TestWindow::desktop()
{
    // The executable on a private session bus, with a stand-in screen saver on it.
    QProcess daemon;
    daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    QVERIFY(daemon.waitForReadyRead(5000));
    qputenv("DBUS_SESSION_BUS_ADDRESS", daemon.readLine().trimmed());
    QDBusConnection bus = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), u"test"_s);
    ScreenSaver saver;
    QVERIFY(bus.registerObject(u"/org/freedesktop/ScreenSaver"_s, &saver, QDBusConnection::ExportAllSlots)
            && bus.registerService(u"org.freedesktop.ScreenSaver"_s));
    // The windows whose title matches `name`, once there are `count` of them. A search that meets a
    // window being mapped can miss it, so it is asked again until the count is met or time is up.
    const auto windows = [](const QString &name, int count) {
        QStringList found;
        for (QDeadlineTimer deadline(test::Patience); found.size() != count && !deadline.hasExpired(); QTest::qWait(100)) {
            QProcess search;
            search.start(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, name});
            found = search.waitForFinished() ? QString::fromLatin1(search.readAll()).split(u'\n', Qt::SkipEmptyParts) : QStringList();
        }
        return found;
    };
    const auto keys = [](const QString &window, const QStringList &keys) {
        // No window manager under Xvfb: the window is given the focus directly.
        QProcess::execute(u"xdotool"_s, QStringList{u"windowfocus"_s, u"--sync"_s, window, u"key"_s} + keys);
    };

    m_server.answer(u"two"_s, u"/clip.mp4"_s);
    Settings::instance().setLastURL(u"https://youtu.be/"_s + test::Id);
    Settings::instance().flush();
    // A history file that is not one is set aside, and in nobody's way.
    const QString history = m_home->path() + u"/data/Vireo/Vireo/history.json"_s;
    QVERIFY(QDir().mkpath(QFileInfo(history).path()) && QProcess::execute(u"cp"_s, {QStringLiteral(VIREO_EXECUTABLE), history}) == 0);
    QProcess first;
    first.start(QStringLiteral(VIREO_EXECUTABLE), {});
    TRY_VERIFY(bus.interface()->isServiceRegistered(u"org.mpris.MediaPlayer2.vireo"_s));
    TRY_VERIFY(QFile::exists(history + u".unreadable"_s));
    QDBusInterface player(u"org.mpris.MediaPlayer2.vireo"_s, u"/org/mpris/MediaPlayer2"_s, u"org.mpris.MediaPlayer2.Player"_s, bus);
    for (const char *method : {"PlayPause", "Stop", "Next"}) // before there is a video
        QCOMPARE(player.call(QLatin1StringView(method)).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(player.property("PlaybackStatus"), u"Stopped"_s);

    // The remembered link, one Return.
    const QStringList started = windows(u"^Vireo$"_s, 1);
    QCOMPARE(started.size(), 1);
    keys(started.first(), {u"Return"_s});
    const QString shot = m_home->path() + u"/screen.png"_s;
    TRY_VERIFY(QProcess::execute(u"import"_s, {u"-window"_s, u"root"_s, shot}) == 0
               && pictureIn(QImage(shot), QRectF(100, 150, 700, 300)));
    QCOMPARE(m_server.requests(u"/one/api/v1/videos/"_s + test::Id), 2);
    QCOMPARE(player.property("PlaybackStatus"), u"Playing"_s);
    const QVariantMap metadata = player.property("Metadata").toMap();
    QVERIFY(metadata.value(u"xesam:title"_s) == u"Clip"_s && metadata.value(u"xesam:artist"_s) == QStringList{u"Channel"_s});
    TRY_COMPARE(saver.held.size(), 1);

    player.setProperty("Rate", 1.5);
    player.setProperty("Rate", 3.0); // beyond the fastest: not taken
    TRY_COMPARE(player.property("Rate"), 1.5);
    player.call(u"PlayPause"_s); // reaches the real player: it pauses, and the screen may blank again
    TRY_COMPARE(player.property("PlaybackStatus"), u"Paused"_s);
    TRY_COMPARE(saver.held.size(), 0);
    QCOMPARE(player.call(u"SetPosition"_s, QVariant::fromValue(QDBusObjectPath(u"/stale"_s)), 0LL).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(player.call(u"SetPosition"_s, metadata.value(u"mpris:trackid"_s), -5LL).type(), QDBusMessage::ReplyMessage);
    QCOMPARE(player.call(u"Seek"_s, 1LL << 62).type(), QDBusMessage::ReplyMessage);
    const auto wrongType = QDBusMessage::createMethodCall(u"org.vireo.Vireo"_s, u"/org/vireo/Vireo"_s, u"org.vireo.Vireo"_s, u"Open"_s) << 42;
    QCOMPARE(bus.call(wrongType).type(), QDBusMessage::ErrorMessage);

    // Later starts hand their link to the first process and end; each opens a window there.
    for (const QString &link : {QString(100000, u'x'), u"\u0001\u00ff\ufffd"_s, u"youtu.be/"_s + test::Id}) {
        QProcess later;
        later.start(QStringLiteral(VIREO_EXECUTABLE), {link});
        QVERIFY(later.waitForFinished(int(test::Patience.count())));
        QVERIFY2(later.exitStatus() == QProcess::NormalExit && later.exitCode() == 0, later.readAllStandardError());
    }
    QCOMPARE(windows(u"Vireo$"_s, 4).size(), 4);
    TRY_COMPARE(player.property("PlaybackStatus"), u"Playing"_s);
    TRY_COMPARE(saver.held.size(), 1);

    // Switching the playing window's video, then closing the window: one inhibition at a time.
    const QStringList clips = windows(u"^Clip"_s, 2);
    QCOMPARE(clips.size(), 2);
    keys(clips.last(), {u"ctrl+l"_s, u"Return"_s});
    TRY_COMPARE(saver.asked, 3u);
    TRY_COMPARE(saver.held.size(), 1);
    keys(clips.last(), {u"ctrl+w"_s});
    TRY_COMPARE(saver.held.size(), 0);
    TRY_COMPARE(test::soundStreams(), 1); // the first window's paused video is left

    // A list's video plays with the list behind it, the next follows by itself, Previous goes
    // back; a link to the list alone plays its first video.
    const QString b = u"BBBBBBBBBBB"_s, c = u"CCCCCCCCCCC"_s;
    m_server.answerPlaylist(u"two"_s, u"PLdesk"_s, {test::Id, b, c});
    m_server.answer(u"two"_s, u"/clip.mp4"_s, false, "\"B\"", b);
    m_server.answer(u"two"_s, u"/clip.mp4"_s, false, "\"C\"", c);
    const auto title = [&] { return player.property("Metadata").toMap().value(u"xesam:title"_s).toString(); };
    QVERIFY(QProcess::execute(QStringLiteral(VIREO_EXECUTABLE), {u"https://www.youtube.com/watch?v="_s + b + u"&list=PLdesk"_s}) == 0);
    TRY_VERIFY2(title() == u"B"_s && player.property("CanGoNext").toBool(), title());
    TRY_VERIFY2(title() == u"C"_s, title());
    player.call(u"Previous"_s);
    TRY_VERIFY2(title() == u"B"_s && player.property("PlaybackStatus") == u"Playing"_s, title());
    player.call(u"Pause"_s);
    QVERIFY(QProcess::execute(QStringLiteral(VIREO_EXECUTABLE), {u"https://www.youtube.com/playlist?list=PLdesk"_s}) == 0);
    TRY_VERIFY2(title() == u"Clip"_s && player.property("PlaybackStatus") == u"Playing"_s, title());
    player.call(u"Pause"_s);
    TRY_COMPARE(saver.held.size(), 0);
    const QDBusMessage quit = QDBusInterface(u"org.mpris.MediaPlayer2.vireo"_s, u"/org/mpris/MediaPlayer2"_s,
                                             u"org.mpris.MediaPlayer2"_s, bus).call(u"Quit"_s);
    QVERIFY2(quit.type() == QDBusMessage::ReplyMessage, qPrintable(quit.errorMessage()));
    const bool ended = first.waitForFinished(int(test::Patience.count()));
    const QByteArray said = first.readAllStandardError().right(4000);
    QVERIFY2(ended && first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0, said);
    QVERIFY(saver.most == 1 && saver.held.isEmpty());
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

int main(int argc, char *argv[])
{
    // The embed page's frame points at the real service; nothing here may reach it.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1\"");
    Startup startup(argc, argv);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window.moc"
