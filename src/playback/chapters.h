// SPDX-License-Identifier: MIT
#pragma once

#include "mediaplayer.h"
#include "sources/videoinfo.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>

namespace vireo {

// The chapters of the video that plays: where each starts (for the seek bar), the title of the one
// that plays, and the way to the next or previous one.
class Chapters : public QObject
{
    Q_OBJECT
    // Each chapter's start, in ms; empty when the video has no chapters.
    Q_PROPERTY(QVariantList starts READ starts NOTIFY chaptersChanged FINAL)
    Q_PROPERTY(QString title READ title NOTIFY titleChanged FINAL)
public:
    using QObject::QObject;

    // The chapters of a newly accepted video, whose player they follow; none and null between videos.
    void show(const QList<Chapter> &chapters, MediaPlayer *player);

    [[nodiscard]] QVariantList starts() const;
    [[nodiscard]] QString title() const { return m_title; }
    // The title of the chapter at `ms`; empty when there is none.
    Q_INVOKABLE QString titleAt(qint64 ms) const;
    // To the next chapter's start; whether there was one.
    Q_INVOKABLE bool next();
    // To the start of the chapter that plays, when it is more than 3 s in, else of the one before;
    // whether there was a chapter to go to.
    Q_INVOKABLE bool previous();

Q_SIGNALS:
    void chaptersChanged();
    void titleChanged();

private:
    // The chapter at `ms`, -1 before the first or without chapters.
    [[nodiscard]] qsizetype at(qint64 ms) const;
    void update();

    QList<Chapter> m_chapters;
    QPointer<MediaPlayer> m_player;
    QString m_title;
};

} // namespace vireo
