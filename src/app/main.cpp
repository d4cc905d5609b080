// SPDX-License-Identifier: MIT
#include <QGuiApplication>
#include <QWindow>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QWindow window;
    window.setTitle(QStringLiteral("Vireo"));
    window.resize(640, 480);
    window.show();
    return app.exec();
}
