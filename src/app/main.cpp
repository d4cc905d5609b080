// SPDX-License-Identifier: MIT
#include "vireoapp.h"

#include <QGuiApplication>
#include <QtQml/qqmlextensionplugin.h>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

Q_IMPORT_QML_PLUGIN(VireoPlugin)

int main(int argc, char *argv[])
{
    // WebEngine must set up its shared context before the application object exists; its
    // processes still start only when an embed view is first made.
    QtWebEngineQuick::initialize();
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Vireo"));
    QGuiApplication::setOrganizationName(QStringLiteral("Vireo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vireo.Vireo"));

    vireo::VireoApp windows;
    if (!windows.newWindow())
        return 1;
    return app.exec();
}
