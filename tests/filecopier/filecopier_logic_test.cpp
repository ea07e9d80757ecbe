#include "common/note_names.h"
#include "db/database.h"
#include "db/scans.h"
#include "filecopier/copy_schemes.h"
#include "filecopier/office_scan.h"
#include "filecopier/organised_copy.h"
#include "filecopier/scan_dates.h"
#include "fs/fs_fixture.h"
#include "notes/notes_scan.h"
#include "support/test_places.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

namespace {

struct OfficeFilesTest : ::testing::Test {
    TempPlaces places;
    std::unique_ptr<Connection> db = places.connect();

    QString path(const QString &relative) const { return QDir(places.root()).filePath(relative); }
    OfficeScanOutcome scan(const QStringList &relatives, bool rebuild, JobControl &control)
    {
        QStringList folders;
        for (const QString &r : relatives)
            folders << path(r);
        return scanOfficeFiles(db->db(), folders, rebuild, control, QLocale::c());
    }
    std::vector<QStringList> rows(OfficeTab tab = OfficeTab::All,
                                  OfficeOrder order = OfficeOrder::Recorded)
    {
        Result<std::vector<QStringList>> r = officeFileRows(db->db(), tab, order);
        EXPECT_TRUE(r.ok()) << r.message().toStdString();
        return r ? *r : std::vector<QStringList>{};
    }
    QStringList names(OfficeTab tab, OfficeOrder order = OfficeOrder::Recorded)
    {
        QStringList out;
        for (const QStringList &row : rows(tab, order))
            out << row[kOfficeApplication];
        return out;
    }
};

} // namespace

TEST_F(OfficeFilesTest, ScanRecordsEachFileWithItsTokenSizeAndDateAndTabsFilterThem)
{
    places.writeFile("docs/Report.DOC", "12345");
    places.writeFile("docs/x.PDF", "");
    places.writeFile("docs/photo.jpeg", "not one of the masks");
    places.writeFile("docs/sub/Plan.ppt", "pp");
    places.writeFile("docs/sub/notes.txt", "");
    ASSERT_EQ(::symlink("../Report.DOC", path("docs/sub/link.rtf").toUtf8()), 0);
    JobControl control;
    const OfficeScanOutcome outcome = scan({"docs"}, true, control);
    EXPECT_EQ(outcome.recorded, 5);
    EXPECT_TRUE(control.failures().empty());

    // A folder's own files by name come before its sub-folders; the link counts as its file.
    EXPECT_EQ(names(OfficeTab::All),
              (QStringList{"Report.DOC", "x.PDF", "Plan.ppt", "link.rtf", "notes.txt"}));
    const std::vector<QStringList> all = rows();
    const QStringList first{all[0][kOfficePath],   all[0][kOfficeType], all[0][kOfficeSize],
                            all[0][kOfficeSelect], all[1][kOfficeType], all[3][kOfficeSize]};
    EXPECT_EQ(first, (QStringList{path("docs/Report.DOC"), "DOC", "5", "0", "PDF", "5"}));

    EXPECT_EQ(names(OfficeTab::Word), (QStringList{"Report.DOC", "link.rtf", "notes.txt"}));
    EXPECT_EQ(names(OfficeTab::Acrobat), QStringList{"x.PDF"});
    EXPECT_EQ(names(OfficeTab::Ppt), QStringList{"Plan.ppt"});
    EXPECT_TRUE(names(OfficeTab::Picture).isEmpty());
}

TEST_F(OfficeFilesTest, ABackslashInAFileNameIsPartOfTheName)
{
    const QString odd = places.writeFile("docs.v2/back\\slash.doc", "odd");
    JobControl control;
    scan({"docs.v2"}, true, control);
    EXPECT_EQ(rows(), (std::vector<QStringList>{{"back\\slash.doc", odd, "0", "doc", "3"}}));
    // The notes' document scan takes the same name.
    NoteDateFormatter dates{QLocale::c()};
    EXPECT_EQ(describeDocument(odd, dates).application, "back\\slash.doc");
}

