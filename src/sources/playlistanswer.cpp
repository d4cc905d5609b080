// SPDX-License-Identifier: MIT
// Reading an instance's list answer: pure parsing, no network, callable from any thread.
#include "invidiousclient.h"
#include "link.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace vireo::InvidiousClient {

std::optional<PlaylistPage> parsePlaylist(const QByteArray &body)
{
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    const QJsonValue videos = answer.value(u"videos"_s);
    if (!videos.isArray())
        return std::nullopt;
    PlaylistPage page;
    page.title = answer.value(u"title"_s).toString();
    page.total = std::clamp(answer.value(u"videoCount"_s).toInt(), 0, 1'000'000);
    for (const QJsonValue &value : videos.toArray()) {
        const QJsonObject video = value.toObject();
        const QString id = video.value(u"videoId"_s).toString();
        // An entry that names no video the player could ask for is not one to queue.
        if (!VideoID::isValid(id))
            continue;
        const QJsonValue index = video.value(u"index"_s);
        page.entries.append({id, video.value(u"title"_s).toString(), std::clamp<qint64>(video.value(u"lengthSeconds"_s).toInteger(), 0, 1'000'000'000),
                             index.isDouble() ? std::clamp(index.toInt(-1), -1, 1'000'000) : -1});
    }
    return page;
}

} // namespace vireo::InvidiousClient
