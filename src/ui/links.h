// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqml.h>

namespace vireo {

// The page that hosts the service's embeddable player for one video, asking for captions in
// `captionLanguage` when it names one, and to start at `start` seconds when that is above 0. The ID goes in unescaped, which is safe only because a video
// ID is 11 ASCII letters, digits, "-" or "_"; a language that is not a plain code is left out.
[[nodiscard]] QString embedPage(const QString &videoID, const QString &captionLanguage = {}, int start = -1);

// What the view needs of links, with the policy kept out of QML.
class Links : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QUrl serviceBase READ serviceBase CONSTANT FINAL)
public:
    using QObject::QObject;

    [[nodiscard]] static QUrl serviceBase();
    Q_INVOKABLE static bool hasVideoID(const QString &text);
    // With the captions the user prefers.
    Q_INVOKABLE static QString embedPage(const QString &videoID, int start);
    // The model's current video when it has one, else the video named in the field; nothing when neither.
    Q_INVOKABLE static QUrl browserTarget(const QUrl &browserURL, const QString &text);
    Q_INVOKABLE static void openInBrowser(const QUrl &browserURL, const QString &text);
};

} // namespace vireo
