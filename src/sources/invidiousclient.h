// SPDX-License-Identifier: MIT
#pragma once

#include "net/cancellation.h"
#include "instances/instance.h"
#include "playlistpage.h"
#include "videoinfo.h"
#include "webvtt.h"

#include <QJsonObject>
#include <QCoroTask>
#include <variant>

namespace vireo {

// Why a fetch failed: no answer in time, no answer at all (refused, unreachable), an answer that is
// not a video's (an error status, no JSON object), one without a stream, or a stream at an address
// Vireo does not play.
enum class FetchError { timedOut, network, badServerResponse, resourceUnavailable, badURL };

using FetchResult = std::variant<VideoInfo, FetchError>;

namespace InvidiousClient {

// Asks one instance for a video: GET base + "/api/v1/videos/" + id, with "?local=true" when asked.
// Cancelling the token aborts the request in flight, and the call fails with the network's error.
QCoro::Task<FetchResult> fetch(Instance instance, QString id, bool local, CancelToken cancel = {});

// Downloads one caption track an answer listed (WebVTT); nothing when it fails, is over 2 MiB or
// takes over 6 s, or is not WebVTT.
QCoro::Task<std::optional<QList<Cue>>> captions(QUrl url, CancelToken cancel = {});

// Asks one instance for page `page` (from 1) of a list: GET base + "/api/v1/playlists/" + id +
// "?page=" + page, or base + "/api/v1/mixes/" + id for a mix, which has one page only. Nothing when
// the instance does not answer with a list within 6 s and 8 MiB.
QCoro::Task<std::optional<PlaylistPage>> playlist(Instance instance, QString id, int page, CancelToken cancel = {});

// Reads a list answer: nothing when it is not one; entries without a valid video ID are left out.
[[nodiscard]] std::optional<PlaylistPage> parsePlaylist(const QByteArray &body);

// Reads an answer body; `base` completes stream addresses that are paths on the instance.
[[nodiscard]] FetchResult parse(const QByteArray &body, const QString &base);

// A stream's rank: the leading number of its "qualityLabel" (else "quality"), 0 when there is none.
[[nodiscard]] qint64 quality(const QJsonObject &stream);

} // namespace InvidiousClient
} // namespace vireo
