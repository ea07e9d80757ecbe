#include "db/folder_schemes.h"
#include "db/launcher.h"
#include "foldercopier/folder_copy.h"
#include "foldercopier/folder_list_model.h"
#include "foldercopier/folder_status.h"
#include "foldercopier/info_panes.h"
#include "foldercopier/scheme_scan.h"
#include "fs/fs_fixture.h"
#include "jobs/job_runner.h"
#include "support/test_places.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QFile>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

namespace {

constexpr qint64 kGiB = qint64(1) << 30;

std::vector<SchemeFolderRow> rowsOf(TempPlaces &places, const QString &scheme)
{
    auto c = places.connect();
    auto rows = schemeFolderRows(c->db(), scheme);
    return rows ? *rows : std::vector<SchemeFolderRow>{};
}

QStringList namesOf(const std::vector<ListedEntry> &entries)
{
    QStringList names;
    for (const ListedEntry &e : entries)
        names << e.name;
    return names;
}

SchemeScanOutcome scan(TempPlaces &places, const QString &root, const QString &scheme,
                       SchemeScanMode mode = SchemeScanMode::Replace)
{
    JobControl control;
    return runSchemeScan(places.databasePath(), root, scheme, mode, control);
}

} // namespace

TEST(SchemeScan, RecordsTopFoldersWithSizesAndReplacesOnlyItsScheme)
{
    TempPlaces places;
    TempTree drive;
    drive.file("Kid's Music/a.mp3", QByteArray(1000, 'a'));
    drive.file("Kid's Music/deep/er/b.mp3", QByteArray(24, 'b'));
    const QString once = drive.file("Photos/one.jpg", QByteArray(500, 'p'));
    ::link(QFile::encodeName(once).constData(),
           QFile::encodeName(drive.path("Photos/same.jpg")).constData());
    drive.link("Photos/elsewhere", drive.path("Kid's Music")); // not followed
    drive.link("Shortcut", drive.path("Photos"));              // not a folder of the drive
    drive.file("loose.txt", "not a folder");
    drive.folder("Empty");

    TempTree other;
    other.folder("Old");
    scan(places, other.root(), "Mum's");
    scan(places, other.root(), "Work");

    const SchemeScanOutcome outcome = scan(places, drive.root(), "Mum's");
    EXPECT_TRUE(outcome.ready.ok());
    EXPECT_EQ(namesOf(outcome.folders), (QStringList{"Empty", "Kid's Music", "Photos"}));
    const auto rows = rowsOf(places, "Mum's");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].path, drive.path("Kid's Music"));
    EXPECT_EQ(rows[1].name, "Kid's Music");
    EXPECT_EQ((QList<std::optional<qint64>>{rows[0].size, rows[1].size, rows[2].size}),
              (QList<std::optional<qint64>>{0, 1024, 500}));
    EXPECT_FALSE(rows[0].ticked || rows[1].ticked || rows[2].ticked);
    EXPECT_EQ(rowsOf(places, "Work").size(), 1u);
    auto c = places.connect();
    EXPECT_EQ(*folderSchemeNames(c->db()), (QStringList{"Mum's", "Work"}));
}

TEST(SchemeScan, DriveNotReadyKeepsTheSchemeAndRefreshKeepsSavedTicks)
{
    TempPlaces places;
    TempTree drive;
    drive.folder("A");
    drive.folder("B");
    scan(places, drive.root(), "Work");
    {
        auto c = places.connect();
        ASSERT_EQ(
            *saveSchemeTicks(c->db(), "Work", {{drive.path("A"), true}, {drive.path("B"), false}}),
            2);
    }

    EXPECT_EQ(scan(places, drive.path("missing"), "Work").ready.message(), "Drive not ready !");
    EXPECT_EQ(rowsOf(places, "Work").size(), 2u);

    drive.folder("C");
    drive.file("A/grown.bin", QByteArray(77, 'g'));
    scan(places, drive.root(), "Work", SchemeScanMode::Refresh);
    const auto refreshed = rowsOf(places, "Work");
    ASSERT_EQ(refreshed.size(), 3u); // replaced, not added twice
    EXPECT_EQ(refreshed[0].size, 77);
    EXPECT_EQ((QList<bool>{refreshed[0].ticked, refreshed[1].ticked, refreshed[2].ticked}),
              (QList<bool>{true, false, false}));
    EXPECT_EQ(schemeRoot(refreshed), drive.root());

    // Start replaces without looking at old ticks.
    scan(places, drive.root(), "Work");
    EXPECT_FALSE(rowsOf(places, "Work")[0].ticked);
}

