// SPDX-License-Identifier: MIT
// Window figures under Xvfb.
//   bench_window minimal | bare | vireo : prints the wall clock (ms since the epoch) and the resident
//       memory (kB) at the first frame, then exits; bench/run times the start from outside. "bare" is
//       the window of "floor" below.
//   bench_window stalls : the longest main-thread stall in each moment where a player or a view is
//       made or dropped, one line each, "stall <scenario> <ms>": the window's first second on screen,
//       the two after it (where an idle window makes its controls and its spare player), a request
//       into that spare, switching away from a playing or a paused video, an invalid link while one plays,
//       closing a playing window, dropping a candidate after its time-out or after an error.
//   bench_window quit : two windows play and both are closed; prints the longest stall until the
//       event loop ends and the time from there to the end of main(), "stall quit <ms> <ms>".
//   bench_window floor : the floor of this toolkit, the first second of a bare Qt Quick window with a
//       text field and the product's graphics set-up, "stall floor-first-second <ms>".
//   bench_window underlay [VIDEO [AUDIO]] : the floor of showing mpv's pictures in a Qt Quick window,
//       the bare window with each picture drawn by mpv straight into its framebuffer under the text
//       field; plays VIDEO, loading from before the window is made, then each link entered in the
//       field, until killed, as bench/run and bench_firstframe measure it from outside.
// VIREO_BENCH_TRACE=1 prints every stall over 20 ms as it happens, and the status texts.
#include "playback/playermodel.h"
#include "barecore.h"
#include "standins.h"
#include "startup.h"
#include "vireoapp.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickOpenGLUtils>
#include <QQuickWindow>
#include <QSysInfo>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <QHash>
#include <QtQml/qqmlextensionplugin.h>
#include <mpv/client.h>
#include <mpv/render_gl.h>

Q_IMPORT_QML_PLUGIN(VireoPlugin)

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vireo;

namespace {

const bool Trace = qEnvironmentVariableIsSet("VIREO_BENCH_TRACE");

// Decoding threads of a core with output, as Vireo's players have them.
QByteArray cores()
{
    return QByteArray::number(QThread::idealThreadCount());
}

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

// Whether none of the window's content is still being made: a window may make some once it shows.
bool complete(QQuickWindow *window)
{
    const auto items = window->findChildren<QQuickItem *>();
    return std::none_of(items.begin(), items.end(), [](const QQuickItem *item) {
        return item->inherits("QQuickLoader") && item->property("status").toInt() == 2; // Loader.Loading
    });
}

// The first frame that shows the whole window.
void reportFirstFrame(QQuickWindow *window)
{
    // Looked at as the frame is synchronised, while the window's thread waits.
    enum { Partial, Whole, Reported };
    auto seen = std::make_shared<std::atomic_int>(Partial);
    QObject::connect(window, &QQuickWindow::afterSynchronizing, window, [window, seen] {
        if (*seen == Partial && complete(window))
            *seen = Whole;
    }, Qt::DirectConnection);
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [seen] {
        int whole = Whole;
        if (!seen->compare_exchange_strong(whole, Reported))
            return;
        QTextStream(stdout) << QDateTime::currentMSecsSinceEpoch() << ' ' << residentKb() << Qt::endl;
        QCoreApplication::exit(0);
    });
}

