// SPDX-License-Identifier: MIT
#include "session.h"
#include "startup.h"
#include "vireoapp.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(VireoPlugin)

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(u"Vireo"_s);
    QCoreApplication::setOrganizationName(u"Vireo"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(VIREO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Plays YouTube videos through public Invidious instances."_s);
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Shows this help."_s);
    const QCommandLineOption version({u"v"_s, u"version"_s}, u"Shows the version."_s);
    parser.addOptions({help, version});
    parser.addPositionalArgument(u"link"_s, u"A video link or ID, played at once (after -- when it begins with -)."_s, u"[link]"_s);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const bool parsed = parser.parse(arguments) && parser.positionalArguments().size() <= 1;
    if (!parsed || parser.isSet(help) || parser.isSet(version)) {
        // Answered in text, with no display needed.
        QCoreApplication text(argc, argv);
        if (!parsed) {
            QTextStream(stderr) << "vireo: " << (parser.errorText().isEmpty() ? u"one link at most"_s : parser.errorText())
                                << "\n\n" << parser.helpText();
            return 2;
        }
        if (parser.isSet(help))
            parser.showHelp();
        parser.showVersion();
    }
    const QString link = parser.positionalArguments().value(0);

    vireo::Startup startup(argc, argv);
    QGuiApplication::setDesktopFileName(u"org.vireo.Vireo"_s);
    vireo::VireoApp windows;
    vireo::Session session(windows);
    if (!session.start(link))
        return 0;
    // Without its first window there is nothing to show. Queued, as the first may fail before the
    // event loop runs.
    QObject::connect(&windows, &vireo::VireoApp::openFailed, &windows, [&windows] {
        if (windows.windowCount() == 0)
            QCoreApplication::exit(1);
    }, Qt::QueuedConnection);
    windows.open(link);
    return QGuiApplication::exec();
}
