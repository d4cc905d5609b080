// SPDX-License-Identifier: MIT
// Any answer body yields a VideoInfo or an error; a stream or caption track handed on is always
// http(s) with a host, and its chapters are a whole list by the rule or none.
#include "sources/invidiousclient.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto result = vireo::InvidiousClient::parse(body, QStringLiteral("https://inv.example.org"));
    const auto *info = std::get_if<vireo::VideoInfo>(&result);
    const QString scheme = info ? info->stream.scheme() : QString();
    if (info && ((scheme != QStringLiteral("https") && scheme != QStringLiteral("http")) || info->stream.host().isEmpty()))
        std::abort();
    for (const vireo::CaptionTrack &track : info ? info->captions : QList<vireo::CaptionTrack>())
        if (!track.url.scheme().startsWith(QStringLiteral("http")) || track.url.host().isEmpty())
            std::abort();
    const QList<vireo::Chapter> chapters = info ? info->chapters : QList<vireo::Chapter>();
    if (!chapters.isEmpty() && (chapters.size() < 3 || chapters.first().start != 0))
        std::abort();
    return 0;
}
