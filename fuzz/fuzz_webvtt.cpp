// SPDX-License-Identifier: MIT
// Any caption file yields cues or nothing, and every cue starts before it ends.
#include "sources/webvtt.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto cues = vireo::WebVtt::parse(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (const vireo::Cue &cue : cues.value_or(QList<vireo::Cue>()))
        if (cue.start < 0 || cue.end <= cue.start)
            std::abort();
    return 0;
}
