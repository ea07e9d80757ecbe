#include "db/picture_folders.h"
#include "fs/fs_fixture.h"
#include "pictures/picture_names.h"
#include "pictures/picture_scan.h"
#include "pictures/picture_send.h"
#include "support/test_places.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <utime.h>

using namespace quenda;
using namespace quenda::test;

namespace {

PictureFolderRow row(const QString &folder, QStringList names)
{
    return PictureFolderRow{folder, std::move(names)};
}

struct PictureLogicTest : ::testing::Test {
    TempPlaces places;
    TempTree tree;

    QString pics() const { return tree.path(QStringLiteral("Pics")); }
    std::vector<PictureFolderRow> scan(JobReport *report = nullptr, QString folder = QString())
    {
        JobControl control;
        (void)runPictureScan(places.databasePath(), folder.isEmpty() ? pics() : folder, control);
        if (report)
            *report = control.report();
        return recorded();
    }
    std::vector<PictureFolderRow> recorded()
    {
        auto c = places.connect();
        Result<std::vector<PictureFolderRow>> rows = pictureFolderRows(c->db());
        return rows ? *rows : std::vector<PictureFolderRow>{};
    }
    PictureSendOutcome send(JobReport *report = nullptr)
    {
        JobControl control;
        PictureSendOutcome outcome =
            runPictureSend(places.databasePath(), places.stagingDir(), control);
        if (report)
            *report = control.report();
        return outcome;
    }
    QString staged(const QString &relative) const
    {
        return places.stagingDir() + QLatin1Char('/') + relative;
    }
};

} // namespace

TEST(PictureNames, LevelsJoinAndNestAndUnsafeNamesAreRefused)
{
    const QString root = QStringLiteral("Pics");
    EXPECT_EQ((QStringList{destinationName(root, {"Trip"}), destinationName(root, {"Trip", "Day1"}),
                           destinationName(root, {"Trip", "Day1", "Morning", "Dawn"})}),
              (QStringList{"Pics-Trip", "Pics-Trip-Day1", "Pics-Trip-Day1/Morning/Dawn"}));
    EXPECT_EQ(sourcePathOf(row("/p/Pics", {"Trip", "Day1", "Morning"})),
              "/p/Pics/Trip/Day1/Morning");
    // The root of the file system is recorded as "/" and has no name of its own.
    EXPECT_EQ(recordedFolderPath(QStringLiteral("/")), "/");
    EXPECT_EQ(recordedFolderPath(QStringLiteral("/p/Pics/")), "/p/Pics");
    EXPECT_EQ(rootNameOf(QStringLiteral("/")), "");
    EXPECT_EQ(sourcePathOf(row("/", {"media"})), "/media");

    EXPECT_EQ(*destinationPath("/s/Ipod", root, {"Kid's Photos", "Day 1", "Noon"}),
              "/s/Ipod/Pics-Kid's Photos-Day 1/Noon");
    // Names out of a table edited by hand must not lead outside the staging folder.
    for (const QStringList &names : {QStringList{"Trip", "Day1", ".."}, QStringList{"..", "x"},
                                     QStringList{"a/../../b"}, QStringList{QString(256, 'n')}})
        EXPECT_FALSE(destinationPath("/s/Ipod", root, names)) << names.join('/').toStdString();
    EXPECT_FALSE(destinationPath("/s/Ipod", QString(), {}));
}

TEST_F(PictureLogicTest, ScanRecordsFourLevelsParentsFirstInNaturalOrder)
{
    tree.folder(QStringLiteral("Pics/Trip/Day 10/Morning/Dawn/Five"));
    tree.folder(QStringLiteral("Pics/Trip/Day 2"));
    tree.file(QStringLiteral("Pics/Kid's Photos/Party/cake.jpg"));
    tree.file(QStringLiteral("Pics/top.jpg"));
    // Links are never rows, and a loop must not trap the walk.
    tree.link(QStringLiteral("Pics/Trip/again"), QStringLiteral(".."));
    tree.link(QStringLiteral("Pics/elsewhere"), tree.root());

    const QString p = pics();
    const std::vector<PictureFolderRow> expected{
        row(p, {"Kid's Photos"}),
        row(p, {"Kid's Photos", "Party"}),
        row(p, {"Trip"}),
        row(p, {"Trip", "Day 2"}),
        row(p, {"Trip", "Day 10"}),
        row(p, {"Trip", "Day 10", "Morning"}),
        row(p, {"Trip", "Day 10", "Morning", "Dawn"}),
    };
    JobReport report;
    EXPECT_EQ(scan(&report), expected);
    EXPECT_TRUE(report.succeeded());
    // The levels a row does not reach are nulls, not empty texts.
    {
        auto c = places.connect();
        QSqlQuery q(c->db());
        ASSERT_TRUE(q.exec(QStringLiteral("select count(*) from quenda_Ipod where FolderPath3 is "
                                          "null and FolderPath4 is null")) &&
                    q.next());
        EXPECT_EQ(q.value(0).toInt(), 5);
    }

    // The same folder again gives the same rows; a folder without sub-folders empties the table.
    EXPECT_EQ(scan(), expected);
    EXPECT_TRUE(scan(nullptr, tree.folder(QStringLiteral("Empty"))).empty());
}

