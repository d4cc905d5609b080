// SPDX-License-Identifier: MIT
#include "videoview.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLExtraFunctions>
#include <QRunnable>
#include <QQuickOpenGLUtils>
#include <QQuickWindow>
#include <mpv/render_gl.h>
#include <vector>

namespace vireo {
namespace {

void *procAddress(void *, const char *name)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void *>(context->getProcAddress(name)) : nullptr;
}

// From mpv's threads: the player's view is asked to render on the player's own thread.
void onUpdate(void *player)
{
    QMetaObject::invokeMethod(static_cast<MediaPlayer *>(player), "frameReady", Qt::QueuedConnection);
}

} // namespace

class VideoRenderer : public QObject
{
    struct Drawing {
        MediaPlayer *player; // lives until told that its context is freed
        mpv_render_context *context;
        bool pictured = false;
        bool seeking = false;
        bool warming = false;
    };

public:
    ~VideoRenderer() override
    {
        for (const Drawing &drawing : m_drawings)
            release(drawing);
    }

    // The window's thread waits meanwhile, so the view and its players may be read (and their views'
    // contexts recorded on them) here.
    void synchronize(VideoView *view)
    {
        std::erase_if(m_drawings, [](const Drawing &drawing) {
            if (!drawing.player->releasable())
                return false;
            release(drawing);
            return true;
        });
        for (MediaPlayer *player : {view->spare(), view->candidate(), view->player()}) {
            if (player && player->drawable()
                && std::none_of(m_drawings.begin(), m_drawings.end(), [player](const Drawing &d) { return d.player == player; }))
                adopt(player);
        }
        if (m_pictured && !std::exchange(m_told, true))
            QMetaObject::invokeMethod(view, &VideoView::pictureShown, Qt::QueuedConnection);
        MediaPlayer *player = view->player();
        if (player != m_current) {
            m_current = player;
            if (!player || !player->continuing())
                m_blank = true;
        }
        for (Drawing &drawing : m_drawings) {
            drawing.seeking = drawing.player->seeking();
            // A spare loaded with a video: its pictures from here on are the video's.
            if (std::exchange(drawing.warming, drawing.player->warming()) && !drawing.warming)
                drawing.pictured = false;
        }
        m_pending = std::exchange(view->m_renderPending, false) || m_pending;
        QQuickWindow *window = view->window();
        const QRectF rect = view->mapRectToScene(view->boundingRect());
        const qreal ratio = window->effectiveDevicePixelRatio();
        m_shown = view->isVisible() && !rect.isEmpty();
        m_place = QRectF(rect.topLeft() * ratio, rect.size() * ratio).toAlignedRect();
        if (!m_target || m_target->size() != m_place.size())
            m_pending = true;
        m_windowHeight = qRound(window->height() * ratio);
    }

    // Before the window's frame: the players' new pictures into the view's own.
    void render(QQuickWindow *window)
    {
        const bool shown = m_shown && std::exchange(m_pending, false);
        const bool warming = std::any_of(m_drawings.begin(), m_drawings.end(), [](const Drawing &d) { return d.warming && !d.pictured; });
        if (!shown && !warming)
            return;
        window->beginExternalCommands();
        // The scene's state of its last frame (culling, depth, blending) is not mpv's to draw with.
        QQuickOpenGLUtils::resetOpenGLState();
        for (Drawing &drawing : m_drawings) {
            if (drawing.warming && !drawing.pictured)
                warm(drawing);
        }
        if (shown)
            draw(window);
        // mpv leaves its own drawing state behind.
        QQuickOpenGLUtils::resetOpenGLState();
        window->endExternalCommands();
    }

