// SPDX-License-Identifier: MIT
#include "links.h"

#include "embedpage.h"
#include "playback/settings.h"
#include "sources/link.h"

#include <QDesktopServices>

using namespace Qt::StringLiterals;

namespace vireo {

QString Links::embedPage(const QString &videoID, int start)
{
    return vireo::embedPage(videoID, Settings::instance().captionLanguage(), start);
}

QUrl Links::serviceBase()
{
    return QUrl(u"https://"_s + WebHost);
}

bool Links::hasVideoID(const QString &text)
{
    return Link::parse(text).has_value();
}

QUrl Links::browserTarget(const QUrl &browserURL, const QString &text)
{
    if (!browserURL.isEmpty())
        return browserURL;
    const auto link = Link::parse(text);
    return link ? link->page() : QUrl();
}

void Links::openInBrowser(const QUrl &browserURL, const QString &text)
{
    // Whether a browser took it is not ours to report.
    if (const QUrl url = browserTarget(browserURL, text); !url.isEmpty())
        QDesktopServices::openUrl(url);
}

} // namespace vireo