TEST_F(OfficeFilesTest, NestedFoldersAndRepeatedScansAddRowsWhileARebuildStartsAfresh)
{
    places.writeFile("outer/a.doc", "");
    places.writeFile("outer/inner/b.xls", "");
    JobControl control;
    scan({"outer", "outer/inner"}, true, control);
    EXPECT_EQ(names(OfficeTab::All), (QStringList{"a.doc", "b.xls", "b.xls"}));
    scan({"outer/inner"}, false, control);
    EXPECT_EQ(names(OfficeTab::Excel).size(), 3);

    ASSERT_TRUE(saveOfficeFileSelection(db->db(), {{path("outer/a.doc"), true}}));
    scan({"outer"}, true, control);
    const std::vector<QStringList> rebuilt = rows();
    ASSERT_EQ(rebuilt.size(), 2u);
    EXPECT_EQ(rebuilt[0][kOfficeSelect], "0"); // ticks go with the old rows

    // No folder at all still empties the list; a missing one is reported, not fatal.
    scan({"gone"}, true, control);
    EXPECT_TRUE(rows().empty());
    ASSERT_EQ(control.failures().size(), 1u);
    EXPECT_EQ(control.failures()[0].path, path("gone"));
}

TEST_F(OfficeFilesTest, TickByNameReachesEveryRowOfThatNameButSavingGoesByPath)
{
    for (const char *file : {"A/a.doc", "B/a.doc", "B/A.doc", "Mum's Files/Kid's Report.doc"})
        places.writeFile(file, "");
    JobControl control;
    scan({"A", "B", "Mum's Files"}, true, control);
    ASSERT_EQ(rows().size(), 4u);
    const QString kid = path("Mum's Files/Kid's Report.doc");
    ASSERT_TRUE(setOfficeFileSelectedByName(db->db(), "a.doc", true));
    ASSERT_TRUE(setOfficeFileSelectedByName(db->db(), "Kid's Report.doc", true));
    EXPECT_EQ(*selectedOfficeFilePaths(db->db()),
              (QStringList{path("A/a.doc"), path("B/a.doc"), kid}));
    ASSERT_TRUE(saveOfficeFileSelection(
        db->db(), {{path("A/a.doc"), false}, {path("B/a.doc"), true}, {path("B/A.doc"), true}}));
    EXPECT_EQ(*selectedOfficeFilePaths(db->db()),
              (QStringList{path("B/A.doc"), path("B/a.doc"), kid}));
}

TEST_F(OfficeFilesTest, SortToolsOrderByNameTypeAndSizeAsANumber)
{
    places.writeFile("s/b.txt", QByteArray(900, 'x'));
    places.writeFile("s/a.xls", QByteArray(10000, 'x'));
    places.writeFile("s/c.doc", QByteArray(20, 'x'));
    JobControl control;
    scan({"s"}, true, control);
    EXPECT_EQ(names(OfficeTab::All, OfficeOrder::ByName), (QStringList{"a.xls", "b.txt", "c.doc"}));
    EXPECT_EQ(names(OfficeTab::All, OfficeOrder::ByType), (QStringList{"c.doc", "b.txt", "a.xls"}));
    EXPECT_EQ(names(OfficeTab::All, OfficeOrder::BySize), (QStringList{"c.doc", "b.txt", "a.xls"}));
}

TEST(ScanDates, RecordedDatesReadBackInTheWritersLanguageAndInEnglish)
{
    const QDate march(2008, 3, 5);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    EXPECT_EQ(formatScanDate(march, QLocale::c()), "Mar-05-2008");
    for (const QLocale &locale : {QLocale::c(), german, russian}) {
        EXPECT_EQ(parseScanDate(formatScanDate(march, locale), locale), march)
            << formatScanDate(march, locale).toStdString();
        EXPECT_EQ(parseScanDate("Mar-05-2008", locale), march);
    }
    EXPECT_EQ(parseScanDate("mar-05-2008", QLocale::c()), march);
    EXPECT_FALSE(parseScanDate("Foo-05-2008", QLocale::c()).isValid());
    EXPECT_FALSE(parseScanDate(QString(), QLocale::c()).isValid());
    EXPECT_EQ(propertyDateText(QDateTime(QDate(2024, 1, 5), QTime(9, 0))), "01-05-2024");
}

