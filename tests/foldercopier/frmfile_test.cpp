#include "common/QdGrid.h"
#include "db/folder_schemes.h"
#include "foldercopier/FrmProperty.h"
#include "foldercopier/folder_status.h"
#include "foldercopier/frmFile.h"
#include "fs/fresh_folder.h"
#include "fs/fs_fixture.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

namespace {

struct FolderWindowTest : ::testing::Test {
    TempPlaces places;
    TestServices doubles;
    TempTree drive;

    FolderWindowTest()
    {
        drive.file("Kid's Music/song.mp3", QByteArray(300, 's'));
        drive.file("Photos/beach.jpg", QByteArray(200, 'p'));
        drive.file("Work/plan.doc", QByteArray(100, 'w'));
        drive.file("Work/notes.txt", "hi");
    }

    void scanned(const char *scheme)
    {
        JobControl control;
        runSchemeScan(places.databasePath(), drive.root(), scheme, SchemeScanMode::Replace,
                      control);
    }
    std::unique_ptr<frmFile> open()
    {
        auto w = std::make_unique<frmFile>(doubles.services(places.places()));
        w->show();
        settle(*w);
        return w;
    }
    static void settle(frmFile &w)
    {
        while (w.job()->isRunning())
            w.job()->wait();
        w.statusSizes()->waitForIdle();
        w.paneSizes()->waitForIdle();
    }
    template <class T> static T *ctl(frmFile &w, const char *name) { return control<T>(&w, name); }
    static void click(frmFile &w, const char *name)
    {
        QTest::mouseClick(control<QPushButton>(&w, name), Qt::LeftButton);
        settle(w);
    }
    static void clickItem(QListWidget *list, int row)
    {
        list->setCurrentRow(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(list->item(row)).center());
    }
    void scan(frmFile &w, const QString &root, const QString &scheme)
    {
        click(w, "SSCommand1");
        auto *drives = ctl<QListWidget>(w, "lstDrives");
        drives->addItem(root);
        clickItem(drives, drives->count() - 1);
        ctl<QComboBox>(w, "CmbScheeme")->setEditText(scheme);
        click(w, "CdmScanDrives");
    }
    static void ctrlClick(frmFile &w, int row)
    {
        auto *grid = ctl<QdGrid>(w, "Grid1");
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, 2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, cell.center());
        settle(w);
    }
    static QString status(frmFile &w)
    {
        return ctl<QLabel>(w, "LblCount")->text() + " / " + ctl<QLineEdit>(w, "TxtSize")->text();
    }
};

} // namespace

