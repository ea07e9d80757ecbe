#include "app/FrmMDI.h"
#include "app/frmSplash.h"
#include "app/program_info.h"
#include "common/ui_services.h"
#include "db/database.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

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
    splash->show();
    return QApplication::exec();
}
