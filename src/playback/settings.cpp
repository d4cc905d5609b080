// SPDX-License-Identifier: MIT
#include "settings.h"

#include "instances/instance.h"
#include "sources/segmentdatabase.h"

#include <QCoreApplication>
#include <QSettings>
#include <algorithm>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vireo {
namespace {

constexpr auto LastUrlKey = "lastURL";
constexpr auto VolumeKey = "volume";
constexpr auto MutedKey = "muted";
constexpr auto PreferredInstanceKey = "preferredInstance";
constexpr auto CaptionLanguageKey = "captionLanguage";
constexpr auto KeepHistoryKey = "keepHistory";
constexpr auto AutoplayNextKey = "autoplayNext";
constexpr auto MaxHeightKey = "maxHeight";
constexpr auto SkipSegmentsKey = "skipSegments";
constexpr auto SegmentServerKey = "segmentServer";

} // namespace

Settings &Settings::instance()
{
    static Settings settings;
    return settings;
}

Settings::Settings()
{
    m_lastURLWrite.setSingleShot(true);
    m_lastURLWrite.setInterval(1s);
    connect(&m_lastURLWrite, &QTimer::timeout, this, &Settings::flush);
    if (const auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &Settings::flush);
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
    store.sync();
    Q_EMIT (this->*changed)();
}

QString Settings::lastURL() const
{
    if (!m_lastURL)
        m_lastURL = value(LastUrlKey).toString();
    return *m_lastURL;
}

void Settings::setLastURL(const QString &text)
{
    if (lastURL() == text)
        return;
    m_lastURL = text;
    if (!m_lastURLWrite.isActive())
        m_lastURLWrite.start();
    Q_EMIT lastURLChanged();
}

void Settings::flush()
{
    m_lastURLWrite.stop();
    if (!m_lastURL || value(LastUrlKey).toString() == *m_lastURL)
        return;
    QSettings store(u"Vireo"_s, u"Vireo"_s);
    store.setValue(QLatin1StringView(LastUrlKey), *m_lastURL);
    store.sync();
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
    if (isInstanceAddress(address))
        store(PreferredInstanceKey, address.trimmed(), &Settings::preferredInstanceChanged);
}

bool Settings::isInstanceAddress(const QString &address)
{
    return address.trimmed().isEmpty() || Instance::fromAddress(address);
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

bool Settings::autoplayNext() const
{
    return value(AutoplayNextKey, true).toBool();
}

void Settings::setAutoplayNext(bool on)
{
    store(AutoplayNextKey, on, &Settings::autoplayNextChanged);
}

int Settings::maxHeight() const
{
    return std::max(0, value(MaxHeightKey, 0).toInt());
}

void Settings::setMaxHeight(int height)
{
    store(MaxHeightKey, std::max(0, height), &Settings::maxHeightChanged);
}

QVariantList Settings::qualities()
{
    const auto choice = [](const QString &text, int height) { return QVariantMap{{u"text"_s, text}, {u"height"_s, height}}; };
    return {choice(u"Standard (single file)"_s, 0), choice(u"Up to 720p"_s, 720), choice(u"Up to 1080p"_s, 1080),
            choice(u"Best available"_s, 4320)};
}

bool Settings::skipSegments() const
{
    return value(SkipSegmentsKey, false).toBool();
}

void Settings::setSkipSegments(bool skip)
{
    store(SkipSegmentsKey, skip, &Settings::skipSegmentsChanged);
}

QString Settings::segmentServer() const
{
    return value(SegmentServerKey, u"https://sponsor.ajay.app"_s).toString();
}

void Settings::setSegmentServer(const QString &address)
{
    store(SegmentServerKey, address.trimmed(), &Settings::segmentServerChanged);
}

QVariantList Settings::segmentCategories()
{
    QVariantList list;
    for (const auto &category : SegmentDatabase::categories())
        list.append(QVariantMap{{u"name"_s, category.name}, {u"colour"_s, category.colour}, {u"skipped"_s, category.skipped}});
    return list;
}

} // namespace vireo
