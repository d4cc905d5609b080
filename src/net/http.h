// SPDX-License-Identifier: MIT
#pragma once

#include "cancellation.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QUrl>
#include <QCoroTask>
#include <chrono>

class QNetworkAccessManager;

namespace vireo::Http {

struct Response {
    // A transport failure only; an HTTP error status that arrived whole is NoError with its status.
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
};

// An http or https address with a host: the only kind of address Vireo requests or plays.
[[nodiscard]] inline bool isWebUrl(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1StringView("https") || scheme == QLatin1StringView("http")) && !url.host().isEmpty();
}

// The process-wide network access manager. Main thread only; it lives as long as the application.
QNetworkAccessManager *network();

// GET that ends within `timeout`, idle or not (error OperationCanceledError). A body larger than
// maxBytes aborts the transfer rather than being held in memory; cancelling the token aborts it too.
QCoro::Task<Response> get(QUrl url, std::chrono::milliseconds timeout, qint64 maxBytes, CancelToken cancel = {});

} // namespace vireo::Http
