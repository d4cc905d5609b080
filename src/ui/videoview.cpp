// SPDX-License-Identifier: MIT
#include "videoview.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
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

class VideoRenderer : public QQuickFramebufferObject::Renderer
{
public:
    ~VideoRenderer() override
    {
        for (const Drawing &drawing : m_drawings)
            release(drawing);
    }

    QOpenGLFramebufferObject *createFramebufferObject(const QSize &size) override
    {
        m_blank = true; // until the next picture is drawn into it
        return new QOpenGLFramebufferObject(size);
    }

    // The window's thread waits meanwhile, so the players may be read (and their views' contexts
    // recorded on them) here.
    void synchronize(QQuickFramebufferObject *item) override
    {
        std::erase_if(m_drawings, [](const Drawing &drawing) {
            if (!drawing.player->releasable())
                return false;
            release(drawing);
            return true;
        });
        const auto *view = static_cast<VideoView *>(item);
        for (MediaPlayer *player : {view->candidate(), view->player()}) {
            if (player && player->drawable()
                && std::none_of(m_drawings.begin(), m_drawings.end(), [player](const Drawing &d) { return d.player == player; }))
                adopt(player);
        }
        MediaPlayer *player = view->player();
        if (player != m_current) {
            m_current = player;
            if (!player || !player->continuing())
                m_blank = true;
        }
        for (Drawing &drawing : m_drawings)
            drawing.seeking = drawing.player->seeking();
    }

    void render() override
    {
        QOpenGLFramebufferObject *target = framebufferObject();
        for (Drawing &drawing : m_drawings) {
            const bool fresh = mpv_render_context_update(drawing.context) & MPV_RENDER_UPDATE_FRAME;
            drawing.pictured = drawing.pictured || fresh;
            mpv_opengl_fbo fbo{int(target->handle()), target->width(), target->height(), 0};
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
        }
        if (m_blank) {
            target->bind();
            QOpenGLFunctions *gl = QOpenGLContext::currentContext()->functions();
            gl->glClearColor(0, 0, 0, 1);
            gl->glClear(GL_COLOR_BUFFER_BIT);
            m_blank = false;
        }
        // mpv leaves its own drawing state behind.
        QQuickOpenGLUtils::resetOpenGLState();
    }

private:
    struct Drawing {
        MediaPlayer *player; // lives until told that its context is freed
        mpv_render_context *context;
        bool pictured = false;
        bool seeking = false;
    };

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
    bool m_blank = true;
};

} // namespace

VideoView::VideoView(QQuickItem *parent)
    : QQuickFramebufferObject(parent)
{
}

QQuickFramebufferObject::Renderer *VideoView::createRenderer() const
{
    return new VideoRenderer;
}

void VideoView::setPlayer(MediaPlayer *player)
{
    if (m_player == player)
        return;
    m_player = player;
    give(player);
    Q_EMIT playerChanged();
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
            update();
            if (!holdsPictures())
                Q_EMIT picturesReleased();
        });
    }
    update();
}

bool VideoView::holdsPictures() const
{
    return std::any_of(m_given.begin(), m_given.end(), [](const QPointer<MediaPlayer> &p) { return p && p->shownByView(); });
}

} // namespace vireo
