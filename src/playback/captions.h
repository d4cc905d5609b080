// SPDX-License-Identifier: MIT
#pragma once

#include "mediaplayer.h"
#include "net/cancellation.h"
#include "sources/sourcefamily.h"
#include "sources/webvtt.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QCoroTask>

namespace vireo {

// The captions of the video that plays: the tracks its answer listed, the one that shows, and its
// cue text for where the video is. A choice is kept as the preferred language of the next videos.
// A track that cannot be loaded says so here and never touches playback.
class Captions : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList labels READ labels NOTIFY tracksChanged FINAL)
    Q_PROPERTY(int chosen READ chosen NOTIFY chosenChanged FINAL)
    Q_PROPERTY(bool failed READ failed NOTIFY chosenChanged FINAL)
    Q_PROPERTY(QString text READ text NOTIFY textChanged FINAL)
public:
    using QObject::QObject;

    // The tracks of a newly accepted video, fetched through the attempt that found it, whose player the
    // cues follow; none and null between videos.
    void show(const QList<CaptionTrack> &tracks, std::shared_ptr<Attempt> source, MediaPlayer *player);

    [[nodiscard]] QStringList labels() const;
    // The track that shows, -1 for none.
    [[nodiscard]] int chosen() const { return m_chosen; }
    // Whether the chosen track could not be loaded.
    [[nodiscard]] bool failed() const { return m_failed; }
    [[nodiscard]] QString text() const { return m_text; }

    // Shows track `index`, or none for -1, and keeps its language for the next videos.
    Q_INVOKABLE void choose(int index);
    // Captions off, or back to the last choice (else the first track).
    Q_INVOKABLE void toggle();

Q_SIGNALS:
    void tracksChanged();
    void chosenChanged();
    void textChanged();

private:
    void select(int index);
    QCoro::Task<> load(QUrl url, CancelToken cancel);
    void update();

    QList<CaptionTrack> m_tracks;
    std::shared_ptr<Attempt> m_source;
    QPointer<MediaPlayer> m_player;
    int m_chosen = -1;
    int m_last = -1;
    bool m_failed = false;
    QList<Cue> m_cues;
    QString m_text;
    CancelToken m_loading;
};

} // namespace vireo
