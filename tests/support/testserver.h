// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>
#include <QUrlQuery>
#include <chrono>

namespace vireo::test {

// A loopback HTTP/1.1 server for tests: one route per path, each answering with a fixed status,
// headers and body, or misbehaving in one of the ways real servers do.
class TestServer : public QObject
{
    Q_OBJECT
public:
    enum class Behaviour {
        Answer,        // the whole answer at once (byte ranges honoured for media)
        Drip,          // the body a few bytes at a time
        CloseMidBody,  // headers promise the whole body; half of it comes, then the connection drops
        Silent,        // accept and never answer
    };

    struct Route {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        QList<std::pair<QByteArray, QByteArray>> headers;
        std::chrono::milliseconds delay{0};
        Behaviour behaviour = Behaviour::Answer;
        int dripBytes = 1;
        std::chrono::milliseconds dripInterval{1000};
    };

    struct Request {
        QString path;
        QUrlQuery query;
        QByteArray range;
    };

    explicit TestServer(QObject *parent = nullptr);
    ~TestServer() override;

    // Listens on 127.0.0.1 on a free port; false when no port could be had.
    bool listen();
    [[nodiscard]] quint16 port() const;
    [[nodiscard]] QUrl url(const QString &path = {}) const;
    [[nodiscard]] QString base() const;

    // `path` may end in "?query" to answer only that query.
    void route(const QString &path, const Route &route);
    // Shorthand for a plain answer.
    void route(const QString &path, int status, const QByteArray &body, const QByteArray &contentType = "application/json");

    [[nodiscard]] QList<Request> requests() const { return m_requests; }
    [[nodiscard]] int requestCount(const QString &path) const;
    void clearRequests() { m_requests.clear(); }
    void clearRoutes() { m_routes.clear(); }

    // A port on 127.0.0.1 that nothing listens on.
    [[nodiscard]] static quint16 refusedPort();

Q_SIGNALS:
    void requestReceived(const QString &path);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Route &route, const QByteArray &range);

    QTcpServer m_server;
    QHash<QString, Route> m_routes;
    QList<Request> m_requests;
};

} // namespace vireo::test
