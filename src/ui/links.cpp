// SPDX-License-Identifier: MIT
#include "links.h"

#include "sources/videoid.h"

#include <QDesktopServices>

using namespace Qt::StringLiterals;

namespace vireo {

QString embedPage(const QString &videoID)
{
    return u"<!doctype html><html><head><meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n"
           "<style>html,body{margin:0;height:100%;background:#000}iframe{border:0;width:100%;height:100%}</style></head>\n"
           "<body><iframe src=\"https://"_s
        + WebHost + u"/embed/"_s + videoID
        + u"?autoplay=1&playsinline=1&rel=0\"\n"
          "allow=\"autoplay; encrypted-media; picture-in-picture; fullscreen\" allowfullscreen></iframe></body></html>"_s;
}

QUrl Links::serviceBase()
{
    return QUrl(u"https://"_s + WebHost);
}

bool Links::hasVideoID(const QString &text)
{
    return VideoID::extract(text).has_value();
}

QUrl Links::browserTarget(const QUrl &browserURL, const QString &text)
{
    if (!browserURL.isEmpty())
        return browserURL;
    const auto id = VideoID::extract(text);
    return id ? watchPage(*id) : QUrl();
}

void Links::openInBrowser(const QUrl &browserURL, const QString &text)
{
    // Whether a browser took it is not ours to report.
    if (const QUrl url = browserTarget(browserURL, text); !url.isEmpty())
        QDesktopServices::openUrl(url);
}

} // namespace vireo
