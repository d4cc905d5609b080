// SPDX-License-Identifier: MIT
#pragma once

#include "playback/mediaplayer.h"

#include <QPointer>
#include <QQuickFramebufferObject>
#include <QtQml/qqml.h>

namespace vireo {

// Draws a player's pictures in the scene with mpv's OpenGL renderer, on the scene's render thread.
// One view serves every player of its window: a player it is given gets a drawing context there and
// decodes for it from then on; the picture stays until the next player has one of its own when that
// player continues the video, and goes black otherwise. A player dropped meanwhile is drawn on until
// its core lets go of the picture, so that freeing the context never waits.
class VideoView : public QQuickFramebufferObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(vireo::MediaPlayer *player READ player WRITE setPlayer NOTIFY playerChanged FINAL)
public:
    explicit VideoView(QQuickItem *parent = nullptr);

    [[nodiscard]] Renderer *createRenderer() const override;
    [[nodiscard]] MediaPlayer *player() const { return m_player; }
    void setPlayer(MediaPlayer *player);

Q_SIGNALS:
    void playerChanged();

private:
    QPointer<MediaPlayer> m_player;
};

} // namespace vireo
