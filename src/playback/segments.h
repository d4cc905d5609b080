// SPDX-License-Identifier: MIT
#pragma once

#include "mediaplayer.h"
#include "net/cancellation.h"
#include "sources/segmentdatabase.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QCoroTask>
#include <optional>

namespace vireo {

// The stretches of the video that plays that the community marked: asked for beside the request
// when skipping is on, shown on the seek bar, and those of the skipped categories passed over as
// playback enters them, once a pass. A seek into one (the user's, a resume) never skips it; Undo
// goes back to where the skip started and plays that stretch from then on.
class Segments : public QObject
{
    Q_OBJECT
    // Maps with "start" and "end" (ms) and "colour", for the seek bar.
    Q_PROPERTY(QVariantList marks READ marks NOTIFY marksChanged FINAL)
public:
    explicit Segments(QObject *parent = nullptr);
    ~Segments() override;

    // A new request, for video `id` (empty for none): its segments are asked for at once, beside it.
    void begin(const QString &id);
    // The video plays natively in `player`, or in another quality's player that takes over where it is.
    void follow(MediaPlayer *player);

    [[nodiscard]] QVariantList marks() const;
    // Back to where the last skip started; what it passed over is not skipped again for this video.
    Q_INVOKABLE void undo();

Q_SIGNALS:
    void marksChanged();
    // Playback passed over a segment: the note with its Undo shows.
    void skipped();

private:
    struct Skip {
        qint64 from;
        QList<Segment> over;
    };

    QCoro::Task<> ask(QString id, CancelToken cancel);
    void settingChanged();
    void refit();
    void landed(qint64 ms);
    void moved();

    QString m_id;
    CancelToken m_asking; // null until asked for this video
    QList<Segment> m_answer;   // as the database gave them
    QList<Segment> m_segments; // as the video has room for them
    QList<bool> m_passed;      // of each of m_segments: skipped, kept, or landed in during this pass
    QList<Segment> m_kept;     // undone, so played from now on
    QPointer<MediaPlayer> m_player;
    qint64 m_last = 0;               // the position last seen
    std::optional<qint64> m_landed;  // where the last seek went
    std::optional<Skip> m_skip;      // the last one, for Undo
};

} // namespace vireo