TEST(FolderStatus, TotalsPast2GiBAndNamesUnreadableFolders)
{
    TempTree tree;
    tree.folder("Movies");
    tree.folder("Backup/locked");
    sparseFile(tree.path("Movies/film.mkv"), 2 * kGiB + 5);
    sparseFile(tree.path("Backup/disk.img"), kGiB);
    tree.file("Backup/locked/secret.txt", "12345");

    JobControl control;
    const SizeTotal all =
        totalFolderSize({tree.path("Movies"), tree.path("Backup"), tree.path("gone")}, control);
    EXPECT_EQ(all.bytes, 3 * kGiB + 5 + 5);
    EXPECT_EQ(all.incomplete, QStringList{tree.path("gone")});

    ::chmod(QFile::encodeName(tree.path("Backup/locked")).constData(), 0);
    const std::optional<bool> partial = runUnprivileged([&] {
        JobControl own;
        const SizeTotal total = totalFolderSize({tree.path("Backup")}, own);
        return total.bytes == kGiB && total.incomplete == QStringList{tree.path("Backup")};
    });
    ::chmod(QFile::encodeName(tree.path("Backup/locked")).constData(), 0755);
    if (partial) {
        EXPECT_TRUE(*partial);
    }
}

TEST(FolderStatus, ANewerQuestionDropsTheOlderAnswer)
{
    TempTree tree;
    tree.file("small/a", "abc");
    tree.file("large/b", QByteArray(4096, 'b'));
    // The first job waits until it is cancelled, as a long walk would.
    std::atomic<int> started{0};
    JobRunner::setStartHook([&](JobControl &control) {
        if (started++ == 0)
            while (!control.isCancelled())
                std::this_thread::yield();
    });
    SizeRequests requests;
    QList<qint64> answers;
    requests.request({tree.path("small")}, [&](const SizeTotal &t) { answers << t.bytes; });
    requests.request({tree.path("large")}, [&](const SizeTotal &t) { answers << t.bytes; });
    requests.waitForIdle();
    JobRunner::setStartHook(nullptr);
    EXPECT_EQ(answers, QList<qint64>{4096});
    EXPECT_FALSE(requests.isBusy());
}

// The chosen folder merges: what a folder brings replaces, what was there stays.
TEST(FolderCopy, ChosenFolderMergesButNeverTakesAFolderIntoItself)
{
    TempTree tree;
    tree.file("Work/report.doc", "r");
    tree.file("Music/song.mp3", "s");
    tree.file("Work/backup/Music/song.mp3", "old song");
    tree.file("Work/backup/Music/kept.txt", "mine");

    FolderCopyRequest request;
    request.chosenFolder = tree.path("Work/backup");
    request.folders = {tree.path("Work"), tree.path("Music")};
    JobControl control;
    runFolderCopy(request, control);
    const auto failures = control.failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, tree.path("Work"));
    EXPECT_EQ(readFile(tree.path("Work/backup/Music/song.mp3")) +
                  readFile(tree.path("Work/backup/Music/kept.txt")),
              "smine");
    EXPECT_FALSE(QFileInfo::exists(tree.path("Work/backup/Work")));
    // The parts are the folders asked for, the refused one among them.
    const JobProgress p = control.progress();
    EXPECT_EQ((std::vector<qint64>{p.parts, p.part, p.partsDone}), (std::vector<qint64>{2, 1, 1}));

    // Merging a picked folder into the folder that holds it would overwrite its own files.
    JobControl merge;
    copyFolders({tree.path("Music")}, tree.root(), FolderCopyLayout::MergedContent, merge);
    EXPECT_EQ(merge.failureCount(), 1);
    EXPECT_FALSE(QFileInfo::exists(tree.path("song.mp3")));
}

