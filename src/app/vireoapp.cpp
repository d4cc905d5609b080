// SPDX-License-Identifier: MIT
#include "vireoapp.h"

#include "playback/mediaplayer.h"
#include "videoview.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQuickItem>
#include <QTimer>
#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo {
namespace {

// How long a window opened with a link waits for the link's stream to begin loading.
constexpr auto HeadStart = 150ms;

// What QML makes asynchronously (a window's content) is made a few milliseconds at a time between
// events, so that a new window shows at once and every window goes on drawing meanwhile.
class Incubation final : public QObject, public QQmlIncubationController
{
public:
    Incubation()
    {
        m_slices.setInterval(0);
        connect(&m_slices, &QTimer::timeout, this, [this] { incubateFor(5); });
    }

protected:
    void incubatingObjectCountChanged(int count) override
    {
        if (count > 0)
            m_slices.start();
        else
            m_slices.stop();
    }

private:
    QTimer m_slices;
};

} // namespace

VireoApp::VireoApp(const PlayerModel::Timing &timing)
    : m_timing(timing)
    , m_incubation(std::make_unique<Incubation>())
{
    m_engine.setIncubationController(m_incubation.get());
    // Quitting waits for dropped players to wind down (quitWhenQuiet).
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_engine.addImportPath(u"qrc:/qt/qml"_s);
}

void VireoApp::prepare()
{
#ifdef __GLIBC__
    // Before any thread: each of the many threads of each player's core would otherwise get an arena
    // of its own, and keep in it what its video freed. One arena for all: a second kept 4 MB more of
    // a 1080p video, and the threads seldom allocate at the same moment.
    mallopt(M_ARENA_MAX, 1);
#endif
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    // Hinted glyphs, as the desktop's other applications draw them: crisp at desktop sizes, and
    // cheaper than distance fields where drawing is done in software, frame after frame beside a video.
    QQuickWindow::setTextRenderType(QQuickWindow::NativeTextRendering);
}

VireoApp::~VireoApp()
{
    dropWaiting();
    for (const Window &w : m_windows) {
        w.model->cancel();
        delete w.window;
    }
}

QQuickWindow *VireoApp::newWindow()
{
    return makeWindow(PlayerModel::create(m_timing));
}

QQuickWindow *VireoApp::makeWindow(std::shared_ptr<PlayerModel> model)
{
    QQmlEngine::setObjectOwnership(model.get(), QQmlEngine::CppOwnership);
    QQmlComponent component(&m_engine, QUrl(u"qrc:/qt/qml/Vireo/Main.qml"_s), QQmlComponent::PreferSynchronous);
    if (!component.isReady()) {
        qWarning().noquote() << component.errorString();
        return nullptr;
    }
    auto *window = qobject_cast<QQuickWindow *>(
        component.createWithInitialProperties({{u"model"_s, QVariant::fromValue(model.get())}}));
    if (!window) {
        qWarning().noquote() << component.errorString();
        return nullptr;
    }
    PlayerModel *opened = model.get();
    m_windows.push_back({window, std::move(model)});
    // Signals declared in QML are reached by name.
    connect(window, SIGNAL(newWindowRequested()), this, SLOT(newWindow()));
    connect(window, SIGNAL(windowClosed()), this, SLOT(windowClosed()));
    Q_EMIT windowOpened(window, opened);
    return window;
}

void VireoApp::open(const QString &link)
{
    auto model = PlayerModel::create(m_timing);
    if (!link.isEmpty()) {
        model->setUrlText(link);
        model->play();
    }
    if (link.isEmpty() || !model->loading()) {
        present(std::move(model));
        return;
    }
    // The request goes first: once its stream loads, on threads of its own, the window loads here.
    // A slow instance holds the window up for a moment at most. Whichever comes first makes the
    // window; a model no longer waiting was made or dropped already.
    auto *headStart = new QTimer(this);
    headStart->setSingleShot(true);
    const auto made = [this, headStart, waiting = model.get()] {
        headStart->deleteLater();
        const auto it = std::find_if(m_waiting.begin(), m_waiting.end(), [&](const auto &m) { return m.get() == waiting; });
        if (it == m_waiting.end())
            return;
        auto ready = std::move(*it);
        m_waiting.erase(it);
        present(std::move(ready));
    };
    // Queued: the stream's load, asked for as it was made, begins before the window is built.
    connect(model.get(), &PlayerModel::loadingStream, headStart, made, Qt::QueuedConnection);
    connect(model.get(), &PlayerModel::loadingChanged, headStart, made);
    connect(headStart, &QTimer::timeout, headStart, made);
    m_waiting.push_back(std::move(model));
    headStart->start(HeadStart);
}

void VireoApp::present(std::shared_ptr<PlayerModel> model)
{
    QQuickWindow *window = makeWindow(std::move(model));
    if (!window) {
        Q_EMIT openFailed();
        return;
    }
    window->raise();
    window->requestActivate();
}

QQuickWindow *VireoApp::windowOf(const PlayerModel *model) const
{
    const auto it = std::find_if(m_windows.begin(), m_windows.end(), [&](const Window &w) { return w.model.get() == model; });
    return it != m_windows.end() ? it->window.data() : m_windows.empty() ? nullptr : m_windows.back().window.data();
}

void VireoApp::quit()
{
    dropWaiting();
    // The last window to close quits (windowClosed); with none open, nothing else would.
    if (m_windows.empty())
        quitWhenQuiet();
    for (const Window &w : std::vector(m_windows))
        w.window->close();
}

void VireoApp::dropWaiting()
{
    // As a closed window's: emptied first, so that nothing cancelling emits makes a window.
    for (const auto &model : std::exchange(m_waiting, {}))
        model->cancel();
}

void VireoApp::windowClosed()
{
    auto *window = qobject_cast<QQuickWindow *>(sender());
    const auto it = std::find_if(m_windows.begin(), m_windows.end(), [&](const Window &w) { return w.window == window; });
    if (it == m_windows.end())
        return;
    // The request may outlive the window, but it must neither play nor keep a player going.
    it->model->cancel();
    Q_EMIT windowClosing(it->model.get());
    // The window's hold ends with the window itself, so its bindings never see the model go first.
    connect(window, &QObject::destroyed, [hold = std::move(it->model)] {});
    m_windows.erase(it);
    // Deleting the window frees its view's drawing contexts; one whose core still shows a picture
    // would hold this thread up to 0.2 s. The window is hidden already and goes once its players let
    // go, which they do off this thread, or after a second at most.
    auto *view = window->findChild<VideoView *>();
    if (view && view->holdsPictures()) {
        connect(view, &VideoView::picturesReleased, window, &QObject::deleteLater);
        QTimer::singleShot(1s, window, &QObject::deleteLater);
    } else {
        window->deleteLater();
    }
    if (m_windows.empty())
        quitWhenQuiet();
}

void VireoApp::quitWhenQuiet(int attempts)
{
    // Dropped players wind down off this thread (MediaPlayer::retire), their pictures freed by their
    // views first; quitting first would tear them down at exit. A core still waiting on a silent
    // server is not waited for.
    if (MediaPlayer::liveCount() == 0 || attempts == 0)
        QCoreApplication::quit();
    else
        QTimer::singleShot(20ms, this, [this, attempts] { quitWhenQuiet(attempts - 1); });
}

} // namespace vireo
