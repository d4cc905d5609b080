// SPDX-License-Identifier: MIT
#include "links.h"

#include "playback/settings.h"
#include "sources/videoid.h"

#include <QDesktopServices>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace vireo {

QString embedPage(const QString &videoID, const QString &captionLanguage, int start)
{
    // Language codes such as "en", "pt-BR" or "zh-Hans"; the code came from a server once.
    static const QRegularExpression code(u"^[A-Za-z0-9-]{1,35}$"_s);
    const QString captions = code.match(captionLanguage).hasMatch() ? u"&cc_load_policy=1&cc_lang_pref="_s + captionLanguage : QString();
    return u"<!doctype html><html><head><meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n"
           "<style>html,body{margin:0;height:100%;background:#000}iframe{border:0;width:100%;height:100%}</style></head>\n"
           "<body><iframe src=\"https://"_s
        + WebHost + u"/embed/"_s + videoID
        + u"?autoplay=1&playsinline=1&rel=0"_s + captions + (start > 0 ? u"&start="_s + QString::number(start) : QString()) + u"\"\n"
          "allow=\"autoplay; encrypted-media; picture-in-picture; fullscreen\" allowfullscreen></iframe></body></html>"_s;
}

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