TEST(CopySchemes, EachSchemeBuildsItsFoldersForAFixedDate)
{
    const QDate jan(2007, 1, 14);
    const QLocale en = QLocale::c();
    const QString doc = "doc";
    const std::pair<const char *, QStringList> expected[] = {
        {"None", {}},
        {"Ext", {"doc"}},
        {"Year(Date Cr.)", {"2007"}},
        {"Year-Month", {"2007-January"}},
        {"Year\\Month", {"2007", "2007-1-January"}},
        {"Ext-Year-Month", {"doc-2007-January"}},
        {"Year-Ext", {"2007-doc"}},
        {"Year-Month-Ext", {"2007-January-doc"}},
    };
    ASSERT_EQ(folderSchemeNames().size(), 8);
    for (const auto &[name, folders] : expected) {
        const std::optional<FolderScheme> scheme = folderSchemeFromName(QString::fromLatin1(name));
        ASSERT_TRUE(scheme.has_value()) << name;
        EXPECT_EQ(schemeFolders(*scheme, doc, jan, en), folders) << name;
        // Without a recorded type or date a file stays in the destination itself.
        if (*scheme != FolderScheme::Ext) {
            EXPECT_TRUE(schemeFolders(*scheme, doc, QDate(), en).isEmpty()) << name;
        }
    }
    EXPECT_TRUE(schemeFolders(FolderScheme::Ext, QString(), jan, en).isEmpty());
    EXPECT_EQ(schemeFolders(FolderScheme::YearSlashMonth, doc, QDate(2008, 3, 5),
                            QLocale(QLocale::German, QLocale::Germany)),
              (QStringList{"2008", "2008-3-März"}));
    EXPECT_FALSE(folderSchemeFromName("year-month").has_value());
}

namespace {

struct OrganisedCopyTest : ::testing::Test {
    TempPlaces places;
    QString root() const { return places.root(); }
    QString at(const QString &relative) const { return QDir(root()).filePath(relative); }

    OrganisedCopyOutcome copy(const QStringList &sources, CopyLayout layout, JobControl &control,
                              const QHash<QString, OfficeFileFacts> &facts = {},
                              FolderScheme scheme = FolderScheme::None)
    {
        OrganisedCopyRequest request;
        request.sources = sources;
        request.destination = at("out");
        request.layout = layout;
        request.scheme = scheme;
        request.locale = QLocale::c();
        return copyIntoFolders(
            request,
            [&](const QString &path) -> Result<std::optional<OfficeFileFacts>> {
                const auto it = facts.constFind(path);
                return it == facts.constEnd() ? std::nullopt : std::optional<OfficeFileFacts>(*it);
            },
            control);
    }
};

} // namespace

