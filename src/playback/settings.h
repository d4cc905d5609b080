// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <optional>

namespace vireo {

// Every persisted setting, with its key and default, in one process-wide place. Windows share it:
// a change made through one is told to all of them. Main thread only.
class Settings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString preferredInstance READ preferredInstance WRITE setPreferredInstance NOTIFY preferredInstanceChanged FINAL)
    Q_PROPERTY(int maxHeight READ maxHeight WRITE setMaxHeight NOTIFY maxHeightChanged FINAL)
    // The choices of maxHeight: maps with "text" and "height".
    Q_PROPERTY(QVariantList qualities READ qualities CONSTANT FINAL)
    Q_PROPERTY(bool autoplayNext READ autoplayNext WRITE setAutoplayNext NOTIFY autoplayNextChanged FINAL)
    Q_PROPERTY(bool skipSegments READ skipSegments WRITE setSkipSegments NOTIFY skipSegmentsChanged FINAL)
    // The segment categories, for the legend: maps with "name", "colour" and "skipped".
    Q_PROPERTY(QVariantList segmentCategories READ segmentCategories CONSTANT FINAL)
public:
    static Settings &instance();

    // The link text of the field, shared by every window. Held here and written a second after a
    // change at the latest (typing is not a write a keystroke), and on quit.
    [[nodiscard]] QString lastURL() const;
    void setLastURL(const QString &text);
    // Writes what waits to be written now.
    void flush();
    // The volume and mute of the next window; each window then keeps its own.
    [[nodiscard]] double volume() const;
    void setVolume(double volume);
    [[nodiscard]] bool muted() const;
    void setMuted(bool muted);
    // The user's own Invidious instance, tried before the public ones; empty for none.
    [[nodiscard]] QString preferredInstance() const;
    // Empty, or an address isInstanceAddress() accepts; anything else is not kept.
    void setPreferredInstance(const QString &address);
    Q_INVOKABLE static bool isInstanceAddress(const QString &address);
    // The language code of the captions to show when a video has them; empty for none.
    [[nodiscard]] QString captionLanguage() const;
    void setCaptionLanguage(const QString &code);
    // The tallest video to play, in lines: 0 for the single-file stream every answer has (the
    // default), else a cap on the adaptive streams (720, 1080, or 4320 for the best there is).
    [[nodiscard]] int maxHeight() const;
    void setMaxHeight(int height);
    [[nodiscard]] static QVariantList qualities();
    // Whether positions and recent links are kept (on unless turned off).
    [[nodiscard]] bool keepHistory() const;
    void setKeepHistory(bool keep);
    // Whether the next video of a list starts by itself when one ends (on unless turned off).
    [[nodiscard]] bool autoplayNext() const;
    void setAutoplayNext(bool on);
    // Whether the segment database is asked for each video and the segments it marks as sponsored
    // are skipped (off unless turned on).
    [[nodiscard]] bool skipSegments() const;
    void setSkipSegments(bool skip);
    // The segment database's address: the public one unless set to one of the user's own.
    [[nodiscard]] QString segmentServer() const;
    void setSegmentServer(const QString &address);
    [[nodiscard]] static QVariantList segmentCategories();

Q_SIGNALS:
    void lastURLChanged();
    void volumeChanged();
    void mutedChanged();
    void preferredInstanceChanged();
    void captionLanguageChanged();
    void keepHistoryChanged();
    void maxHeightChanged();
    void autoplayNextChanged();
    void skipSegmentsChanged();
    void segmentServerChanged();

private:
    Settings();
    // Read from the store each time, so that a file changed behind our back is what counts.
    [[nodiscard]] static QVariant value(const char *key, const QVariant &fallback = {});
    // Writes `value` under `key` and tells of it, when it differs from what is stored.
    void store(const char *key, const QVariant &value, void (Settings::*changed)());

    mutable std::optional<QString> m_lastURL;
    QTimer m_lastURLWrite;
};

} // namespace vireo
