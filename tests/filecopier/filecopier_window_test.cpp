#include "common/QdGrid.h"
#include "db/database.h"
#include "db/scans.h"
#include "filecopier/FrmFMSaveFolder.h"
#include "filecopier/frmFileCopy.h"
#include "filecopier/scan_dates.h"
#include "fs/fresh_folder.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

struct FileCopierWindowTest : ::testing::Test {
    TempPlaces places;
    TestServices doubles;
    QStringList ticked;

    QString at(const QString &relative) const { return QDir(places.root()).filePath(relative); }
    std::unique_ptr<frmFileCopy> open()
    {
        auto w = std::make_unique<frmFileCopy>(doubles.services(places.places()));
        w->setTickedFolders([this] { return ticked; });
        w->show();
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w.get());
        w->job()->wait();
        return w;
    }
    static QdGrid *grid(frmFileCopy &w) { return control<QdGrid>(&w, "GrdOffice"); }
    static QStringList column(frmFileCopy &w, const char *key)
    {
        QStringList out;
        for (int r = 1; r <= grid(w)->dataRows(); ++r)
            out << grid(w)->text(r, QString::fromLatin1(key));
        return out;
    }
    static QStringList tickedPaths(frmFileCopy &w)
    {
        QStringList out;
        QdGrid *g = grid(w);
        for (int r = 1; r <= g->dataRows(); ++r)
            if (g->isChecked(r, g->colIndex("SelectFile")))
                out << g->text(r, "Path");
        return out;
    }
    QStringList savedTicks()
    {
        auto c = places.connect();
        Result<QStringList> paths = selectedOfficeFilePaths(c->db());
        return paths ? *paths : QStringList{"unreadable"};
    }
    static void click(frmFileCopy &w, const char *name)
    {
        QTest::mouseClick(control<QPushButton>(&w, name), Qt::LeftButton);
        w.job()->wait();
    }
    static void trigger(frmFileCopy &w, const char *name)
    {
        control<QAction>(&w, name)->trigger();
        w.job()->wait();
    }
    static void doubleClickName(frmFileCopy &w, int row)
    {
        QdGrid *g = grid(w);
        const QRect cell = g->visualRect(g->model()->index(row - 1, 0));
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cell.center());
    }
};

} // namespace

TEST_F(FileCopierWindowTest, ActivationScansTheTickedFoldersAndTheScanCommandAddsAgain)
{
    places.writeFile("src/Report.DOC", "r");
    places.writeFile("src/pics/beach.jpg", "b");
    places.writeFile("other/Form.pdf", "f");
    ticked = {at("src")};
    auto w = open();
    EXPECT_EQ(column(*w, "App"), (QStringList{"Report.DOC", "beach.jpg"}));
    EXPECT_EQ(control<QLineEdit>(w.get(), "FolderViewOff")->text(), at("src"));
    auto *tabs = control<QTabWidget>(w.get(), "Tabs1");
    EXPECT_FALSE(tabs->isTabEnabled(1));

    auto *types = control<QTabBar>(w.get(), "SSActiveTabs1");
    QTest::mouseClick(types, Qt::LeftButton, {}, types->tabRect(1).center());
    EXPECT_EQ(column(*w, "App"), QStringList{"Report.DOC"});

    control<QLineEdit>(w.get(), "FolderViewOff")->setText(at("other"));
    click(*w, "CmdScanOff");
    EXPECT_EQ(types->currentIndex(), 0);
    EXPECT_EQ(grid(*w)->dataRows(), 3);

    click(*w, "cmdNext");
    EXPECT_TRUE(tabs->isTabEnabled(1));
    EXPECT_EQ(tabs->currentIndex(), 1);
    click(*w, "CmdBack");
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_FALSE(tabs->isTabEnabled(1));
    EXPECT_TRUE(doubles.messages.shown.empty());
}

