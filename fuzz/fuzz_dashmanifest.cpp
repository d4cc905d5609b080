// SPDX-License-Identifier: MIT
// Any manifest yields a rewritten one or nothing; what it keeps is XML again, no taller than the cap,
// and every address in it is http(s).
#include "sources/dashmanifest.h"

#include <QRegularExpression>
#include <QXmlStreamReader>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray mpd = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto kept = vireo::DashManifest::rewrite(mpd, QUrl(QStringLiteral("https://inv.example/api/manifest/dash/id/x")), 720,
                                                   {QStringLiteral("avc1"), QStringLiteral("vp09")}, {QStringLiteral("mp4a")});
    if (!kept)
        return 0;
    if (kept->height <= 0 || kept->height > 720)
        std::abort();
    QXmlStreamReader xml(kept->manifest);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QStringLiteral("BaseURL")
            && !xml.readElementText().startsWith(QStringLiteral("http")))
            std::abort();
    }
    if (xml.hasError())
        std::abort();
    return 0;
}
