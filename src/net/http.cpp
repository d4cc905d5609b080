// SPDX-License-Identifier: MIT
#include "http.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimer>
#include <QCoroNetworkReply>

namespace vireo::Http {

QNetworkAccessManager *network()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager)
        manager = new QNetworkAccessManager(QCoreApplication::instance());
    return manager;
}

QCoro::Task<Response> get(QUrl url, std::chrono::milliseconds timeout, qint64 maxBytes, CancelToken cancel)
{
    Response response;
    if (cancel && cancel->isCancelled()) {
        response.error = QNetworkReply::OperationCanceledError;
        co_return response;
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(int(timeout.count()));
    // The reply's own signals resume this coroutine, so it must not be deleted from under them.
    const std::unique_ptr<QNetworkReply, decltype([](QNetworkReply *r) { r->deleteLater(); })> reply(
        network()->get(request));

    auto *r = reply.get();
    // Qt's HTTP thread reads ahead into the reply's buffer on its own; bounding that buffer makes
    // it stop reading until this side has taken the body in, so no more than the cap is ever held.
    r->setReadBufferSize(std::min<qint64>(maxBytes + 1, 64 * 1024));
    const auto refuse = [r] {
        r->setProperty("tooLarge", true);
        r->abort();
    };
    QObject::connect(r, &QNetworkReply::metaDataChanged, r, [r, maxBytes, refuse] {
        if (r->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes)
            refuse();
    });
    QObject::connect(r, &QNetworkReply::readyRead, r, [r, maxBytes, refuse, &body = response.body] {
        if (body.size() + r->bytesAvailable() > maxBytes)
            return refuse();
        body += r->readAll();
    });
    if (cancel)
        QObject::connect(cancel.get(), &Cancellation::cancelled, r, &QNetworkReply::abort);
    // The idle time-out alone would let a server that drips a byte a second hold the request forever.
    QTimer::singleShot(timeout, r, &QNetworkReply::abort);

    co_await reply.get();
    // The body lives in this frame, which ends before the reply is deleted.
    QObject::disconnect(r, &QNetworkReply::readyRead, r, nullptr);

    const bool tooLarge = r->property("tooLarge").toBool();
    response.status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // Qt reports HTTP error statuses as errors too; those answers arrived whole and are the
    // caller's to judge by their status.
    const auto error = r->error();
    const bool redirectNotFollowed = response.status / 100 == 3 && error == QNetworkReply::ProtocolUnknownError;
    const bool statusError = (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError)
        || redirectNotFollowed;
    response.error = tooLarge ? QNetworkReply::OperationCanceledError
        : statusError                  ? QNetworkReply::NoError
                                       : error;
    if (response.error == QNetworkReply::NoError)
        response.body += r->readAll();
    else
        response.body.clear();
    co_return response;
}

} // namespace vireo::Http