TEST_F(FileCopierWindowTest, DoubleClickTicksTheRowByPathSaveWritesEachRowAndRescanClears)
{
    places.writeFile("A/a.doc", "");
    places.writeFile("B/a.doc", "");
    places.writeFile("B/b.xls", "");
    ticked = {at("A"), at("B")};
    auto w = open();
    // Ticks, marks, saves and rescans below all go through the file list's model.
    QAbstractItemModelTester tester(grid(*w)->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(grid(*w)->dataRows(), 3);
    // The two a.doc rows, whichever order the list gives them.
    const QString first = grid(*w)->text(1, "Path");
    const QString second = grid(*w)->text(2, "Path");
    ASSERT_EQ(QFileInfo(second).fileName(), QFileInfo(first).fileName());
    ASSERT_NE(first, second);

    // A file of the same name in another folder keeps its own tick, in the list and the table.
    doubleClickName(*w, 2);
    EXPECT_EQ(tickedPaths(*w), QStringList{second});
    EXPECT_EQ(savedTicks(), QStringList{second});
    doubleClickName(*w, 1);
    doubleClickName(*w, 2);
    EXPECT_EQ(tickedPaths(*w), QStringList{first});

    grid(*w)->setChecked(1, grid(*w)->colIndex("SelectFile"), false);
    grid(*w)->setChecked(2, grid(*w)->colIndex("SelectFile"), true);
    click(*w, "CmdSave");
    EXPECT_EQ(savedTicks(), QStringList{second});

    QTest::keyClick(grid(*w), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(tickedPaths(*w).size(), 3);
    EXPECT_TRUE(grid(*w)->isRowMarked(2));
    EXPECT_EQ(savedTicks(), QStringList{second}); // not saved until Save
    QTest::keyClick(grid(*w), Qt::Key_F5);
    EXPECT_TRUE(tickedPaths(*w).isEmpty());
    EXPECT_FALSE(grid(*w)->isRowMarked(2));

    // Closing a dialog of the window scans again: the rows come back without ticks.
    QTimer::singleShot(0, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    grid(*w)->setCurrentRowNumber(2);
    trigger(*w, "Properties");
    EXPECT_EQ(grid(*w)->dataRows(), 3);
    EXPECT_TRUE(savedTicks().isEmpty());
}

TEST_F(FileCopierWindowTest, DeletesAskFirstAndNeverTouchTheFiles)
{
    const QString kept = places.writeFile("src/Kid's Report.doc", "k");
    places.writeFile("src/other.txt", "o");
    ticked = {at("src")};
    auto w = open();
    grid(*w)->setCurrentRowNumber(1);
    doubles.messages.answers = {MsgAnswer::No};
    trigger(*w, "DeleteOff");
    EXPECT_EQ(grid(*w)->dataRows(), 2);
    trigger(*w, "DeleteOff");
    EXPECT_EQ(column(*w, "App"), QStringList{"other.txt"});
    EXPECT_EQ(doubles.messages.texts().last(), " You want to delete this Record");

    doubles.messages.answers = {MsgAnswer::No};
    trigger(*w, "DeleteAllOff");
    EXPECT_EQ(grid(*w)->dataRows(), 1);
    trigger(*w, "DeleteAllOff");
    EXPECT_EQ(grid(*w)->dataRows(), 0);
    EXPECT_EQ(readAll(kept), QByteArray("k"));
}

TEST_F(FileCopierWindowTest, OpenShortcutAndThePhotoViewerOfThePictureTab)
{
    const QString picture = places.writeFile("src/beach.jpg", "b");
    ticked = {at("src")};
    const QString viewer = places.writeFile("program/Quenda Photo Viewer", "#!");
    auto w = open();
    grid(*w)->setCurrentRowNumber(1);
    click(*w, "CmdOpen");
    EXPECT_EQ(doubles.shell.opened, QStringList{picture}); // not executable yet

    QFile::setPermissions(viewer, QFile::permissions(viewer) | QFileDevice::ExeOwner);
    auto *types = control<QTabBar>(w.get(), "SSActiveTabs1");
    QTest::mouseClick(types, Qt::LeftButton, {}, types->tabRect(4).center());
    grid(*w)->setCurrentRowNumber(1);
    click(*w, "CmdOpen");
    EXPECT_EQ(doubles.shell.started, QStringList{viewer + QLatin1Char(' ') + picture});

    trigger(*w, "CreateShortcutonDesktop");
    const QString entry = places.desktopDir() + "/beach.jpg.desktop";
    EXPECT_TRUE(readAll(entry).contains("beach.jpg"));
    EXPECT_EQ(doubles.messages.texts(), QStringList{"Shortcut create successfully"});
}

TEST_F(FileCopierWindowTest, ACopyToTheDesktopWaitsForAnotherOneAndReportsWhatDidNotArrive)
{
    places.writeFile("src/a.doc", "a");
    const QString gone = places.writeFile("src/gone.doc", "g");
    ticked = {at("src")};
    auto w = open();
    QTest::keyClick(grid(*w), Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(QFile::remove(gone));
    click(*w, "cmdNext");
    control<QRadioButton>(w.get(), "OptDesktop")->setChecked(true);
    control<QRadioButton>(w.get(), "OptCopyAllFiles")->setChecked(true);

    // Another copy (a second window, or the command line) holds the folder.
    const QString copier = places.desktopDir() + "/File Copier";
    JobControl other;
    Result<PreparedFolder> held = prepareFolderForCopy(copier, {}, LockWait::Refuse, other);
    ASSERT_TRUE(held) << held.message().toStdString();
    QTest::mouseClick(control<QPushButton>(w.get(), "CmdCopy"), Qt::LeftButton);
    // The window is not blocked: its job waits and says why.
    QTRY_COMPARE(w->job()->progress().item, copyWaitingText(copier));

    held = fail(QString()); // the other copy ends
    w->job()->wait();
    EXPECT_EQ(QDir(copier).entryList(QDir::Files), QStringList{"a.doc"});
    ASSERT_EQ(doubles.messages.shown.size(), 2u);
    EXPECT_EQ(doubles.messages.shown[0].text, "Copy Complete");
    EXPECT_TRUE(doubles.messages.shown[1].text.startsWith("1 file was not copied:\n" + gone));
}

TEST_F(FileCopierWindowTest, SchemeDialogCopiesByDateOnlyOnceAskedAndEmptiesItsOwnFolder)
{
    const QString doc = places.writeFile("src/Report.doc", "r");
    places.writeFile("Desktop/File Copier/earlier.doc", "earlier");
    {
        auto c = places.connect();
        ASSERT_TRUE(
            execBound(c->db(),
                      QStringLiteral("Insert Into qd_ScanFile(Application,Path,Type,[Date]) "
                                     "values('Report.doc',?,'doc',?)"),
                      {doc, formatScanDate(QDate(2008, 3, 5))}));
    }
    FrmFMSaveFolder dialog(doubles.services(places.places()), places.desktopDir(), {doc});
    dialog.show();
    const QString copier = places.desktopDir() + "/File Copier";
    EXPECT_EQ(control<QLineEdit>(&dialog, "BrowseFolder1")->text(), copier);
    QTest::mouseClick(control<QPushButton>(&dialog, "SSCommand9"), Qt::LeftButton);
    dialog.job()->wait();
    EXPECT_TRUE(dialog.isVisible()); // no scheme chosen yet
    EXPECT_TRUE(QFileInfo::exists(copier + "/earlier.doc"));

    control<QComboBox>(&dialog, "cboFolderWise")->setCurrentText("Year\\Month");
    QTest::mouseClick(control<QPushButton>(&dialog, "SSCommand9"), Qt::LeftButton);
    dialog.job()->wait();
    EXPECT_FALSE(QFileInfo::exists(copier + "/earlier.doc"));
    EXPECT_TRUE(QFileInfo::exists(copier + "/2008/2008-3-" + QLocale().standaloneMonthName(3) +
                                  "/Report.doc"));
    ASSERT_EQ(doubles.messages.shown.size(), 1u);
    EXPECT_EQ(doubles.messages.shown[0].text, "File saved to folder " + copier + " is completed");
    EXPECT_EQ(doubles.messages.shown[0].icon, MsgIcon::Information);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FileCopierWindowTest, LauncherMenuOffersNewOnlyWithAFreeButtonAndActsOnTheChosenOne)
{
    {
        auto c = places.connect();
        // Every button in use; button 3 starts a program.
        ASSERT_TRUE(execBound(c->db(), "update ButtonLauncher set VISIBLE=1", {}));
        ASSERT_TRUE(execBound(c->db(),
                              QStringLiteral("update ButtonLauncher set Title='Mail',"
                                             "Application=?,BGPIC='mail.png',Type='A' "
                                             "where button_id=3"),
                              {"/usr/bin/mailer"}));
    }
    auto w = open();
    auto *tabs = control<QTabWidget>(w.get(), "Tabs1");
    auto rightClickTabs = [&] {
        Q_EMIT tabs->tabBar()->customContextMenuRequested(QPoint(4, 4));
        control<QMenu>(w.get(), "ID_menu1")->close();
    };
    rightClickTabs();
    EXPECT_FALSE(control<QAction>(w.get(), "ID_Add")->isEnabled());  // every button is in use
    EXPECT_FALSE(control<QAction>(w.get(), "ID_Open")->isEnabled()); // none chosen yet

    control<QAction>(w.get(), "LauncherButton3")->trigger();
    rightClickTabs();
    ASSERT_TRUE(control<QAction>(w.get(), "ID_Open")->isEnabled());
    trigger(*w, "ID_Open");
    EXPECT_EQ(doubles.shell.started, QStringList{"/usr/bin/mailer"});

    trigger(*w, "ID_Delete");
    auto c = places.connect();
    QSqlQuery q(c->db());
    ASSERT_TRUE(q.exec(QStringLiteral("Select VISIBLE, Application, COLOUR from ButtonLauncher "
                                      "where button_id=3")) &&
                q.next());
    EXPECT_EQ(QStringList({q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}),
              QStringList({"0", "", "-2147483633"}));
    rightClickTabs();
    EXPECT_TRUE(control<QAction>(w.get(), "ID_Add")->isEnabled());
}
