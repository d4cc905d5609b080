// SPDX-License-Identifier: MIT
#pragma once

#include "testserver.h"

#include <QStringList>

namespace vireo::test {

// Stand-in Invidious instances and their media, all on one loopback server: instance "name" has
// the base <server>/name, and the test clip is at /clip.mp4.
class StandIns
{
public:
    static inline const QString Id = QStringLiteral("dQw4w9WgXcQ");

    bool listen();
    [[nodiscard]] TestServer &server() { return m_server; }
    [[nodiscard]] QString base(const QString &name) const { return m_server.base() + u'/' + name; }

    // Forgets every answer and request; serves the clip again, and a media path that never answers.
    void reset();
    // Writes a fresh instance cache under `cacheRoot` (what XDG_CACHE_HOME names), best first.
    static bool writeCache(const QString &cacheRoot, const QList<std::pair<QString, QString>> &hostsAndBases);
    bool writeCache(const QString &cacheRoot, const QStringList &names);

    // The instance answers for Id with one stream at `mediaPath`.
    void answer(const QString &name, const QString &mediaPath, bool local = false, const QByteArray &titleJson = "\"Clip\"");
    // The instance answers with an HTML page under `status`.
    void fail(const QString &name, int status = 500);

private:
    TestServer m_server;
};

} // namespace vireo::test
