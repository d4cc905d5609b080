// SPDX-License-Identifier: MIT
#include "testserver.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace vireo::test {
namespace {

constexpr qsizetype MaxHeaderBytes = 64 * 1024;

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

// Parses "bytes=FROM-" or "bytes=FROM-TO" against a body of `size` bytes.
std::optional<std::pair<qint64, qint64>> parseRange(const QByteArray &range, qint64 size)
{
    if (!range.startsWith("bytes="))
        return std::nullopt;
    const QList<QByteArray> ends = range.mid(6).split('-');
    if (ends.size() != 2)
        return std::nullopt;
    bool ok = false;
    const qint64 from = ends[0].toLongLong(&ok);
    if (!ok || from < 0 || from >= size)
        return std::nullopt;
    qint64 to = size - 1;
    if (!ends[1].isEmpty()) {
        to = std::min(ends[1].toLongLong(&ok), size - 1);
        if (!ok || to < from)
            return std::nullopt;
    }
    return std::pair{from, to};
}

} // namespace

TestServer::TestServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TestServer::onNewConnection);
}

TestServer::~TestServer()
{
    m_server.close();
}

bool TestServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

quint16 TestServer::port() const
{
    return m_server.serverPort();
}

QUrl TestServer::url(const QString &path) const
{
    return QUrl(base() + path);
}

QString TestServer::base() const
{
    return u"http://127.0.0.1:%1"_s.arg(port());
}

void TestServer::route(const QString &path, const Route &route)
{
    m_routes.insert(path, route);
}

void TestServer::route(const QString &path, int status, const QByteArray &body, const QByteArray &contentType)
{
    Route r;
    r.status = status;
    r.body = body;
    r.contentType = contentType;
    route(path, r);
}

int TestServer::requestCount(const QString &path) const
{
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(), [&](const Request &r) { return r.path == path; }));
}

quint16 TestServer::refusedPort()
{
    // Bind and release: the kernel will not hand this port out again straight away.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void TestServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    }
}

void TestServer::onReadyRead(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() > MaxHeaderBytes)
            socket->abort();
        else
            socket->setProperty("head", head);
        return;
    }
    socket->setProperty("answered", true);

    const QList<QByteArray> lines = head.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    const QUrl target(QString::fromLatin1(requestLine.value(1)));
    QByteArray range;
    for (const QByteArray &line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "range")
            range = line.mid(colon + 1).trimmed();
    }

    const QString path = target.path();
    m_requests.append({path, QUrlQuery(target), range});
    Q_EMIT requestReceived(path);

    // A route for the exact path and query wins over one for the path alone.
    const QString withQuery = target.hasQuery() ? path + u'?' + target.query() : path;
    const Route route = m_routes.value(withQuery, m_routes.value(path, Route{404, "not found", "text/plain", {}, {}, Behaviour::Answer, 1, {}}));
    if (route.behaviour == Behaviour::Silent)
        return;
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(route.delay, this, [this, guard, route, range] {
        if (guard)
            respond(guard, route, range);
    });
}

void TestServer::respond(QTcpSocket *socket, const Route &route, const QByteArray &range)
{
    int status = route.status;
    QByteArray body = route.body;
    QByteArray head;
    if (status == 200 && route.behaviour == Behaviour::Answer && !range.isEmpty()) {
        if (const auto span = parseRange(range, body.size())) {
            status = 206;
            head += "Content-Range: bytes " + QByteArray::number(span->first) + '-' + QByteArray::number(span->second)
                + '/' + QByteArray::number(body.size()) + "\r\n";
            body = body.mid(span->first, span->second - span->first + 1);
        }
    }
    head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n" + head;
    if (!route.contentType.isEmpty())
        head += "Content-Type: " + route.contentType + "\r\n";
    head += "Accept-Ranges: bytes\r\n";
    for (const auto &[name, value] : route.headers)
        head += name + ": " + value + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
    socket->write(head);

    switch (route.behaviour) {
    case Behaviour::Answer:
        socket->write(body);
        socket->disconnectFromHost();
        break;
    case Behaviour::CloseMidBody:
        socket->write(body.left(body.size() / 2));
        socket->flush();
        socket->abort();
        break;
    case Behaviour::Drip: {
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, socket, [socket, timer, sent, body, step = route.dripBytes] {
            socket->write(body.mid(*sent, step));
            *sent += step;
            if (*sent >= body.size()) {
                timer->stop();
                socket->disconnectFromHost();
            }
        });
        timer->start(route.dripInterval);
        break;
    }
    case Behaviour::Silent:
        break;
    }
}

} // namespace vireo::test