TEST(FolderCopy, DesktopFolderIsRebuiltForEachCopy)
{
    TempTree desktop;
    TempTree src;
    src.file("A/a.txt", "a");
    src.file("B/b.txt", "b");
    const auto copy = [&](QStringList folders) {
        FolderCopyRequest request;
        request.where = CopyDestination::Desktop;
        request.desktop = desktop.root();
        request.folders = folders;
        JobControl control;
        runFolderCopy(request, control);
        return control.report();
    };
    EXPECT_TRUE(copy({src.path("A"), src.path("B")}).succeeded());
    EXPECT_TRUE(copy({src.path("B")}).succeeded());
    EXPECT_EQ(desktop.listing("File Copier"), (QStringList{"B", "B/b.txt"}));
    EXPECT_TRUE(copy({}).succeeded());
    EXPECT_TRUE(desktop.listing("File Copier").isEmpty());

    // A ticked folder inside "File Copier" would be deleted before it is copied.
    EXPECT_TRUE(copy({src.path("B")}).succeeded());
    EXPECT_FALSE(copy({desktop.path("File Copier/B")}).status.ok());
    EXPECT_EQ(readFile(desktop.path("File Copier/B/b.txt")), "b");
}

TEST(InfoPanes, DriveFolderAndFileLines)
{
    DriveInfo drive;
    drive.rootPath = "/media/stick";
    drive.device = "/dev/sdb1";
    drive.fileSystem = "vfat";
    drive.type = DriveType::Removable;
    drive.totalBytes = 8 * kGiB;
    drive.serialNumber = -1234567;
    drive.ready = true;
    const InfoPane d = drivePane(drive);
    EXPECT_EQ(d[1].label, "Drive Letter:");
    EXPECT_EQ(
        (QStringList{d[1].value, d[2].value, d[5].value, d[7].value, d[8].value, d[10].value}),
        (QStringList{"/dev/sdb1", "Removable Disk", "True", "/media/stick/", "-1234567",
                     "8589934592"}));

    TempTree tree;
    tree.folder("My Documents/.config");
    tree.link("My Documents/alias", tree.path("My Documents/.config"));
    const QString file = tree.file("My Documents/notes.txt", "hello");
    ::chmod(QFile::encodeName(file).constData(), 0444);

    const InfoPane f = *folderPane(tree.path("My Documents"));
    // No invented 8.3 forms: the short name and path are the real ones.
    EXPECT_EQ(f[8].label + f[9].label, "Short Name:Short Path:");
    EXPECT_EQ((QStringList{f[0].value, f[4].value, f[5].value, f[6].value, f[8].value, f[9].value,
                           f[11].value}),
              (QStringList{"Directory ", "False", "My Documents", tree.root(), "My Documents",
                           tree.path("My Documents"), "folder"}));
    EXPECT_EQ(attributeNames(tree.path("My Documents/.config")), "Directory Hidden ");
    EXPECT_EQ(attributeNames(tree.path("My Documents/alias")), "Alias Directory ");
    EXPECT_TRUE(isMountRoot("/"));

    const InfoPane t = *filePane(file);
    EXPECT_EQ(t[4].label, "Drive:");
    EXPECT_EQ((QStringList{t[0].value, t[4].value, t[8].value, t[9].value, t[10].value}),
              (QStringList{"ReadOnly ", driveOfPath(file).rootPath, "notes.txt", file, "5"}));
    EXPECT_FALSE(t[11].value.isEmpty());
    EXPECT_FALSE(folderPane(tree.path("nothing")).ok());

    const FolderProperties props = *folderProperties(tree.path("My Documents"));
    EXPECT_EQ(props.modified,
              QFileInfo(tree.path("My Documents")).lastModified().toString("MM-dd-yyyy"));
}

// The stored row itself is checked through the command line's "folders launcher".
TEST(Launcher, WithoutItsRowTheFirstButtonIsNotSet)
{
    TempPlaces places;
    auto c = places.connect();
    ASSERT_TRUE(QSqlQuery(c->db()).exec("delete from ButtonLauncher where button_id=1"));
    EXPECT_FALSE(setFirstLauncherButton(c->db(), "x", "/x").ok());
}

