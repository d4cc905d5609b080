// SPDX-License-Identifier: MIT
#pragma once

#include "net/cancellation.h"
#include "videoinfo.h"
#include "webvtt.h"

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QCoroTask>
#include <memory>
#include <optional>

namespace vireo {

// One thing a player can be handed: a single file, or a picture stream with its sound beside it;
// `height` is its picture's, 0 when not known.
struct Stream {
    QUrl url;
    QUrl audio;
    int height = 0;
};

// What the player wants of the streams on offer: the tallest picture (0: the single file only), and
// the codecs it decodes, by the start of their names, lightest first.
struct StreamChoice {
    int maxHeight = 0;
    QStringList videoCodecs;
    QStringList audioCodecs;
};

// What a source said when asked: the video's answer, or nothing; `silent` when it did not answer at
// all (refused, or not in time), so that its other attempts need not wait for it too.
struct Answer {
    std::optional<VideoInfo> info;
    bool silent = false;
};

// One try at one source of a video. It says what the status line calls it and where the
// video's page is, asks the source for the video, and then offers what to play of the answer and
// how to fetch the answer's captions.
class Attempt
{
public:
    virtual ~Attempt() = default;

    // What the status line calls it while it is asked: "Trying " + label + "…".
    [[nodiscard]] virtual QString label() const = 0;
    // Who plays the video, as "Playing from …" names it.
    [[nodiscard]] virtual QString origin() const = 0;
    // Which source it asks: attempts at one source share it.
    [[nodiscard]] virtual QString source() const = 0;
    // The video's watch page there, for the browser.
    [[nodiscard]] virtual QUrl watchPage() const = 0;
    // The source's answer; what went wrong is remembered for the next requests' order.
    virtual QCoro::Task<Answer> ask(CancelToken cancel) = 0;
    // What to try to play of an answer, in the order to try it; empty when the request was called off.
    virtual QCoro::Task<QList<Stream>> streams(VideoInfo info, StreamChoice choice, CancelToken cancel) = 0;
    // A stream of its answer became ready to play: its source's failures are forgotten.
    virtual void played() = 0;
    // The cues of one caption track of the answer; nothing when they cannot be had.
    virtual QCoro::Task<std::optional<QList<Cue>>> captions(QUrl track, CancelToken cancel) = 0;
};

// A family of sources of one kind (Invidious instances): the attempts at one video, best first.
class SourceFamily
{
public:
    virtual ~SourceFamily() = default;

    // What the status line shows while the attempts are found.
    [[nodiscard]] virtual QString finding() const = 0;
    virtual QCoro::Task<QList<std::shared_ptr<Attempt>>> attempts(QString id) = 0;
};

} // namespace vireo