    // As the window's frame begins, before any item of the scene: a plain copy of the view's picture.
    void paint(QQuickWindow *window)
    {
        if (!m_shown || !m_target)
            return;
        window->beginExternalCommands();
        copy();
        window->endExternalCommands();
    }

private:
    void draw(QQuickWindow *window)
    {
        if (!m_target || m_target->size() != m_place.size()) {
            m_target = framebuffer(m_place.size());
            m_blank = true;
        }
        for (Drawing &drawing : m_drawings) {
            const bool fresh = mpv_render_context_update(drawing.context) & MPV_RENDER_UPDATE_FRAME;
            drawing.pictured = drawing.pictured || fresh;
            mpv_opengl_fbo fbo{int(m_target->handle()), m_target->width(), m_target->height(), 0};
            // Upside down, as the copy into the window turns it over (see framebuffer()).
            int flip = 0;
            // Pictures of players not on screen, or on their way to a seek's, are taken and dropped, or
            // their cores wait for them.
            int skip = drawing.player != m_current || !drawing.pictured || drawing.seeking;
            if (skip && !fresh)
                continue;
            mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                         {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                         {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                         {MPV_RENDER_PARAM_INVALID, nullptr}};
            mpv_render_context_render(drawing.context, params);
            if (!skip)
                m_blank = false;
            // On screen with this frame; the next synchronisation says so.
            if (!skip && !std::exchange(m_pictured, true))
                QMetaObject::invokeMethod(window, qOverload<>(&QQuickWindow::update), Qt::QueuedConnection);
        }
        if (m_blank) {
            m_target->bind();
            QOpenGLFunctions *gl = QOpenGLContext::currentContext()->functions();
            gl->glClearColor(0, 0, 0, 1);
            gl->glClear(GL_COLOR_BUFFER_BIT);
            m_blank = false;
        }
    }

    // A spare's picture of nothing, drawn where nobody sees it, as the view's own would be: the
    // renderer builds the programs for that layout of pictures now, which where drawing is done in
    // software takes longer than all else between a video's first picture and the screen.
    void warm(Drawing &drawing)
    {
        if (!(mpv_render_context_update(drawing.context) & MPV_RENDER_UPDATE_FRAME))
            return;
        if (!m_scratch)
            m_scratch = framebuffer(QSize(96, 54));
        mpv_opengl_fbo fbo{int(m_scratch->handle()), m_scratch->width(), m_scratch->height(), 0};
        int flip = 0;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo}, {MPV_RENDER_PARAM_FLIP_Y, &flip},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(drawing.context, params);
        drawing.pictured = true;
    }

    // Laid out as a window's framebuffer usually is in memory, BGRA with its rows from the top, so that
    // software GL copies it into the window row by row; any other layout costs a shader pass over
    // every pixel of every frame.
    static std::unique_ptr<QOpenGLFramebufferObject> framebuffer(QSize size)
    {
        auto target = std::make_unique<QOpenGLFramebufferObject>(size);
        QOpenGLContext *context = QOpenGLContext::currentContext();
        if (!context->isOpenGLES()) {
            QOpenGLFunctions *gl = context->functions();
            gl->glBindTexture(GL_TEXTURE_2D, target->texture());
            gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size.width(), size.height(), 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
            gl->glBindTexture(GL_TEXTURE_2D, 0);
        }
        return target;
    }

    // Into the window at the view's place, turned over: mpv drew it upside down, which in memory is
    // the window's own order of rows.
    void copy() const
    {
        QOpenGLExtraFunctions *gl = QOpenGLContext::currentContext()->extraFunctions();
        GLint drawn = 0;
        gl->glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
        gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, m_target->handle());
        gl->glDisable(GL_SCISSOR_TEST);
        const int bottom = m_windowHeight - m_place.y() - m_place.height();
        gl->glBlitFramebuffer(0, 0, m_place.width(), m_place.height(), m_place.x(), bottom + m_place.height(),
                              m_place.x() + m_place.width(), bottom, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        gl->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(drawn));
    }

    void adopt(MediaPlayer *player)
    {
        mpv_opengl_init_params init{procAddress, nullptr};
        mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
                                     {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context *context = nullptr;
        if (mpv_render_context_create(&context, player->handle(), params) < 0)
            return;
        mpv_render_context_set_update_callback(context, onUpdate, player);
        player->adoptedByView();
        m_drawings.push_back({player, context});
        QMetaObject::invokeMethod(player, "viewContextMade", Qt::QueuedConnection);
    }

    static void release(const Drawing &drawing)
    {
        // A core that handed over a picture waits up to 0.2 s for it to be drawn before it lets go of
        // the output that freeing asks it to close: it is taken, unseen, first.
        mpv_render_context_set_update_callback(drawing.context, nullptr, nullptr);
        if (mpv_render_context_update(drawing.context) & MPV_RENDER_UPDATE_FRAME) {
            int skip = 1;
            mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip}, {MPV_RENDER_PARAM_INVALID, nullptr}};
            mpv_render_context_render(drawing.context, params);
        }
        mpv_render_context_free(drawing.context);
        QMetaObject::invokeMethod(drawing.player, "viewContextFreed", Qt::QueuedConnection);
    }

    std::vector<Drawing> m_drawings;
    MediaPlayer *m_current = nullptr;
    std::unique_ptr<QOpenGLFramebufferObject> m_target;
    std::unique_ptr<QOpenGLFramebufferObject> m_scratch; // a spare's pictures
    QRect m_place; // in the window's pixels
    int m_windowHeight = 0;
    bool m_shown = false;
    bool m_pictured = false; // a picture has been drawn
    bool m_told = false;
    bool m_pending = true;
    bool m_blank = true;
};