TEST(FolderCopy, PickedFoldersMergeTheirContentIntoAFolderMadeForThem)
{
    TempTree drive;
    drive.file("Photos/beach.jpg", "beach");
    drive.file("Music/song.mp3", "song");
    drive.file("Work/plan.doc", "plan");
    TempTree out;

    PickedCopyRequest request;
    request.root = drive.root();
    request.names = {"Photos", "Music", "Gone"};
    request.destination = out.path("new/Merged");
    JobControl control;
    const FolderCopyOutcome copied = runPickedCopy(request, control);
    EXPECT_EQ(out.listing("new/Merged"), (QStringList{"beach.jpg", "song.mp3"}));
    EXPECT_EQ(copied.foldersCopied, 2);
    // The bar runs over the bytes of both folders, not of the last one alone.
    EXPECT_EQ(control.progress().done, 9);
    EXPECT_EQ(control.progress().total, 9);
    ASSERT_EQ(control.failures().size(), 1u);
    EXPECT_EQ(control.failures()[0].path, drive.path("Gone"));

    // Without a usable destination nothing is copied and the copy says why.
    for (const QString &destination : {QString(), out.file("a file") + "/below"}) {
        request.destination = destination;
        JobControl refused;
        EXPECT_EQ(runPickedCopy(request, refused).foldersCopied, 0);
        EXPECT_FALSE(refused.status().ok()) << destination.toStdString();
    }
    EXPECT_EQ(out.listing().size(), 5) << "nothing was added";
}

TEST(FolderStatus, TheFolderPaneGetsItsFilesAndSizeOrTheReasonTheyAreMissing)
{
    TempTree tree;
    tree.file("Work/plan.doc", QByteArray(100, 'w'));
    tree.file("Work/notes.txt", "hi");
    tree.file("Work/deeper/more.txt", "more");
    tree.link("Work/shortcut", "/etc");
    JobControl control;
    FolderContents contents = folderContents(tree.path("Work"), control);
    EXPECT_EQ(namesOf(contents.files), (QStringList{"notes.txt", "plan.doc", "shortcut"}));
    EXPECT_EQ(contents.size.bytes, 106);
    EXPECT_TRUE(contents.listError.isEmpty());

    JobControl missing;
    contents = folderContents(tree.path("Gone"), missing);
    EXPECT_TRUE(contents.files.empty());
    EXPECT_FALSE(contents.listError.isEmpty());
}

TEST(FolderListModel, ARefreshKeepsTheWorkingTicksOfItsSchemeByPath)
{
    FolderListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRows({{"/d/A", "A", 1, true, "Mum's"},
                   {"/d/B", "B", 2, false, "Mum's"},
                   {"/e/C", "C", 3, true, "Work"}});
    const QHash<QString, bool> working = model.ticksOfScheme("Mum's");
    EXPECT_EQ(working, (QHash<QString, bool>{{"/d/A", true}, {"/d/B", false}}));

    // The rescan brings B back saved as ticked and a new folder D; A is gone.
    model.setRows({{"/d/B", "B", 2, true, "Mum's"}, {"/d/D", "D", 4, true, "Mum's"}});
    model.restoreTicks(working);
    EXPECT_FALSE(model.row(0).ticked) << "the unsaved untick wins over the saved tick";
    EXPECT_TRUE(model.row(1).ticked) << "a folder the window never saw keeps its saved tick";
    EXPECT_EQ(model.tickedPaths(), QStringList{"/d/D"});
    EXPECT_EQ(model.index(1, 1).data(RowMarkRole).toInt(), static_cast<int>(RowMark::Marked));
}

TEST(FolderCopy, ProblemsAreToldInOneTextWithALongListCut)
{
    std::vector<ItemFailure> one{{"/d/a.txt", "Permission denied"}};
    EXPECT_EQ(copyProblemsText({}, one),
              "1 item could not be copied:\n/d/a.txt: Permission denied");
    std::vector<ItemFailure> many;
    for (int i = 0; i < 25; ++i)
        many.push_back({QStringLiteral("/d/%1").arg(i), "gone"});
    const QStringList lines = copyProblemsText({}, many).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 22);
    EXPECT_EQ(lines.front(), "25 items could not be copied:");
    EXPECT_EQ(lines.back(), "and 5 more");

    FolderCopyOutcome replaced;
    replaced.replaced.push_back({"/t/x", "/s/x", {}});
    EXPECT_TRUE(copyProblemsText(replaced, one)
                    .startsWith(QStringLiteral("1 item could not be copied:\n/d/a.txt: Permission "
                                               "denied\n\n")));
}
