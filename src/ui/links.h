// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqml.h>

namespace vireo {

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
