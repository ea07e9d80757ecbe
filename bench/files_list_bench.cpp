// Times the file list window on a large list: opening it (the scan of the ticked folder and the
// first load), then each type tab, each view and each sort tool, painted.
//   bench_file_list OUT [COUNT] [HOLD]   makes OUT/tree with COUNT (100,000) office files once;
//   with HOLD the window stays on screen that many seconds afterwards, for a look at it

#include "common/QdGrid.h"
#include "common/places.h"
#include "db/database.h"
#include "filecopier/frmFileCopy.h"
#include "jobs/job_runner.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include <cstdio>

using namespace quenda;

namespace {

class SilentMessages : public Messages {
public:
    MsgAnswer show(const QString &text, MsgIcon, MsgButtons, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return MsgAnswer::No;
    }
};

void makeTree(const QString &tree, int count)
{
    if (QDir(tree).exists())
        return;
    const char *kinds[] = {"doc", "xls", "jpg", "pdf", "txt", "ppt", "mdb"};
    for (int i = 0; i < count; ++i) {
        const QString folder =
            QStringLiteral("%1/d%2").arg(tree).arg(i / 1000, 3, 10, QLatin1Char('0'));
        if (i % 1000 == 0)
            QDir().mkpath(folder);
        QFile file(
            QStringLiteral("%1/file%2.%3").arg(folder).arg(i).arg(QLatin1String(kinds[i % 7])));
        if (!file.open(QIODevice::WriteOnly))
            return;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_file_list OUT [COUNT]\n");
        return 2;
    }
    const QString out = QDir(args[0]).absolutePath();
    const int count = args.size() > 1 ? args[1].toInt() : 100000;
    const QString tree = out + QStringLiteral("/tree");
    makeTree(tree, count);
    Places places;
    places.programDir = out + QStringLiteral("/program");
    places.desktopDir = out + QStringLiteral("/desk");
    QDir().mkpath(places.programDir);
    QDir().mkpath(places.desktopDir);
    if (Status ready = ensureDatabase(places.databasePath()); !ready) {
        std::fprintf(stderr, "%s\n", qPrintable(ready.message()));
        return 1;
    }
    SilentMessages messages;
    Services services{&messages, nullptr, nullptr, places};

    QElapsedTimer clock;
    clock.start();
    frmFileCopy window(services);
    window.setTickedFolders([tree] { return QStringList{tree}; });
    window.show();
    window.job()->wait();
    QApplication::processEvents();
    auto *grid = window.findChild<QdGrid *>(QStringLiteral("GrdOffice"));
    std::printf("open with a scan of %d files: %lld ms, %d rows listed\n", count,
                static_cast<long long>(clock.elapsed()), grid->dataRows());

    auto timed = [&](const char *what, const std::function<void()> &action) {
        clock.restart();
        action();
        grid->repaint();
        QApplication::processEvents();
        std::printf("  %-22s %4lld ms, %d rows\n", what, static_cast<long long>(clock.elapsed()),
                    grid->dataRows());
    };
    auto *tabs = window.findChild<QTabBar *>(QStringLiteral("SSActiveTabs1"));
    for (int i = 1; i < tabs->count(); ++i)
        timed(qPrintable(QStringLiteral("tab ") + tabs->tabText(i)),
              [&] { Q_EMIT tabs->tabBarClicked(i); });
    timed("tab All", [&] { Q_EMIT tabs->tabBarClicked(0); });
    timed("Go to Details",
          [&] { window.findChild<QPushButton *>(QStringLiteral("Simple"))->click(); });
    for (const char *sort : {"SortbyName", "SortbyType", "SortbySize"})
        timed(sort, [&] { window.findChild<QAction *>(QLatin1String(sort))->trigger(); });
    timed("Select All",
          [&] { window.findChild<QPushButton *>(QStringLiteral("CmdSelectAll"))->click(); });
    timed("Save", [&] { window.findChild<QPushButton *>(QStringLiteral("CmdSave"))->click(); });
    if (args.size() > 2) {
        QTimer::singleShot(args[2].toInt() * 1000, &app, &QApplication::quit);
        return QApplication::exec();
    }
    return 0;
}
