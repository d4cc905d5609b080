// SPDX-License-Identifier: MIT
#include "standins.h"

#include "clip.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace vireo::test {

bool StandIns::listen()
{
    if (!m_server.listen())
        return false;
    reset();
    return true;
}

void StandIns::reset()
{
    m_server.clearRoutes();
    m_server.clearRequests();
    m_server.route(u"/clip.mp4"_s, 200, clip(), "video/mp4");
    TestServer::Route silent;
    silent.behaviour = TestServer::Behaviour::Silent;
    m_server.route(u"/silent.mp4"_s, silent);
}

bool StandIns::writeCache(const QString &cacheRoot, const QList<std::pair<QString, QString>> &hostsAndBases)
{
    if (!QDir().mkpath(cacheRoot + u"/Vireo"_s))
        return false;
    QByteArray json = "[";
    int uptime = 100;
    for (const auto &[host, base] : hostsAndBases)
        json += (json.size() > 1 ? "," : "") + u"{\"host\":\"%1\",\"base\":\"%2\",\"uptime\":%3}"_s.arg(host, base).arg(uptime--).toUtf8();
    QFile file(cacheRoot + u"/Vireo/instances.json"_s);
    return file.open(QIODevice::WriteOnly) && file.write(json + ']') > 0;
}

bool StandIns::writeCache(const QString &cacheRoot, const QStringList &names)
{
    QList<std::pair<QString, QString>> list;
    for (const QString &name : names)
        list.append({name, base(name)});
    return writeCache(cacheRoot, list);
}

void StandIns::answer(const QString &name, const QString &mediaPath, bool local, const QByteArray &titleJson)
{
    const QByteArray body = R"({"type":"video","title":)" + titleJson + R"(,"author":"Channel","lengthSeconds":4,)"
        + R"("formatStreams":[{"url":")" + m_server.url(mediaPath).toEncoded()
        + R"(","itag":"18","type":"video/mp4","quality":"medium","qualityLabel":"360p","container":"mp4","size":"320x240"}]})";
    m_server.route(u"/"_s + name + u"/api/v1/videos/"_s + Id + (local ? u"?local=true"_s : QString()), 200, body);
}

void StandIns::fail(const QString &name, int status)
{
    m_server.route(u"/"_s + name + u"/api/v1/videos/"_s + Id, status, "<html>blocked</html>", "text/html");
}

} // namespace vireo::test