TEST_F(OrganisedCopyTest, AllInOneKeepsTheLaterOfTwoSameNamedFilesAndTellsEveryReplacedFile)
{
    const QString first = places.writeFile("A/x.doc", "from A");
    const QString second = places.writeFile("B/x.doc", "from B");
    const QString gone = at("B/vanished.doc");
    // "\\" is an ordinary character of a Linux file name, not a folder separator.
    const QString odd = places.writeFile("A/back\\slash.doc", "odd");
    const QString sheet = places.writeFile("B/sheet.xls", "new sheet");
    places.writeFile("out/sheet.xls", "the user's sheet");
    JobControl control;
    const OrganisedCopyOutcome outcome =
        copy({first, gone, second, second, odd, sheet}, CopyLayout::AllInOne, control);
    EXPECT_EQ(readAll(at("out/x.doc")), QByteArray("from B"));
    EXPECT_EQ(readAll(at("out/back\\slash.doc")), QByteArray("odd"));
    EXPECT_EQ(readAll(at("out/sheet.xls")), QByteArray("new sheet"));
    EXPECT_EQ(outcome.copied, 4);
    ASSERT_EQ(outcome.sameName.size(), 1u);
    EXPECT_EQ(outcome.sameName[0].replaced, first);
    EXPECT_EQ(outcome.sameName[0].by, second);
    EXPECT_EQ(outcome.replacedEarlier, QStringList{at("out/sheet.xls")});
    ASSERT_EQ(control.failures().size(), 1u);
    EXPECT_EQ(control.failures()[0].path, gone);

    const QString text = copyProblemsText(control.report(), outcome);
    for (const QString &part :
         QStringList{"1 file was not copied:\n" + gone + ": No such file or directory",
                     "1 copy replaced a file of the same name",
                     "1 copy replaced a file that was already there:\n" + at("out/sheet.xls")})
        EXPECT_TRUE(text.contains(part)) << text.toStdString();
}

