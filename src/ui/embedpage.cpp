// SPDX-License-Identifier: MIT
#include "embedpage.h"

#include "sources/link.h"

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

} // namespace vireo
