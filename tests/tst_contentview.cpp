// SPDX-License-Identifier: MIT
// The window under Xvfb, driven through its controls, with real video and a real web view.
#include "links.h"
#include "playback/playermodel.h"
#include "standins.h"
#include "vireoapp.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

Q_IMPORT_QML_PLUGIN(VireoPlugin)

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;
using vireo::test::StandIns;

class TestContentView : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;

public Q_SLOTS:
    void openUrl(const QUrl &url) { opened.append(url); }

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void buttons_data();
    void buttons();
    void returnPlaysAndShowsInvalidLink();
    void searchShowsOverlayAndRows();
    void serverTextIsPlain();
    void nativeStreamReachesSurface();
    void embedLoadsOnceAndPlays();
    void everySourceFailed();
    void openInBrowser();
    void embedPage();
    void windowsHaveTheirOwnModels();
    void closingMidRequestIsSafe_data();
    void closingMidRequestIsSafe();

private:
    QQuickWindow *show(std::shared_ptr<PlayerModel> model);
    std::shared_ptr<PlayerModel> model(std::chrono::milliseconds embed = 12s);
    template<typename T = QQuickItem>
    T *find(const char *name) { return m_window->findChild<T *>(QString::fromLatin1(name)); }
    bool shown(const char *name) { auto *item = find(name); return item && item->isVisible(); }
    QString text(const char *name) { return find(name)->property("text").toString(); }
    void click(const char *name);
    // Keeps a picture of the window for people to look at, when VIREO_SCREENSHOTS names a folder.
    void snap(const char *name);
    bool playerAreaHasPicture();

    StandIns m_standIns;
    QTemporaryDir m_home;
    QQmlApplicationEngine m_engine;
    std::shared_ptr<PlayerModel> m_model;
    QQuickWindow *m_window = nullptr;
};

void TestContentView::initTestCase()
{
    QVERIFY(m_standIns.listen());
    m_engine.addImportPath(u"qrc:/qt/qml"_s);
    qputenv("XDG_CONFIG_HOME", (m_home.path() + u"/config"_s).toUtf8());
    qputenv("XDG_CACHE_HOME", (m_home.path() + u"/cache"_s).toUtf8());
    QDesktopServices::setUrlHandler(u"https"_s, this, "openUrl");
    QDesktopServices::setUrlHandler(u"http"_s, this, "openUrl");
}

void TestContentView::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(u"https"_s);
    QDesktopServices::unsetUrlHandler(u"http"_s);
}

void TestContentView::init()
{
    m_standIns.reset();
    opened.clear();
    QVERIFY(m_standIns.writeCache(m_home.path() + u"/cache"_s, QStringList{u"one"_s, u"two"_s}));
}

void TestContentView::cleanup()
{
    if (m_model)
        m_model->cancel();
    delete m_window;
    m_window = nullptr;
    m_model.reset();
}

std::shared_ptr<PlayerModel> TestContentView::model(std::chrono::milliseconds embed)
{
    const QUrl nowhere(u"http://127.0.0.1:%1/instances.json"_s.arg(vireo::test::TestServer::refusedPort()));
    return PlayerModel::create({2s, embed, nowhere});
}

QQuickWindow *TestContentView::show(std::shared_ptr<PlayerModel> model)
{
    m_model = std::move(model);
    QQmlComponent component(&m_engine, QUrl(u"qrc:/qt/qml/Vireo/Main.qml"_s), QQmlComponent::PreferSynchronous);
    m_window = qobject_cast<QQuickWindow *>(
        component.createWithInitialProperties({{u"model"_s, QVariant::fromValue(m_model.get())}}));
    if (!m_window)
        qWarning() << component.errorString();
    else if (m_window->requestActivate(); !QTest::qWaitForWindowActive(m_window))
        qWarning() << "window not active";
    return m_window;
}

void TestContentView::click(const char *name)
{
    auto *item = find(name);
    QVERIFY(item);
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, {}, centre.toPoint());
}

void TestContentView::snap(const char *name)
{
    const QString folder = qEnvironmentVariable("VIREO_SCREENSHOTS");
    if (!folder.isEmpty())
        m_window->grabWindow().save(folder + u'/' + QLatin1StringView(name) + u".png"_s);
}

bool TestContentView::playerAreaHasPicture()
{
    auto *area = find("playerArea");
    const QImage image = m_window->grabWindow();
    const QRectF r = area->mapRectToScene(QRectF(0, 0, area->width(), area->height() * 0.7));
    int coloured = 0;
    for (int y = int(r.top()) + 10; y < r.bottom() - 10; y += 8)
        for (int x = int(r.left()) + 10; x < r.right() - 10; x += 8)
            coloured += qGray(image.pixel(x, y)) > 40;
    return coloured > 50;
}

void TestContentView::buttons_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("retry");
    QTest::addColumn<bool>("browser");
    QTest::newRow("empty") << QString() << false << false;
    QTest::newRow("spaces only") << u"   "_s << true << false;
    QTest::newRow("valid link") << u"https://youtu.be/dQw4w9WgXcQ"_s << true << true;
}