VideoView::VideoView(QQuickItem *parent)
    : QQuickItem(parent)
{
    connect(this, &QQuickItem::windowChanged, this, [this](QQuickWindow *window) {
        if (m_window)
            disconnect(m_window, nullptr, this, nullptr);
        m_window = window;
        if (!window)
            return;
        connect(window, &QQuickWindow::beforeSynchronizing, this, &VideoView::synchronize, Qt::DirectConnection);
        connect(window, &QQuickWindow::sceneGraphInvalidated, this, &VideoView::cleanup, Qt::DirectConnection);
    });
}

void VideoView::synchronize()
{
    QQuickWindow *window = this->window();
    if (!m_renderer) {
        m_renderer = new VideoRenderer;
        connect(window, &QQuickWindow::beforeRendering, m_renderer, [renderer = m_renderer, window] { renderer->render(window); },
                Qt::DirectConnection);
        connect(window, &QQuickWindow::beforeRenderPassRecording, m_renderer,
                [renderer = m_renderer, window] { renderer->paint(window); }, Qt::DirectConnection);
    }
    m_renderer->synchronize(this);
}

void VideoView::cleanup()
{
    delete std::exchange(m_renderer, nullptr);
}

void VideoView::releaseResources()
{
    // Freed on the render thread, where its drawing contexts live.
    if (m_renderer)
        window()->scheduleRenderJob(QRunnable::create([renderer = std::exchange(m_renderer, nullptr)] { delete renderer; }),
                                    QQuickWindow::BeforeSynchronizingStage);
}

void VideoView::requestRender()
{
    m_renderPending = true;
    if (window())
        window()->update();
}

void VideoView::setPlayer(MediaPlayer *player)
{
    if (m_player == player)
        return;
    m_player = player;
    give(player);
    Q_EMIT playerChanged();
}

void VideoView::setSpare(MediaPlayer *player)
{
    if (m_spare == player)
        return;
    m_spare = player;
    give(player);
    Q_EMIT spareChanged();
}

void VideoView::setCandidate(MediaPlayer *player)
{
    if (m_candidate == player)
        return;
    m_candidate = player;
    // A window that isn't on screen doesn't draw, and mustn't hold the candidate back.
    if (player && window() && window()->isExposed())
        player->awaitView();
    give(player);
    Q_EMIT candidateChanged();
}

void VideoView::give(MediaPlayer *player)
{
    // Kept after it leaves: a dropped player's context is freed by the renderer, once it may be.
    if (player && !m_given.contains(player)) {
        m_given.removeAll(nullptr);
        m_given.append(player);
        connect(player, &MediaPlayer::frameReady, this, [this] {
            requestRender();
            if (!holdsPictures())
                Q_EMIT picturesReleased();
        });
    }
    requestRender();
}

bool VideoView::holdsPictures() const
{
    return std::any_of(m_given.begin(), m_given.end(), [](const QPointer<MediaPlayer> &p) { return p && p->shownByView(); });
}

} // namespace vireo