// A timer that should fire every 2 ms on the main thread: the longest wait between two firings is
// the longest time the event loop did not run.
class Probe
{
public:
    Probe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 gap = m_clock.restart();
            if (Trace && gap > 20)
                qInfo("%lld: stall of %lld ms", QDateTime::currentMSecsSinceEpoch(), gap);
            m_longest = std::max(m_longest, gap);
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_timer.start();
    }
    qint64 stop()
    {
        m_timer.stop();
        return std::max(m_longest, m_clock.elapsed());
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

template<typename Condition>
void await(Condition condition)
{
    if (!QTest::qWaitFor(condition, 15000)) {
        QTextStream(stderr) << "bench_window: the stand-in clip did not play\n";
        std::exit(1);
    }
}

// Measures `action` and what follows it for `settle`.
template<typename Action>
void measure(const char *scenario, Action action, std::chrono::milliseconds settle = 1500ms)
{
    Probe probe;
    probe.start();
    action();
    QTest::qWait(int(settle.count()));
    QTextStream(stdout) << "stall " << scenario << ' ' << probe.stop() << Qt::endl;
}

struct Stage {
    const QString outerCache = qEnvironmentVariable("XDG_CACHE_HOME", QDir::homePath() + u"/.cache"_s);
    test::TestServer server;
    test::Home home;
    VireoApp windows{PlayerModel::Timing{2s, 12s, QUrl(test::refused())}};

    Stage()
    {
        // The driver's and the toolkit's shader caches stay warm from run to run, as a user's do from
        // start to start and as the floor's do: a fresh home would compile every shader again.
        for (const QString &name : {u"mesa_shader_cache"_s, u"qtshadercache-"_s + QSysInfo::buildAbi()}) {
            QDir().mkpath(outerCache + u'/' + name);
            QDir().mkpath(home.cache());
            QFile::link(outerCache + u'/' + name, home.cache() + u'/' + name);
        }
        server.answer(u"clip"_s, u"/clip.mp4"_s);
        server.answer(u"silent"_s, u"/silent.mp4"_s);
        server.answer(u"missing"_s, u"/missing.mp4"_s);
    }
    // A window whose requests ask these stand-ins, best first.
    QQuickWindow *window(const QStringList &instances)
    {
        home.instances(server, instances);
        QQuickWindow *window = windows.newWindow();
        if (Trace)
            QObject::connect(model(window), &PlayerModel::statusChanged, [](const QString &status) {
                qInfo("%lld: %s", QDateTime::currentMSecsSinceEpoch() % 100000, qPrintable(status));
            });
        return window;
    }
    static PlayerModel *model(QQuickWindow *window) { return window->property("model").value<PlayerModel *>(); }
    static bool playing(PlayerModel *model)
    {
        return model->player() && model->player()->playing();
    }
    static void play(PlayerModel *model)
    {
        model->setUrlText(test::Id);
        model->play();
        await([&] { return playing(model); });
        QTest::qWait(500); // well into the clip
    }
};

int stalls()
{
    Stage stage;
    QQuickWindow *first = nullptr;
    measure("first-second", [&] { first = stage.window({u"clip"_s}); }, 1000ms);
    PlayerModel *model = Stage::model(first);
    measure("idle-spare", [&] {}, 2000ms);
    measure("request", [&] { Stage::play(model); });
    measure("switch-playing", [&] { model->play(); });
    await([&] { return Stage::playing(model); });
    model->player()->pause();
    QTest::qWait(300);
    measure("switch-paused", [&] { model->play(); });
    await([&] { return Stage::playing(model); });
    QTest::qWait(500);
    model->setUrlText(u"not a link"_s);
    measure("invalid-link", [&] { model->play(); });

    // The first window goes while a second one stays on screen.
    QQuickWindow *second = stage.window({u"clip"_s});
    QTest::qWait(1000);
    Stage::play(model);
    measure("close-window", [&] { first->close(); });

    model = Stage::model(second);
    stage.home.instances(stage.server, {u"silent"_s, u"clip"_s});
    model->setUrlText(test::Id);
    measure("drop-after-timeout", [&] { model->play(); }, 5000ms);
    stage.home.instances(stage.server, {u"missing"_s, u"clip"_s});
    measure("drop-after-error", [&] { model->play(); }, 2000ms);
    return 0;
}

constexpr char BareWindow[] = R"(
import QtQuick
import QtQuick.Controls
ApplicationWindow {
    width: 960
    height: 640
    visible: true
    title: "Underlay"
    TextField { id: field; objectName: "field"; width: parent.width; focus: true }
    Shortcut { sequence: "Ctrl+L"; onActivated: field.selectAll() }
}
)";

int floorStalls()
{
    QQmlApplicationEngine engine;
    measure("floor-first-second", [&] { engine.loadData(BareWindow); }, 1000ms);
    return 0;
}

// Nothing of the product's: mpv's pictures drawn the simplest way a Qt Quick window allows, straight
// into its framebuffer under the text field. Each link, the command line's and then each one entered
// in the field, is a new core that loads paused beside the one on screen and takes its place at its
// first picture, as the product's candidates do; any other text clears the picture. The command
// line's begins to load before the window is made, with no output until the window can draw it, as
// the product's link does.
class Underlay : public QObject
{
public:
    explicit Underlay(QByteArray audio)
        : m_audio(std::move(audio))
    {
        MediaPlayer::prepare(); // LC_NUMERIC
    }

    void show(QQuickWindow *window)
    {
        m_window = window;
        connect(window, &QQuickWindow::beforeSynchronizing, this, &Underlay::synchronize, Qt::DirectConnection);
        connect(window, &QQuickWindow::beforeRenderPassRecording, this, &Underlay::render, Qt::DirectConnection);
        QObject *field = window->findChild<QObject *>(u"field"_s);
        connect(field, SIGNAL(accepted()), this, SLOT(entered()));
    }

