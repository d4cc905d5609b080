// SPDX-License-Identifier: MIT
// Any answer body yields a VideoInfo or an error; a stream or caption track handed on is always
// http(s) with a host.
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
    return 0;
}
