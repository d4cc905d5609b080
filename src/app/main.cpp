// SPDX-License-Identifier: MIT
#include "vireoapp.h"

#include <QGuiApplication>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(VireoPlugin)

int main(int argc, char *argv[])
{
    vireo::VireoApp::prepare();
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Vireo"));
    QGuiApplication::setOrganizationName(QStringLiteral("Vireo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vireo.Vireo"));

    vireo::VireoApp windows;
    if (!windows.newWindow())
        return 1;
    return app.exec();
}
