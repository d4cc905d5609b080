// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFile>

namespace vireo::test {

// A few seconds of H.264/AAC MP4 with moving colour bars, made by ffmpeg at build time.
inline QByteArray clip()
{
    QFile file(QStringLiteral(VIREO_TEST_CLIP));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace vireo::test