TEST_F(FolderWindowTest, StartRecordsTheDriveAndShowsItsFoldersAndPane)
{
    auto w = open();
    click(*w, "CdmScanDrives");
    EXPECT_EQ(doubles.messages.texts(), QStringList{"Please Fill Scheme Name"});

    scan(*w, drive.root(), QStringLiteral("Mum's"));
    auto *grid = ctl<QdGrid>(*w, "Grid1");
    ASSERT_EQ(grid->dataRows(), 3);
    EXPECT_EQ(grid->text(1, QStringLiteral("FolderName")), "Kid's Music");
    EXPECT_EQ(grid->text(3, QStringLiteral("FolderSize")), "102");
    EXPECT_TRUE(grid->isColumnHidden(0) && grid->isColumnHidden(5));
    EXPECT_EQ(status(*w), "Selected folder 0 of 3 / 0");
    EXPECT_FALSE(ctl<QProgressBar>(*w, "PG3")->isVisible());
    EXPECT_EQ(ctl<QListWidget>(*w, "lstFolders")->count(), 3);
    EXPECT_EQ(ctl<QLabel>(*w, "lbl0")->text(), "Available Space:");

    // A drive that went away: the message, and the scheme keeps its rows.
    doubles.messages.shown.clear();
    scan(*w, drive.path("unplugged"), QStringLiteral("Mum's"));
    ASSERT_EQ(doubles.messages.shown.size(), 1u);
    EXPECT_EQ(doubles.messages.shown[0].text, "Drive not ready !");
    EXPECT_EQ(doubles.messages.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(grid->dataRows(), 3);
}

TEST_F(FolderWindowTest, KeysAndCtrlClickTickRowsAndTheStatusFollows)
{
    scanned("Work");
    auto w = open();
    auto *grid = ctl<QdGrid>(*w, "Grid1");
    QAbstractItemModelTester tester(grid->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(grid->dataRows(), 3);

    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    settle(*w);
    EXPECT_EQ(status(*w), "Selected folder 3 of 3 / 602");
    EXPECT_TRUE(grid->isRowMarked(2));
    EXPECT_EQ(ctl<QProgressBar>(*w, "PGFolder")->value(), 3);
    QTest::keyClick(ctl<QComboBox>(*w, "CmbScheeme"), Qt::Key_F5);
    settle(*w);
    EXPECT_EQ(status(*w), "Selected folder 0 of 3 / 0");

    ctrlClick(*w, 1);
    ctrlClick(*w, 3);
    EXPECT_EQ(status(*w), "Selected folder 2 of 3 / 402");
    ctrlClick(*w, 1);
    EXPECT_EQ(status(*w), "Selected folder 1 of 3 / 102");
    EXPECT_EQ(w->tickedFolders(), QStringList{drive.path("Work")});
    // A box ticked in place marks its row and counts like a Ctrl+click.
    grid->setChecked(2, 4, true);
    settle(*w);
    EXPECT_TRUE(grid->isRowMarked(2));
    EXPECT_EQ(status(*w), "Selected folder 2 of 3 / 302");

    // Saved ticks come back in a new window; unsaved ones do not.
    doubles.messages.answers = {MsgAnswer::Yes};
    click(*w, "CmdSave");
    EXPECT_EQ(doubles.messages.texts().last(), " This scheme will save as Work");
    ctrlClick(*w, 2);
    w.reset();
    auto again = open();
    EXPECT_EQ(status(*again), "Selected folder 2 of 3 / 302");
    EXPECT_TRUE(ctl<QdGrid>(*again, "Grid1")->isRowMarked(3));
}

TEST_F(FolderWindowTest, SchemeButtonsFindFilterAndDeleteEverything)
{
    scanned("Home");
    scanned("Work");
    ASSERT_TRUE(saveSchemeTicks(places.connect()->db(), "Home", {{drive.path("Photos"), true}}));
    auto w = open();
    auto *scheme = ctl<QComboBox>(*w, "CmbScheeme");
    EXPECT_EQ(scheme->currentText(), "Home");
    click(*w, "Command5");
    EXPECT_EQ(ctl<QdGrid>(*w, "Grid1")->dataRows(), 1);
    click(*w, "Command4");
    EXPECT_EQ(ctl<QdGrid>(*w, "Grid1")->dataRows(), 3);
    click(*w, "Command3");
    scheme->setEditText("Nobody");
    click(*w, "Command3");
    EXPECT_EQ(doubles.messages.texts(), (QStringList{"Found Home", "Not found"}));

    doubles.messages.answers = {MsgAnswer::No, MsgAnswer::Yes};
    click(*w, "CmdDelete");
    EXPECT_EQ(ctl<QdGrid>(*w, "Grid1")->dataRows(), 3);
    click(*w, "CmdDelete");
    EXPECT_EQ(ctl<QdGrid>(*w, "Grid1")->dataRows(), 0);
    EXPECT_EQ(scheme->count(), 0);
    auto c = places.connect();
    EXPECT_TRUE(folderSchemeNames(c->db())->isEmpty());
}

TEST_F(FolderWindowTest, ADesktopCopyWaitsForAnotherOneAndFailuresAreNamed)
{
    auto w = open();
    scan(*w, drive.root(), "Copy");
    ctrlClick(*w, 1);
    ctrlClick(*w, 3); // Work
    click(*w, "CmdCpview");
    ctl<QRadioButton>(*w, "OptDesktop")->setChecked(true);

    const QString copier = places.desktopDir() + "/File Copier";
    JobControl other;
    Result<PreparedFolder> held = prepareFolderForCopy(copier, {}, LockWait::Refuse, other);
    ASSERT_TRUE(held) << held.message().toStdString();
    QTest::mouseClick(ctl<QPushButton>(*w, "Command2"), Qt::LeftButton);
    // The window stays alive and says what the copy waits for.
    QTRY_VERIFY(ctl<QLabel>(*w, "LblCopyWait")->isVisible());
    EXPECT_EQ(ctl<QLabel>(*w, "LblCopyWait")->text(), copyWaitingText(copier));
    held = fail(QString());
    settle(*w);
    EXPECT_FALSE(ctl<QLabel>(*w, "LblCopyWait")->isVisible());
    EXPECT_FALSE(ctl<QProgressBar>(*w, "Pbar1")->isVisible());
    EXPECT_EQ(doubles.messages.texts(), QStringList{"Copy Complete"});
    EXPECT_TRUE(QFileInfo::exists(copier + "/Work/plan.doc"));

    // The chosen folder lies inside a ticked folder: that one is refused and named.
    doubles.messages.shown.clear();
    ctl<QRadioButton>(*w, "OptSelectedPath")->setChecked(true);
    ctl<QLineEdit>(*w, "BrowseFolder1")->setText(drive.path("Work/Backup"));
    click(*w, "Command2");
    const QStringList texts = doubles.messages.texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], "Copy Complete");
    EXPECT_TRUE(texts[1].startsWith("1 item could not be copied:\n" + drive.path("Work")));
}

