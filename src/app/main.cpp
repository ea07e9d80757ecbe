#include "app/FrmMDI.h"
#include "app/frmSplash.h"
#include "common/ui_services.h"
#include "db/database.h"

#include <QApplication>

using namespace quenda;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenda Ipod"));
    QApplication::setApplicationVersion(QStringLiteral("9.7"));

    BoxMessages messages;
    FileDialogs dialogs;
    DesktopShell shell;
    Services services{&messages, &dialogs, &shell,
                      Places::fromEnvironment(QCoreApplication::applicationDirPath())};

    // A start without a usable database would only fail later, window by window: say so now.
    QString error;
    if (!ensureDatabase(services.places.databasePath(), &error)) {
        messages.show(error, MsgIcon::Critical, MsgButtons::Ok,
                      QStringLiteral("Quenda - Ipod & Phone File Copier"));
        return 2;
    }

    FrmMDI mainWindow(services);
    auto *splash = new frmSplash(&mainWindow);
    mainWindow.setSplash(splash);
    splash->show();
    return QApplication::exec();
}