void TestContentView::buttons()
{
    QFETCH(QString, text);
    QFETCH(bool, retry);
    QFETCH(bool, browser);
    auto m = model();
    m->setUrlText(QString());
    QVERIFY(show(m));
    find("linkField")->forceActiveFocus();
    for (const QChar c : std::as_const(text))
        QTest::keyClick(m_window, c.toLatin1());
    QCOMPARE(m->urlText(), text); // each keystroke is written through
    QVERIFY(find("playButton")->isEnabled());
    QCOMPARE(find("retryButton")->isEnabled(), retry);
    QCOMPARE(find("browserButton")->isEnabled(), browser);
    if (text.isEmpty())
        snap("new-window");
}

void TestContentView::returnPlaysAndShowsInvalidLink()
{
    auto m = model();
    m->setUrlText(u"not a video"_s);
    QVERIFY(show(m));
    find("linkField")->forceActiveFocus();
    QTest::keyClick(m_window, Qt::Key_Return);
    QVERIFY(shown("errorText"));
    QCOMPARE(text("errorText"), PlayerModel::invalidLinkMessage());
    QVERIFY(!shown("progressOverlay"));
    QCOMPARE(text("statusText"), u"Ready"_s);
    snap("invalid-link");

    click("retryButton");
    QCOMPARE(text("errorText"), PlayerModel::invalidLinkMessage());
}

void TestContentView::searchShowsOverlayAndRows()
{
    m_standIns.answer(u"one"_s, u"/silent.mp4"_s, false, "\"A title\"");
    auto m = model();
    m->setUrlText(u"https://youtu.be/dQw4w9WgXcQ"_s);
    QVERIFY(show(m));
    QVERIFY(!shown("titleText") && !shown("channelText"));
    const qreal statusY = find("statusText")->y();
    click("playButton");
    QVERIFY(shown("progressOverlay"));
    QTRY_COMPARE_WITH_TIMEOUT(text("overlayStatus"), u"Trying one…"_s, 5000);
    QCOMPARE(text("statusText"), u"Trying one…"_s);
    QTRY_VERIFY(shown("titleText") && shown("channelText"));
    QCOMPARE(text("titleText"), u"A title"_s);
    QCOMPARE(text("channelText"), u"Channel"_s);
    snap("searching");

    // A new request clears the rows, and they leave no gap.
    m->setUrlText(QString());
    click("playButton");
    QTRY_VERIFY(!shown("titleText") && !shown("channelText"));
    QTRY_COMPARE(find("statusText")->y(), statusY);
}

void TestContentView::serverTextIsPlain()
{
    const QByteArray hostile = R"("<img src=\"http://127.0.0.1:)" + QByteArray::number(m_standIns.server().port()) + R"(/x\"><b>bold</b>")";
    m_standIns.answer(u"one"_s, u"/silent.mp4"_s, false, hostile);
    auto m = model();
    m->setUrlText(u"https://youtu.be/dQw4w9WgXcQ"_s);
    QVERIFY(show(m));
    click("playButton");
    QTRY_VERIFY_WITH_TIMEOUT(shown("titleText"), 5000);
    QVERIFY(text("titleText").startsWith(u"<img src=\"http://127.0.0.1:"_s));
    QCOMPARE(find("titleText")->property("textFormat").toInt(), int(Qt::PlainText));
    QTest::qWait(300);
    QCOMPARE(m_standIns.server().requestCount(u"/x"_s), 0);
}

