// SPDX-License-Identifier: MIT
// Any text, as UTF-8 and as raw UTF-16 (lone surrogates included), yields an ID or nothing, an ID
// is always 11 ASCII ID characters, and a start time is never negative.
#include "sources/link.h"

#include <QRegularExpression>
#include <cstdint>
#include <cstdlib>

static void check(const QString &text)
{
    static const QRegularExpression id(QStringLiteral("^[A-Za-z0-9_-]{11}$"));
    const auto link = vireo::Link::parse(text);
    if (link && (!id.match(link->videoID).hasMatch() || link->start.value_or(0) < 0))
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    check(QString(reinterpret_cast<const QChar *>(data), qsizetype(size / 2)));
    return 0;
}
