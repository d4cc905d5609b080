// SPDX-License-Identifier: MIT
#include "settings.h"

#include <QSettings>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace vireo {
namespace {

constexpr auto LastUrlKey = "lastURL";
constexpr auto VolumeKey = "volume";
constexpr auto MutedKey = "muted";
constexpr auto PreferredInstanceKey = "preferredInstance";
constexpr auto CaptionLanguageKey = "captionLanguage";
constexpr auto KeepHistoryKey = "keepHistory";
constexpr auto MaxHeightKey = "maxHeight";

} // namespace

Settings &Settings::instance()
{
    static Settings settings;
    return settings;
}

QVariant Settings::value(const char *key, const QVariant &fallback)
{
    return QSettings(u"Vireo"_s, u"Vireo"_s).value(QLatin1StringView(key), fallback);
}

void Settings::store(const char *key, const QVariant &value, void (Settings::*changed)())
{
    QSettings store(u"Vireo"_s, u"Vireo"_s);
    // Compared as stored: the file keeps text, so 0.5 reads back as "0.5".
    if (store.value(QLatin1StringView(key)).toString() == value.toString())
        return;
    store.setValue(QLatin1StringView(key), value);
    // On disk at once: the link is what the next start shows, whatever becomes of this one.
    store.sync();
    Q_EMIT (this->*changed)();
}

QString Settings::lastURL() const
{
    return value(LastUrlKey).toString();
}

void Settings::setLastURL(const QString &text)
{
    store(LastUrlKey, text, &Settings::lastURLChanged);
}

double Settings::volume() const
{
    return std::clamp(value(VolumeKey, 1.0).toDouble(), 0.0, 1.0);
}

void Settings::setVolume(double volume)
{
    store(VolumeKey, std::clamp(volume, 0.0, 1.0), &Settings::volumeChanged);
}

bool Settings::muted() const
{
    return value(MutedKey, false).toBool();
}

void Settings::setMuted(bool muted)
{
    store(MutedKey, muted, &Settings::mutedChanged);
}

QString Settings::preferredInstance() const
{
    return value(PreferredInstanceKey).toString();
}

void Settings::setPreferredInstance(const QString &address)
{
    store(PreferredInstanceKey, address, &Settings::preferredInstanceChanged);
}

QString Settings::captionLanguage() const
{
    return value(CaptionLanguageKey).toString();
}

void Settings::setCaptionLanguage(const QString &code)
{
    store(CaptionLanguageKey, code, &Settings::captionLanguageChanged);
}

bool Settings::keepHistory() const
{
    return value(KeepHistoryKey, true).toBool();
}

void Settings::setKeepHistory(bool keep)
{
    store(KeepHistoryKey, keep, &Settings::keepHistoryChanged);
}

int Settings::maxHeight() const
{
    return std::max(0, value(MaxHeightKey, 0).toInt());
}

void Settings::setMaxHeight(int height)
{
    store(MaxHeightKey, std::max(0, height), &Settings::maxHeightChanged);
}

} // namespace vireo