TEST_F(OrganisedCopyTest, SchemeFoldersThatDifferOnlyInCaseAreOneFolder)
{
    const QString upper = places.writeFile("src/A.DOC", "upper");
    const QString lower = places.writeFile("src/b.doc", "lower");
    const QString pdf = places.writeFile("src/c.pdf", "pdf");
    places.writeFile("out/Pdf/earlier.pdf", "there before");
    const QHash<QString, OfficeFileFacts> facts{
        {upper, {"DOC", "Jan-14-2007"}},
        {lower, {"doc", "Jan-20-2007"}},
        {pdf, {"pdf", "Jan-20-2007"}},
    };
    JobControl control;
    EXPECT_EQ(
        copy({upper, lower, pdf}, CopyLayout::Scheme, control, facts, FolderScheme::Ext).copied, 3);
    EXPECT_EQ(QDir(at("out")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              (QStringList{"DOC", "Pdf"}));
    EXPECT_EQ(QDir(at("out/DOC")).entryList(QDir::Files), (QStringList{"A.DOC", "b.doc"}));
    EXPECT_EQ(readAll(at("out/Pdf/c.pdf")), QByteArray("pdf"));
}

TEST_F(OrganisedCopyTest, CancelStopsInsideALargeFileAndCopiesNothingAfterIt)
{
    const QString small = places.writeFile("src/small.doc", "s");
    const QString big = sparseFile(at("src/big.bin"), qint64(2) << 30);
    JobControl control;
    std::atomic<bool> stop{false};
    // Cancel as soon as the copy's temporary shows: the copy is then inside the file.
    std::thread canceller([&] {
        while (!stop &&
               QDir(at("out")).entryList({".quenda-*"}, QDir::Files | QDir::Hidden).isEmpty())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        control.cancel();
    });
    const OrganisedCopyOutcome outcome = copy({big, small}, CopyLayout::AllInOne, control);
    stop = true;
    canceller.join();
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.copied, 0);
    EXPECT_TRUE(QDir(at("out"))
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
}

TEST_F(OrganisedCopyTest, KeepOriginalUsesTheParentFolderNameWithoutItsExtension)
{
    const QString photo = places.writeFile("Photos.2006/beach.jpg", "jpg");
    const QString sheet = places.writeFile("Work/Jan/a.xls", "xls");
    const QString dots = places.writeFile(".../odd.doc", "odd");
    JobControl control;
    const OrganisedCopyOutcome outcome =
        copy({photo, sheet, dots}, CopyLayout::KeepOriginal, control);
    EXPECT_EQ(readAll(at("out/Photos/beach.jpg")), QByteArray("jpg"));
    EXPECT_EQ(readAll(at("out/Jan/a.xls")), QByteArray("xls"));
    // "..." less its extension is "..": refused rather than written beside the destination.
    EXPECT_EQ(outcome.copied, 2);
    ASSERT_EQ(control.failures().size(), 1u);
    EXPECT_EQ(control.failures()[0].path, dots);
    EXPECT_FALSE(QFileInfo::exists(at("odd.doc")));
}

TEST_F(OrganisedCopyTest, SchemeCopyBuildsFoldersAndNeverFollowsALinkOutOfTheDestination)
{
    const QString report = places.writeFile("src/Report.doc", "r");
    const QString unknown = places.writeFile("src/unlisted.pdf", "u");
    const QString pic = places.writeFile("src/pic.jpg", "p");
    QDir().mkpath(at("out"));
    QDir().mkpath(at("elsewhere"));
    ASSERT_EQ(::symlink(at("elsewhere").toUtf8().constData(), at("out/2007").toUtf8().constData()),
              0);
    const QHash<QString, OfficeFileFacts> facts{
        {report, {"doc", "Mar-05-2008"}},
        {pic, {"jpg", "Jan-14-2007"}},
    };
    JobControl control;
    const OrganisedCopyOutcome outcome = copy({report, unknown, pic}, CopyLayout::Scheme, control,
                                              facts, FolderScheme::YearSlashMonth);
    EXPECT_EQ(readAll(at("out/2008/2008-3-March/Report.doc")), QByteArray("r"));
    EXPECT_EQ(readAll(at("out/unlisted.pdf")), QByteArray("u"));
    EXPECT_EQ(outcome.copied, 2);
    ASSERT_EQ(control.failures().size(), 1u);
    EXPECT_EQ(control.failures()[0].path, pic);
    EXPECT_TRUE(QDir(at("elsewhere")).isEmpty());
}

TEST_F(OrganisedCopyTest, PreparingFileCopierEmptiesItsOwnFolderOnlyAndRemovesALinkAsALink)
{
    const QString desktop = places.desktopDir();
    places.writeFile("Desktop/File Copier/old/earlier.doc", "earlier");
    places.writeFile("Desktop/mine.txt", "keep");
    JobControl control;
    const auto prepare = [&](const QStringList &sources) {
        Result<PreparedFolder> made =
            prepareFileCopierFolder(desktop, sources, LockWait::Refuse, control);
        return made ? Result<QString>(made->path) : Result<QString>(made.error());
    };
    Result<QString> prepared = prepare({});
    ASSERT_TRUE(prepared.ok()) << prepared.message().toStdString();
    EXPECT_EQ(*prepared, desktop + "/File Copier");
    EXPECT_TRUE(QDir(*prepared).isEmpty());
    EXPECT_EQ(readAll(desktop + "/mine.txt"), QByteArray("keep"));

    const QString precious = places.writeFile("precious/thesis.doc", "thesis");
    ASSERT_TRUE(QDir(*prepared).removeRecursively());
    ASSERT_EQ(::symlink(at("precious").toUtf8().constData(), prepared->toUtf8().constData()), 0);
    // Through the link, the ticked file seems to lie inside; the link alone goes.
    prepared = prepare({*prepared + "/thesis.doc"});
    ASSERT_TRUE(prepared.ok());
    EXPECT_FALSE(QFileInfo(*prepared).isSymLink());
    EXPECT_EQ(readAll(precious), QByteArray("thesis"));
}

TEST_F(OrganisedCopyTest, TheFileListCopyRefusesATickedFileInsideTheFolderItEmpties)
{
    const QString inside = places.writeFile("Desktop/File Copier/Work/b.doc", "b");
    OrganisedCopyRequest request;
    request.sources = {inside};
    request.destination = places.desktopDir();
    request.layout = CopyLayout::KeepOriginal;
    JobControl refused;
    EXPECT_EQ(runFileListCopy(request, true, refused).copied, 0);
    EXPECT_FALSE(refused.status().ok());
    EXPECT_EQ(readAll(inside), QByteArray("b"));
}