    void play(const QByteArray &url)
    {
        drop(std::exchange(m_candidate, nullptr));
        if (!url.startsWith("http")) {
            drop(std::exchange(m_current, nullptr));
            return;
        }
        m_candidate = mpv_create();
        const bool early = !m_window;
        mpv_set_option_string(m_candidate, "vo", early ? "null" : "libmpv");
        mpv_set_option_string(m_candidate, "vd-lavc-threads", early ? "1" : cores().constData());
        for (const auto &[name, value] : {std::pair{"config", "no"}, {"ytdl", "no"}, {"hwdec", "no"},
                                          {"osc", "no"}, {"load-stats-overlay", "no"}, {"load-osd-console", "no"},
                                          {"load-auto-profiles", "no"}, {"osd-level", "0"}, {"osd-font-provider", "none"},
                                          {"pause", "yes"}, {"keep-open", "yes"}, {"video-timing-offset", "0"},
                                          {"pulse-buffer", "50"}, {"audio-buffer", "0.05"}})
            mpv_set_option_string(m_candidate, name, value);
        if (!m_audio.isEmpty())
            addSoundStream(m_candidate, m_audio);
        mpv_initialize(m_candidate);
        mpv_set_wakeup_callback(m_candidate, [](void *self) {
            QMetaObject::invokeMethod(static_cast<Underlay *>(self), &Underlay::drain, Qt::QueuedConnection);
        }, this);
        m_url = url;
        if (early) {
            const char *load[] = {"loadfile", m_url.constData(), nullptr};
            mpv_command_async(m_candidate, 0, load);
            m_early = m_candidate;
        } else {
            m_window->update(); // its drawing context is made as the next frame is synchronised
        }
    }

private:
    Q_OBJECT

    Q_SLOT void entered() { play(m_window->findChild<QObject *>(u"field"_s)->property("text").toString().toUtf8()); }

    void drain()
    {
        for (mpv_handle *mpv : {m_candidate, m_current}) {
            while (mpv) {
                const mpv_event *event = mpv_wait_event(mpv, 0);
                if (event->event_id == MPV_EVENT_NONE)
                    break;
                if (event->event_id == MPV_EVENT_PLAYBACK_RESTART && mpv == m_candidate && mpv != m_early) {
                    drop(std::exchange(m_current, std::exchange(m_candidate, nullptr)));
                    mpv_set_property_string(m_current, "pause", "no");
                    m_window->update();
                    break; // the candidate's queue is now the current one's
                }
            }
        }
    }

    // The engine lets go of a core's output first, then of its drawing context, then of its threads.
    void drop(mpv_handle *mpv)
    {
        if (!mpv)
            return;
        mpv_set_wakeup_callback(mpv, nullptr, nullptr);
        const char *noVideo[] = {"set", "vid", "no", nullptr};
        mpv_command_async(mpv, 0, noVideo);
        QTimer::singleShot(300ms, this, [this, mpv] {
            m_dropped.push_back(mpv);
            m_window->update();
        });
    }

    // On the render thread while the window's thread waits.
    void synchronize()
    {
        for (mpv_handle *mpv : std::exchange(m_dropped, {})) {
            if (mpv_render_context *context = m_contexts.take(mpv))
                mpv_render_context_free(context);
            std::thread([mpv] { mpv_terminate_destroy(mpv); }).detach();
        }
        if (m_candidate && !m_contexts.contains(m_candidate)) {
            mpv_opengl_init_params init{[](void *, const char *name) {
                return reinterpret_cast<void *>(QOpenGLContext::currentContext()->getProcAddress(name));
            }, nullptr};
            mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
                                         {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
                                         {MPV_RENDER_PARAM_INVALID, nullptr}};
            mpv_render_context *context = nullptr;
            mpv_render_context_create(&context, m_candidate, params);
            mpv_render_context_set_update_callback(context, [](void *w) {
                QMetaObject::invokeMethod(static_cast<QQuickWindow *>(w), &QQuickWindow::update, Qt::QueuedConnection);
            }, m_window);
            m_contexts.insert(m_candidate, context);
            if (std::exchange(m_early, nullptr) == m_candidate) {
                // Its output from here on, and the picture and sound afresh from where it is.
                const char *output[] = {"set", "vo", "libmpv", nullptr};
                const QByteArray threadCount = cores();
                const char *threads[] = {"set", "vd-lavc-threads", threadCount.constData(), nullptr};
                const char *seek[] = {"seek", "0", "absolute+exact", nullptr};
                for (const char **command : {threads, output, seek})
                    mpv_command_async(m_candidate, 0, command);
            } else {
                const char *load[] = {"loadfile", m_url.constData(), nullptr};
                mpv_command_async(m_candidate, 0, load);
            }
        }
        m_shown = m_contexts.value(m_current);
        m_waiting = m_contexts.value(m_candidate);
    }