TEST_F(FolderWindowTest, DriveViewerPanesAndPickedCopy)
{
    auto w = open();
    scan(*w, drive.root(), "View");
    auto *folders = ctl<QListWidget>(*w, "lstFolders");
    clickItem(folders, 2); // Work
    settle(*w);
    auto *files = ctl<QListWidget>(*w, "lstFiles");
    ASSERT_EQ(files->count(), 2);
    EXPECT_EQ(ctl<QLabel>(*w, "lbl4")->text(), "Root Folder ?:");
    EXPECT_EQ(ctl<QLineEdit>(*w, "txt5")->text(), "Work");
    EXPECT_EQ(ctl<QLineEdit>(*w, "txt10")->text(), "102");
    clickItem(files, 1);
    EXPECT_EQ(ctl<QLabel>(*w, "lbl4")->text(), "Drive:");
    EXPECT_EQ(ctl<QLineEdit>(*w, "txt10")->text(), "100");

    folders->item(0)->setSelected(true);
    folders->item(1)->setSelected(true);
    folders->item(2)->setSelected(false);
    TempTree out;
    ctl<QLineEdit>(*w, "BrowseFolder1")->setText(out.path("Merged"));
    click(*w, "Command1");
    EXPECT_EQ(out.listing("Merged"), (QStringList{"beach.jpg", "song.mp3"}));
    EXPECT_EQ(doubles.messages.texts(), QStringList{"Copy Complete"});

    doubles.messages.shown.clear();
    ASSERT_TRUE(QDir(drive.root()).removeRecursively());
    clickItem(folders, 0);
    EXPECT_EQ(doubles.messages.texts(), QStringList{"Drive not ready !"});
}

TEST_F(FolderWindowTest, ToolsActOnTheCurrentRow)
{
    auto w = open();
    scan(*w, drive.root(), "Tools");
    auto *grid = ctl<QdGrid>(*w, "Grid1");
    grid->setCurrentRowNumber(1);

    ctl<QAction>(*w, "CreateShortcutonDesktop")->trigger();
    EXPECT_EQ(doubles.messages.texts(), QStringList{"Shortcut create successfully"});
    EXPECT_TRUE(QFileInfo::exists(places.desktopDir() + "/Kid's Music.desktop"));

    ctl<QAction>(*w, "SendtoProgramLauncher")->trigger();
    auto c = places.connect();
    QSqlQuery q(c->db());
    ASSERT_TRUE(q.exec("select Application from ButtonLauncher where button_id=1") && q.next());
    EXPECT_EQ(q.value(0).toString(), drive.path("Kid's Music"));

    QString shownName, shownSize;
    QTimer::singleShot(0, w.get(), [&] {
        auto *dialog = qobject_cast<FrmProperty *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->waitForSize();
        shownName = control<QLineEdit>(dialog, "TxtName")->text();
        shownSize = control<QLineEdit>(dialog, "TxtSize")->text();
        dialog->accept();
    });
    ctl<QAction>(*w, "Property")->trigger();
    EXPECT_EQ(shownName, "Kid's Music");
    EXPECT_EQ(shownSize, "300");

    const QRect cell = grid->visualRect(grid->model()->index(1, 2));
    QTest::mouseClick(grid->viewport(), Qt::RightButton, Qt::NoModifier, cell.center());
    EXPECT_TRUE(ctl<QMenu>(*w, "Menu")->isVisible());
    EXPECT_EQ(grid->currentRowNumber(), 2);
    ctl<QMenu>(*w, "Menu")->hide();
}

TEST_F(FolderWindowTest, EscCancelsACopyAndOtherwiseCloses)
{
    auto w = open();
    scan(*w, drive.root(), "Esc");
    QTest::keyClick(w.get(), Qt::Key_Q, Qt::ControlModifier); // ticks all, as Ctrl+A does
    settle(*w);
    EXPECT_EQ(status(*w), "Selected folder 3 of 3 / 602");
    std::atomic<bool> release{false};
    JobRunner::setStartHook([&](JobControl &control) {
        while (!control.isCancelled() && !release)
            std::this_thread::yield();
    });
    click(*w, "CmdCpview");
    QTest::mouseClick(ctl<QPushButton>(*w, "Command2"), Qt::LeftButton);
    EXPECT_FALSE(ctl<QPushButton>(*w, "Command2")->isEnabled());
    QTest::keyClick(w.get(), Qt::Key_Escape);
    settle(*w);
    JobRunner::setStartHook(nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(doubles.messages.texts(),
              QStringList{"Copy cancelled. What was copied so far stays in place."});
    QTest::keyClick(w.get(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}
