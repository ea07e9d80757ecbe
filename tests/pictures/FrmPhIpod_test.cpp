#include "common/QdGrid.h"
#include "db/database.h"
#include "fs/fs_fixture.h"
#include "pictures/FrmPhIpod.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

struct PicturesWindowTest : ::testing::Test {
    TempPlaces places;
    TestServices doubles;
    TempTree tree;

    std::unique_ptr<FrmPhIpod> open()
    {
        auto w = std::make_unique<FrmPhIpod>(doubles.services(places.places()));
        w->show();
        return w;
    }
    static QdGrid *grid(FrmPhIpod &w) { return control<QdGrid>(&w, "FG1"); }
    void choose(FrmPhIpod &w, const QString &folder)
    {
        doubles.dialogs.folderAnswers = {folder};
        QTest::mouseClick(control<QToolButton>(&w, "CmdBrowse"), Qt::LeftButton);
        w.job()->wait();
    }
    void send(FrmPhIpod &w)
    {
        QTest::mouseClick(control<QPushButton>(&w, "CmdCopy"), Qt::LeftButton);
        w.job()->wait();
    }
};

} // namespace

TEST_F(PicturesWindowTest, LoadShowsTheRecordedTreeWithDestinationsInTheirColour)
{
    {
        auto c = places.connect();
        const QString sql = QStringLiteral(
            "insert into quenda_Ipod(FolderPath,FolderPath1,FolderPath2,FolderPath3) "
            "values(?,?,?,?)");
        const QVariant null(QMetaType::fromType<QString>());
        ASSERT_TRUE(execBound(c->db(), sql, {"/home/u/Pics", "Trip", null, null}));
        ASSERT_TRUE(execBound(c->db(), sql, {"/home/u/Pics", "Trip", "Day1", "Morning"}));
    }
    auto w = open();
    QdGrid *fg = grid(*w);
    QAbstractItemModelTester tester(fg->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(w->rootName(), "Pics");
    ASSERT_EQ(fg->dataRows(), 2);
    EXPECT_EQ(fg->text(2, QStringLiteral("Destination")), "Pics-Trip-Day1/Morning");
    EXPECT_EQ(fg->text(2, QStringLiteral("SubFolder2")) + fg->text(1, QStringLiteral("SubFolder1")),
              "Morning");
    EXPECT_EQ(fg->columnWidth(1), 100);

    // The destination cells are painted in their own colour, the others are not.
    QApplication::processEvents();
    const QImage shot = fg->viewport()->grab().toImage();
    const auto backAt = [&](int col) {
        const QRect cell = fg->visualRect(fg->model()->index(0, col));
        return QColor(shot.pixel(cell.right() - 3, cell.center().y()));
    };
    EXPECT_EQ(backAt(5), QColor(207, 191, 165));
    EXPECT_NE(backAt(4), QColor(207, 191, 165));
}

TEST_F(PicturesWindowTest, ChoosingAFolderScansAndSendReportsEveryFolderNotCopiedOrReplaced)
{
    tree.file(QStringLiteral("Pics/Kid's Photos/Party/cake.jpg"), "cake");
    tree.file(QStringLiteral("Pics/Trip/sea.jpg"), "sea");
    auto w = open();
    choose(*w, tree.path(QStringLiteral("Pics")));
    EXPECT_EQ(control<QLineEdit>(w.get(), "Folder1")->text(), tree.path(QStringLiteral("Pics")));
    EXPECT_EQ(grid(*w)->dataRows(), 3);
    EXPECT_TRUE(doubles.messages.shown.empty());

    send(*w);
    EXPECT_EQ(doubles.messages.texts(), QStringList{"Successfully Send"});
    EXPECT_TRUE(QFileInfo::exists(places.stagingDir() + "/Pics-Kid's Photos-Party/cake.jpg"));
    EXPECT_EQ(control<QLabel>(w.get(), "LblTest")->text(), tree.path(QStringLiteral("Pics/Trip")));
    EXPECT_EQ(control<QLabel>(w.get(), "LblDest")->text(), "Pics-Trip");

    // A folder gone since the scan: success is said for the rest, and the loss right after.
    QDir(tree.path(QStringLiteral("Pics/Trip"))).removeRecursively();
    doubles.messages.shown.clear();
    send(*w);
    ASSERT_EQ(doubles.messages.shown.size(), 2u);
    EXPECT_EQ(doubles.messages.shown[0].text, "Successfully Send");
    EXPECT_EQ(doubles.messages.shown[1].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(doubles.messages.shown[1].text.contains(tree.path(QStringLiteral("Pics/Trip"))));

    // Names that meet once flattened are told after the success message.
    tree.file(QStringLiteral("Holiday/a-b/c/photo.jpg"), "from a-b/c");
    tree.file(QStringLiteral("Holiday/a/b-c/photo.jpg"), "from a/b-c");
    const QString holiday = tree.path(QStringLiteral("Holiday"));
    doubles.messages.shown.clear();
    choose(*w, holiday);
    send(*w);
    ASSERT_EQ(doubles.messages.shown.size(), 2u);
    EXPECT_EQ(doubles.messages.shown[0].text, "Successfully Send");
    // The later row's photo remains, as before; the message says which one that is and which
    // copy it replaced.
    const QString target = places.stagingDir() + "/Holiday-a-b-c/photo.jpg";
    const bool laterIsAbC = readFile(target) == "from a-b/c";
    const QString later = holiday + (laterIsAbC ? "/a-b/c/photo.jpg" : "/a/b-c/photo.jpg");
    const QString earlier = holiday + (laterIsAbC ? "/a/b-c/photo.jpg" : "/a-b/c/photo.jpg");
    const QString text = doubles.messages.shown[1].text;
    EXPECT_TRUE(text.startsWith("1 copy replaced a file of the same name from another folder:\n" +
                                target + ": " + later + " replaced the copy of " + earlier))
        << text.toStdString();
}

TEST_F(PicturesWindowTest, AMissingFolderKeepsTheTableAndAStagingFolderNotMadeIsNoSuccess)
{
    tree.folder(QStringLiteral("Pics/Trip"));
    auto w = open();
    choose(*w, tree.path(QStringLiteral("Pics")));
    ASSERT_EQ(grid(*w)->dataRows(), 1);

    auto *folder = control<QLineEdit>(w.get(), "Folder1");
    folder->setText(tree.path(QStringLiteral("nowhere")));
    QTest::keyClick(folder, Qt::Key_Return);
    w->job()->wait();
    EXPECT_EQ(grid(*w)->dataRows(), 1);
    EXPECT_EQ(doubles.messages.texts().size(), 1);
    EXPECT_TRUE(doubles.messages.texts().value(0).contains("No such file or directory"));

    // A file where the staging folder should be.
    places.writeFile(QStringLiteral("Desktop/Ipod"), "");
    doubles.messages.shown.clear();
    send(*w);
    EXPECT_EQ(doubles.messages.texts().size(), 1);
    EXPECT_TRUE(doubles.messages.texts().value(0).contains(places.stagingDir()));
    EXPECT_NE(doubles.messages.texts().value(0), "Successfully Send");
}