void TestContentView::nativeStreamReachesSurface()
{
    m_standIns.answer(u"one"_s, u"/clip.mp4"_s);
    auto m = model();
    m->setUrlText(u"https://youtu.be/dQw4w9WgXcQ"_s);
    QVERIFY(show(m));
    click("playButton");
    QTRY_COMPARE_WITH_TIMEOUT(text("statusText"), u"Playing from one"_s, 10000);
    QVERIFY(!shown("progressOverlay"));
    QTRY_VERIFY_WITH_TIMEOUT(playerAreaHasPicture(), 5000);
    snap("native-playing");

    // Space pauses once the field has let go of the focus; Ctrl+L takes it back.
    find("playButton")->forceActiveFocus();
    QTest::keyClick(m_window, Qt::Key_Space);
    QTRY_COMPARE(m->player()->mediaPlayer()->playbackState(), QMediaPlayer::PausedState);
    QTest::keyClick(m_window, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(find("linkField")->hasActiveFocus());
    QTest::keyClick(m_window, Qt::Key_Space); // typed into the field, not a play toggle
    QCOMPARE(m->player()->mediaPlayer()->playbackState(), QMediaPlayer::PausedState);
}

void TestContentView::embedLoadsOnceAndPlays()
{
    m_standIns.fail(u"one"_s);
    m_standIns.fail(u"two"_s, 404);
    auto m = model();
    m->setUrlText(u"https://youtu.be/dQw4w9WgXcQ"_s);
    QVERIFY(show(m));
    click("playButton");
    QTRY_VERIFY_WITH_TIMEOUT(find("embedView"), 10000);
    QSignalSpy results(find("embedView"), SIGNAL(result(bool)));
    snap("embed-attempt");
    // The page's iframe host resolves nowhere here, and the main page still finishes.
    QTRY_COMPARE_WITH_TIMEOUT(text("statusText"), u"Playing from YouTube embed"_s, 10000);
    QVERIFY(!shown("progressOverlay"));
    QTest::qWait(1000);
    QCOMPARE(results.size(), 1); // one page, loaded once
    QCOMPARE(results.first().first().toBool(), true);
}

void TestContentView::everySourceFailed()
{
    m_standIns.fail(u"one"_s);
    m_standIns.answer(u"two"_s, u"/missing.mp4"_s);
    auto m = model();
    m->setUrlText(u"https://youtu.be/dQw4w9WgXcQ"_s);
    QVERIFY(show(m));
    click("playButton");
    QTRY_VERIFY_WITH_TIMEOUT(find("embedView"), 10000);
    m->embedResult(false); // as a page that failed to load would report
    QTRY_VERIFY(!find("embedView"));
    QVERIFY(shown("errorText"));
    QCOMPARE(text("errorText"), PlayerModel::failureMessage());
    QVERIFY(!shown("progressOverlay"));
    QCOMPARE(text("statusText"), u"Ready"_s);
    QVERIFY(shown("titleText")); // the instance that answered gave it
    snap("failed");
}

void TestContentView::openInBrowser()
{
    auto m = model();
    m->setUrlText(u"youtu.be/AAAAAAAAAAA"_s);
    QVERIFY(show(m));
    click("browserButton");
    QCOMPARE(opened, QList<QUrl>{QUrl(u"https://www.youtube.com/watch?v=AAAAAAAAAAA"_s)});

    // Once a video plays, the button opens that video on its instance, whatever the field says.
    m_standIns.answer(u"one"_s, u"/clip.mp4"_s);
    m->setUrlText(u"https://youtu.be/dQw4w9WgXcQ"_s);
    click("playButton");
    QTRY_COMPARE_WITH_TIMEOUT(m->modeKind(), PlayerModel::Native, 10000);
    m->setUrlText(u"youtu.be/BBBBBBBBBBB"_s);
    click("browserButton");
    QCOMPARE(opened.last(), QUrl(m_standIns.base(u"one"_s) + u"/watch?v=dQw4w9WgXcQ"_s));
}

void TestContentView::embedPage()
{
    const QStringList lines = vireo::embedPage(u"a-B_c9-Z_x0"_s).split(u'\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], u"<!doctype html><html><head><meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"_s);
    QCOMPARE(lines[2], u"<body><iframe src=\"https://www.youtube.com/embed/a-B_c9-Z_x0?autoplay=1&playsinline=1&rel=0\""_s);
    QVERIFY(lines[3].startsWith(u"allow=\"autoplay; encrypted-media; picture-in-picture; fullscreen\" allowfullscreen>"_s));
    QVERIFY(lines[3].endsWith(u"</html>"_s));
}

void TestContentView::windowsHaveTheirOwnModels()
{
    VireoApp app;
    auto *first = app.newWindow();
    QVERIFY(first);
    first->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(first));
    QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(app.windowCount(), 2);
    const auto windows = QGuiApplication::topLevelWindows();
    QSet<QObject *> models;
    for (QWindow *w : windows)
        if (auto *model = w->property("model").value<QObject *>())
            models.insert(model);
    QCOMPARE(models.size(), 2);
    QTest::keyClick(first, Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(app.windowCount(), 1);
}

void TestContentView::closingMidRequestIsSafe_data()
{
    QTest::addColumn<QString>("media");
    QTest::addColumn<bool>("embed");
    QTest::newRow("during the readiness wait") << u"/silent.mp4"_s << false;
    QTest::newRow("during playback") << u"/clip.mp4"_s << false;
    QTest::newRow("during the embed wait") << QString() << true;
}

void TestContentView::closingMidRequestIsSafe()
{
    QFETCH(QString, media);
    QFETCH(bool, embed);
    if (embed) {
        m_standIns.fail(u"one"_s);
        m_standIns.fail(u"two"_s);
    } else {
        m_standIns.answer(u"one"_s, media);
    }
    QSettings(u"Vireo"_s, u"Vireo"_s).setValue(u"lastURL"_s, u"https://youtu.be/dQw4w9WgXcQ"_s);
    VireoApp app;
    auto *window = app.newWindow();
    window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QPointer<QObject> model = window->property("model").value<QObject *>();
    QTest::keyClick(window, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(m_standIns.server().requestCount(embed ? u"/two/api/v1/videos/dQw4w9WgXcQ"_s : media) > 0, 10000);
    QTest::qWait(300);
    window->close();
    QCOMPARE(app.windowCount(), 0);
    // The request winds down on its own; the model and any player go with it.
    QTRY_VERIFY_WITH_TIMEOUT(model.isNull(), 15000);
}

int main(int argc, char *argv[])
{
    // The embed page's frame points at the real service; nothing here may reach it.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1\"");
    QtWebEngineQuick::initialize();
    QGuiApplication app(argc, argv);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    TestContentView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_contentview.moc"
