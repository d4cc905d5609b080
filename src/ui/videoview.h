// SPDX-License-Identifier: MIT
#pragma once

#include "playback/mediaplayer.h"

#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqml.h>

namespace vireo {

class VideoRenderer;

// Draws a player's pictures with mpv's OpenGL renderer, on the scene's render thread, into a picture
// of its own that is copied into the window under the scene: composited as a textured item instead,
// each picture would be rasterised twice, which where drawing is done in software costs a fifth of
// the CPU time of playing. So what lies under the view in the scene must leave it uncovered.
// One view serves every player of its window: a player it is given, the one shown or the candidate
// loading beside it, gets a drawing context there and decodes for it from then on, unseen until it
// is shown. The picture stays until the next player has one of its own when that player continues
// the video, and goes black otherwise; while the one shown seeks, its last picture stays. A player
// dropped meanwhile is drawn on until its core lets go of the picture, so that freeing the context
// never waits. A spare (MediaPlayer::createSpare) gets its context too, shown or not, and its picture
// of nothing is drawn unseen.
class VideoView : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(vireo::MediaPlayer *player READ player WRITE setPlayer NOTIFY playerChanged FINAL)
    Q_PROPERTY(vireo::MediaPlayer *candidate READ candidate WRITE setCandidate NOTIFY candidateChanged FINAL)
    Q_PROPERTY(vireo::MediaPlayer *spare READ spare WRITE setSpare NOTIFY spareChanged FINAL)
public:
    explicit VideoView(QQuickItem *parent = nullptr);

    [[nodiscard]] MediaPlayer *player() const { return m_player; }
    void setPlayer(MediaPlayer *player);
    [[nodiscard]] MediaPlayer *candidate() const { return m_candidate; }
    void setCandidate(MediaPlayer *player);
    [[nodiscard]] MediaPlayer *spare() const { return m_spare; }
    void setSpare(MediaPlayer *player);
    // Whether a player it was given still shows a picture through it. Freeing a drawing context (as
    // deleting the window does) while its core shows a picture holds the window's threads up to
    // 0.2 s, so a closed window goes once this is false.
    [[nodiscard]] bool holdsPictures() const;

Q_SIGNALS:
    void playerChanged();
    void candidateChanged();
    void spareChanged();
    // Its first picture is on screen.
    void pictureShown();
    void picturesReleased();

protected:
    void releaseResources() override;

private:
    friend class VideoRenderer;
    void give(MediaPlayer *player);
    void requestRender();
    // On the render thread.
    void synchronize();
    void cleanup();

    QPointer<QQuickWindow> m_window;
    VideoRenderer *m_renderer = nullptr; // on the render thread
    bool m_renderPending = true;

    QPointer<MediaPlayer> m_player;
    QPointer<MediaPlayer> m_candidate;
    QPointer<MediaPlayer> m_spare;
    QList<QPointer<MediaPlayer>> m_given;
};

} // namespace vireo
