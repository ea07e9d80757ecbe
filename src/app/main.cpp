#include "app/FrmMDI.h"
#include "app/frmSplash.h"
#include "app/program_info.h"
#include "app/window_registry.h"
#include "common/ui_services.h"
#include "db/database.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>

#include <cstdio>

using namespace quenda;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenda Ipod"));
    QApplication::setApplicationVersion(QString::fromUtf8(kProgramVersion));
    // Ties the windows to the installed menu entry (task bars group and label them by it).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quenda.Ipod"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/org.quenda.Ipod.png").arg(size));
    QApplication::setWindowIcon(icon);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kProgramTitle));
    parser.addHelpOption();
    parser.addVersionOption();
    QStringList functions;
    for (const WindowEntry &entry : windowRegistry())
        if (entry.keyword)
            functions << QString::fromLatin1(entry.keyword);
    const QCommandLineOption open(
        QStringLiteral("open"),
        QStringLiteral("Open a function at start: %1.").arg(functions.join(QStringLiteral(", "))),
        QStringLiteral("function"));
    parser.addOption(open);
    // A usage error ends with status 2, as the command-line tool's do.
    if (!parser.parse(QCoreApplication::arguments())) {
        fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    const QString startFunction = parser.value(open).toLower();
    if (!startFunction.isEmpty() && !windowForKeyword(startFunction)) {
        fprintf(stderr, "%s\n",
                qPrintable(QStringLiteral("No function is called %1; one of: %2.")
                               .arg(parser.value(open), functions.join(QStringLiteral(", ")))));
        return 2;
    }

    BoxMessages messages;
    FileDialogs dialogs;
    DesktopShell shell;
    Services services{&messages, &dialogs, &shell,
                      Places::fromEnvironment(QCoreApplication::applicationDirPath())};

    // An installed program's first start: its data folder does not exist yet.
    if (services.places.programDir == userDataDir() && !services.places.ensureProgramDir()) {
        messages.show(QStringLiteral("The folder %1 cannot be created.")
                          .arg(QDir::toNativeSeparators(services.places.programDir)),
                      MsgIcon::Critical, MsgButtons::Ok, QString::fromUtf8(kProgramTitle));
        return 2;
    }

    // A start without a usable database would only fail later, window by window: say so now.
    if (const Status ready = ensureDatabase(services.places.databasePath()); !ready) {
        messages.show(ready.message(), MsgIcon::Critical, MsgButtons::Ok,
                      QString::fromUtf8(kProgramTitle));
        return 2;
    }

    FrmMDI mainWindow(services);
    auto *splash = new frmSplash(&mainWindow);
    mainWindow.setSplash(splash);
    mainWindow.setStartFunction(startFunction);
    splash->show();
    return QApplication::exec();
}
