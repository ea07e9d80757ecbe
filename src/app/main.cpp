#include "app/FrmMDI.h"
#include "app/frmSplash.h"
#include "app/program_info.h"
#include "common/ui_services.h"
#include "db/database.h"

#include <QApplication>

using namespace quenda;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenda Ipod"));
    QApplication::setApplicationVersion(QString::fromUtf8(kProgramVersion));

    BoxMessages messages;
    FileDialogs dialogs;
    DesktopShell shell;
    Services services{&messages, &dialogs, &shell,
                      Places::fromEnvironment(QCoreApplication::applicationDirPath())};

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