TEST_F(PictureLogicTest, SendCopiesEachRowMergingAndKeepsTimesAndExtraFiles)
{
    tree.file(QStringLiteral("Pics/Trip/t.jpg"), "trip");
    tree.file(QStringLiteral("Pics/Trip/Day1/d.jpg"), "day");
    const QString old = tree.file(QStringLiteral("Pics/Trip/Day1/Morning/a.jpg"), "morning");
    tree.file(QStringLiteral("Pics/Trip/Day1/Morning/Dawn/Five/f.jpg"), "five");
    const utimbuf then{1000000000, 1000000000};
    ASSERT_EQ(utime(QFile::encodeName(old).constData(), &then), 0);
    scan();

    // The staging folder is missing: the send makes it.
    ASSERT_FALSE(QFileInfo::exists(places.stagingDir()));
    PictureSendOutcome outcome = send();
    EXPECT_EQ(outcome.rows, 4);
    EXPECT_EQ(outcome.copied, 4);
    EXPECT_TRUE(outcome.notCopied.empty());
    EXPECT_EQ(readFile(staged("Pics-Trip/Day1/Morning/a.jpg")), "morning");
    EXPECT_EQ(readFile(staged("Pics-Trip-Day1/d.jpg")), "day");
    EXPECT_EQ(readFile(staged("Pics-Trip-Day1/Morning/a.jpg")), "morning");
    // The fifth level has no row of its own and travels inside its ancestors.
    EXPECT_EQ(readFile(staged("Pics-Trip-Day1/Morning/Dawn/Five/f.jpg")), "five");
    EXPECT_EQ(QFileInfo(staged("Pics-Trip-Day1/Morning/a.jpg")).lastModified().toSecsSinceEpoch(),
              1000000000);

    // Sending again replaces what came from the source and leaves the user's own files.
    tree.file(QStringLiteral("Pics/Trip/t.jpg"), "trip, edited");
    places.writeFile(QStringLiteral("Desktop/Ipod/Pics-Trip/mine.txt"), "mine");
    outcome = send();
    EXPECT_EQ(outcome.copied, 4);
    EXPECT_EQ(readFile(staged("Pics-Trip/t.jpg")), "trip, edited");
    EXPECT_TRUE(QFileInfo::exists(staged("Pics-Trip/mine.txt")));
}

TEST_F(PictureLogicTest, LinksTravelAsLinksAndAVanishedFolderIsReportedNotSkipped)
{
    tree.file(QStringLiteral("Pics/A/a.jpg"));
    tree.link(QStringLiteral("Pics/A/loop"), QStringLiteral(".."));
    tree.folder(QStringLiteral("Pics/B"));
    scan();
    QDir(tree.path(QStringLiteral("Pics/B"))).removeRecursively();

    JobReport report;
    const PictureSendOutcome outcome = send(&report);
    EXPECT_EQ(QFileInfo(staged("Pics-A/loop")).symLinkTarget(),
              QFileInfo(places.stagingDir()).absoluteFilePath());
    EXPECT_EQ(outcome.copied, 1);
    ASSERT_EQ(outcome.notCopied.size(), 1u);
    EXPECT_EQ(outcome.notCopied[0].source, tree.path(QStringLiteral("Pics/B")));
    EXPECT_EQ(outcome.notCopied[0].destination, "Pics-B");
    EXPECT_FALSE(report.succeeded());
    const QString message = notCopiedMessage(outcome);
    EXPECT_TRUE(message.startsWith(QStringLiteral("1 of 2 folders was not copied in full:\n")));
    EXPECT_TRUE(message.contains(tree.path(QStringLiteral("Pics/B")) + " -> Pics-B"));
}

TEST_F(PictureLogicTest, AFullDeviceIsReportedPerFolder)
{
    TmpfsMount small(places.stagingDir(), "size=64k");
    if (!small.mounted())
        GTEST_SKIP() << "mounting needs root";
    tree.file(QStringLiteral("Pics/Big/big.jpg"), QByteArray(256 * 1024, 'b'));
    tree.file(QStringLiteral("Pics/Small/s.jpg"), "s");
    scan();
    const PictureSendOutcome outcome = send();
    ASSERT_EQ(outcome.notCopied.size(), 1u);
    EXPECT_TRUE(outcome.notCopied[0].reason.contains(QStringLiteral("No space left on device")));
    EXPECT_EQ(readFile(staged("Pics-Small/s.jpg")), "s");
    EXPECT_FALSE(QFileInfo::exists(staged("Pics-Big/big.jpg")));
}

TEST_F(PictureLogicTest, CancelStopsBetweenFoldersAndKeepsWhatWasSent)
{
    for (int i = 1; i <= 6; ++i)
        tree.file(QStringLiteral("Pics/F%1/photo.jpg").arg(i), QByteArray(64 << 10, 'p'));
    const std::vector<PictureFolderRow> rows = scan();
    ASSERT_EQ(rows.size(), 6u);
    JobControl control;
    const PictureSendOutcome outcome =
        sendPictureFolders(rows, places.stagingDir(), control, [&](int row) {
            if (row == 1)
                control.cancel();
        });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.copied, 2);
    const JobProgress p = control.progress();
    EXPECT_EQ((std::vector<qint64>{p.parts, p.part, p.partsDone}), (std::vector<qint64>{6, 1, 2}));
    EXPECT_EQ(readFile(staged("Pics-F2/photo.jpg")).size(), 64 << 10);
    EXPECT_FALSE(QFileInfo::exists(staged("Pics-F3")));
    EXPECT_TRUE(sendCancelledMessage(outcome).startsWith(QStringLiteral("Send to Desktop was "
                                                                        "stopped")));
}
