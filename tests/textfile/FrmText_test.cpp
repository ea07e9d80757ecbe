#include "common/QdGrid.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"
#include "textfile/FrmText.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

struct TextWindowTest : ::testing::Test {
    TempPlaces places;
    TestServices doubles;

    std::unique_ptr<FrmText> open()
    {
        auto w = std::make_unique<FrmText>(doubles.services(places.places()));
        w->show();
        return w;
    }
    void importThroughDialog(FrmText &w, const QString &path)
    {
        doubles.dialogs.openAnswers = {path};
        QTest::mouseClick(control<QPushButton>(&w, "CmdImport"), Qt::LeftButton);
        w.job()->wait();
    }
    QString outputPath() const { return places.desktopDir() + "/QDFile.txt"; }
    QString contacts() const
    {
        return places.writeFile("home/contacts.csv", "Name,Phone\r\nSmith,555 0100\r\n");
    }
};

} // namespace

TEST_F(TextWindowTest, ImportShowsTheSheetAndCmdTextWritesTheFile)
{
    auto w = open();
    importThroughDialog(*w, contacts());
    ASSERT_EQ(doubles.dialogs.openRequests.size(), 1u);
    EXPECT_TRUE(doubles.dialogs.openRequests[0].filter.contains("*.xls"));
    EXPECT_TRUE(doubles.dialogs.openRequests[0].filter.contains("*.CSV"));
    EXPECT_EQ(doubles.dialogs.openRequests[0].initialDir, places.places().homeDir);

    auto *grid = control<QdGrid>(w.get(), "Grid1");
    QAbstractItemModelTester tester(grid->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    importThroughDialog(*w, contacts()); // a second read of the same sheet under the tester
    EXPECT_EQ(grid->cols(), 25);
    EXPECT_EQ(grid->dataRows(), 49);
    EXPECT_TRUE(grid->isColumnHidden(0));
    EXPECT_EQ(grid->colHeader(1), "Name");
    EXPECT_EQ(grid->text(1, 2), "555 0100");

    QTest::mouseClick(control<QPushButton>(w.get(), "CmdText"), Qt::LeftButton);
    EXPECT_EQ(doubles.messages.texts(), QStringList{"File saved on " + outputPath()});
    EXPECT_TRUE(readAll(outputPath()).endsWith(QByteArray("\r\n\r\n").repeated(48)));

    // The second tab writes the file again, with the chosen format, and shows it.
    control<QRadioButton>(w.get(), "Opt2")->setChecked(true);
    control<QTabWidget>(w.get(), "Tabs1")->setCurrentIndex(1);
    EXPECT_EQ(doubles.messages.texts().size(), 2);
    EXPECT_EQ(control<QPlainTextEdit>(w.get(), "Rtb")->toPlainText(),
              "\n\nName:       Smith\nPhone:      555 0100\n");
}

TEST_F(TextWindowTest, ASourceThatIsTheOutputIsNeverWrittenOver)
{
    const QByteArray sheet = "Name,City\r\nAnn,Oslo\r\n";
    places.writeFile("Desktop/QDFile.txt", sheet);
    auto w = open();
    importThroughDialog(*w, outputPath());
    EXPECT_EQ(control<QdGrid>(w.get(), "Grid1")->text(1, 2), "Oslo");
    QTest::mouseClick(control<QPushButton>(w.get(), "CmdText"), Qt::LeftButton);
    ASSERT_EQ(doubles.messages.texts().size(), 1);
    EXPECT_TRUE(doubles.messages.texts()[0].contains("own source"))
        << doubles.messages.texts()[0].toStdString();
    control<QTabWidget>(w.get(), "Tabs1")->setCurrentIndex(1);
    EXPECT_EQ(doubles.messages.texts().size(), 2) << "the second tab refuses it too";
    EXPECT_EQ(readAll(outputPath()), sheet);
}

TEST_F(TextWindowTest, AFileThatCannotBeReadLeavesTheGridAsItWas)
{
    auto w = open();
    importThroughDialog(*w, contacts());
    importThroughDialog(*w, places.writeFile("home/broken.xls", QByteArray(600, 'x')));
    ASSERT_EQ(doubles.messages.shown.size(), 1u);
    EXPECT_EQ(doubles.messages.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(doubles.messages.shown[0].text.contains("broken.xls"));
    EXPECT_EQ(control<QdGrid>(w.get(), "Grid1")->colHeader(1), "Name");

    // A Desktop that cannot take the file: its reason, no "File saved".
    QDir(places.desktopDir()).removeRecursively();
    doubles.messages.shown.clear();
    QTest::mouseClick(control<QPushButton>(w.get(), "CmdText"), Qt::LeftButton);
    ASSERT_EQ(doubles.messages.shown.size(), 1u);
    EXPECT_TRUE(doubles.messages.shown[0].text.contains("No such file or directory"));
}

TEST_F(TextWindowTest, PickingListsStartInTheExcelFolderAndImportAClickedFile)
{
    const QString excel = places.root() + "/home/QDuserFiles/Exported files/Excel";
    places.writeFile("home/QDuserFiles/Exported files/Excel/Year 2/sheet.txt", "x");
    places.writeFile("home/QDuserFiles/Exported files/Excel/Year 10/b.CSV", "Name\r\nAnn\r\n");
    places.writeFile("home/QDuserFiles/Exported files/Excel/Year 10/x\\y.csv", "Name\r\nBea\r\n");
    places.writeFile("home/QDuserFiles/Exported files/Excel/notes.txt", "x");
    auto w = open();
    EXPECT_EQ(w->startFolder(), excel);
    auto *dirs = control<QListWidget>(w.get(), "Dir1");
    QStringList shown;
    for (int i = 0; i < dirs->count(); ++i)
        shown << dirs->item(i)->text();
    EXPECT_EQ(shown, (QStringList{"..", "Year 2", "Year 10"}));
    EXPECT_EQ(control<QListWidget>(w.get(), "File1")->count(), 0);

    emit dirs->itemActivated(dirs->item(2));
    auto *files = control<QListWidget>(w.get(), "File1");
    ASSERT_EQ(files->count(), 2);
    EXPECT_EQ(files->item(0)->text(), "b.CSV");
    EXPECT_EQ(files->item(1)->text(), "x\\y.csv");
    // What a row shows is only its label: the file opened is the one the row was listed for.
    files->item(1)->setText("b.CSV");
    for (const auto &[row, first] : {std::pair{1, "Bea"}, std::pair{0, "Ann"}}) {
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(files->item(row)).center());
        w->job()->wait();
        EXPECT_EQ(control<QdGrid>(w.get(), "Grid1")->text(1, 1), first) << row;
    }

    importThroughDialog(*w, contacts());
    EXPECT_EQ(doubles.dialogs.openRequests.back().initialDir, excel);
}

TEST_F(TextWindowTest, ADriveThatDoesNotAnswerIsNotReady)
{
    auto w = open();
    const QString mounts =
        places.writeFile("mountinfo", "26 1 254:0 / / rw - ext4 /dev/vda rw\n"
                                      "30 26 8:17 / /media/u/Gone rw - vfat /dev/sdb1 rw\n");
    DriveSources sources;
    sources.mountInfo = mounts;
    sources.sysRoot = places.root();
    sources.labelFolder = places.root();
    w->setDriveSources(sources);
    auto *drives = control<QComboBox>(w.get(), "Drive1");
    ASSERT_EQ(drives->count(), 2);
    const int before = drives->currentIndex();
    drives->setCurrentIndex(1);
    emit drives->activated(1);
    EXPECT_EQ(doubles.messages.texts(), QStringList{"Drive Not Ready!"});
    EXPECT_EQ(drives->currentIndex(), before);

    emit drives->activated(0);
    EXPECT_EQ(control<QLabel>(w.get(), "LblFolder")->text(), "/");
}