    void render()
    {
        if (!m_shown && !m_waiting)
            return;
        m_window->beginExternalCommands();
        QQuickOpenGLUtils::resetOpenGLState();
        GLint drawn = 0;
        QOpenGLContext::currentContext()->functions()->glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
        const QSize size = m_window->size() * m_window->effectiveDevicePixelRatio();
        mpv_opengl_fbo fbo{drawn, size.width(), size.height(), 0};
        int flip = 1;
        for (mpv_render_context *context : {m_waiting, m_shown}) {
            // A candidate's pictures are taken unseen, or its core waits for them.
            int skip = context == m_waiting;
            if (!context || (skip && !(mpv_render_context_update(context) & MPV_RENDER_UPDATE_FRAME)))
                continue;
            mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo}, {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                         {MPV_RENDER_PARAM_SKIP_RENDERING, &skip}, {MPV_RENDER_PARAM_INVALID, nullptr}};
            mpv_render_context_render(context, params);
        }
        QQuickOpenGLUtils::resetOpenGLState();
        m_window->endExternalCommands();
    }

    QQuickWindow *m_window = nullptr;
    const QByteArray m_audio;
    QByteArray m_url;
    mpv_handle *m_early = nullptr; // loading since before the window could draw it
    mpv_handle *m_current = nullptr;
    mpv_handle *m_candidate = nullptr;
    std::vector<mpv_handle *> m_dropped;
    // The render thread's own.
    QHash<mpv_handle *, mpv_render_context *> m_contexts;
    mpv_render_context *m_shown = nullptr;
    mpv_render_context *m_waiting = nullptr;
};

int underlay(const char *video, const char *audio)
{
    Underlay underlay(audio);
    if (video)
        underlay.play(video);
    QQmlApplicationEngine engine;
    engine.loadData(BareWindow);
    underlay.show(qobject_cast<QQuickWindow *>(engine.rootObjects().value(0)));
    return QGuiApplication::exec(); // killed from outside
}

int quit()
{
    auto *stage = new Stage; // lives until the end of main(), as the product's windows do
    Stage::play(Stage::model(stage->window({u"clip"_s})));
    Stage::play(Stage::model(stage->window({u"clip"_s})));
    Probe probe;
    QTimer::singleShot(0, [&] {
        probe.start();
        int i = 0;
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            QObject::connect(window, &QObject::destroyed, [] { qInfo("%lld: window destroyed", QDateTime::currentMSecsSinceEpoch()); });
            QTimer::singleShot(200 * i++, window, [window] { qInfo("%lld: closing %s", QDateTime::currentMSecsSinceEpoch(), qPrintable(window->title())); window->close(); });
        }
    });
    QGuiApplication::exec();
    const qint64 loop = probe.stop();
    QElapsedTimer teardown;
    teardown.start();
    delete stage;
    QTextStream(stdout) << "stall quit " << loop << ' ' << teardown.elapsed() << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "minimal" || mode == "bare") {
        if (mode == "bare")
            VireoApp::prepare();
        QGuiApplication app(argc, argv);
        QQmlApplicationEngine engine;
        engine.loadData(mode == "bare" ? QByteArray(BareWindow)
                                       : "import QtQuick\nWindow { width: 960; height: 640; visible: true; Rectangle { anchors.fill: parent; color: \"black\" } }");
        reportFirstFrame(qobject_cast<QQuickWindow *>(engine.rootObjects().value(0)));
        return app.exec();
    }
    if (mode == "floor") {
        VireoApp::prepare();
        QGuiApplication app(argc, argv);
        return floorStalls();
    }
    if (mode == "underlay") {
        VireoApp::prepare();
        QGuiApplication app(argc, argv);
        return underlay(argc > 2 ? argv[2] : nullptr, argc > 3 ? argv[3] : "");
    }
    if (mode != "vireo" && mode != "stalls" && mode != "quit") {
        QTextStream(stderr) << "usage: bench_window minimal|bare|vireo|stalls|quit|floor|underlay [VIDEO [AUDIO]]\n";
        return 2;
    }
    Startup startup(argc, argv);
    if (mode == "stalls")
        return stalls();
    if (mode == "quit")
        return quit();
    VireoApp windows;
    reportFirstFrame(windows.newWindow());
    return QGuiApplication::exec();
}

#include "bench_window.moc"
