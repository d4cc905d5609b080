// SPDX-License-Identifier: MIT
// Any text, as UTF-8 and as raw UTF-16 (lone surrogates included), yields an ID or nothing, and an
// ID is always 11 ASCII ID characters.
#include "sources/videoid.h"

#include <cstdint>
#include <cstdlib>

static void check(const QString &text)
{
    const auto id = vireo::VideoID::extract(text);
    if (!id)
        return;
    if (id->size() != 11)
        std::abort();
    for (const QChar c : *id) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-' || u == u'_';
        if (!ok)
            std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    check(QString(reinterpret_cast<const QChar *>(data), qsizetype(size / 2)));
    return 0;
}
