#include "common/text_output.h"
#include "db/database.h"
#include "formats/rtf_reader.h"
#include "notes/note_conversion.h"
#include "notes/note_cutting.h"
#include "notes/note_merge.h"
#include "notes/note_names.h"
#include "notes/notes_scan.h"
#include "support/test_places.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

std::vector<QStringList> tableRows(QSqlDatabase &db, const QString &table)
{
    std::vector<QStringList> rows;
    QSqlQuery q(db);
    q.exec(QStringLiteral("Select Application,Path,Type,size,[Date] from %1 order by rowid")
               .arg(table));
    while (q.next())
        rows.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                        q.value(3).toString(), q.value(4).toString()});
    return rows;
}

QString repeatChars(int count)
{
    QString s;
    for (int i = 0; i < count; ++i)
        s += QChar(u'a' + i % 26);
    return s;
}

} // namespace

TEST(NoteNames, TypeTokensBaseNamesAndFileNames)
{
    EXPECT_EQ(typeToken(QStringLiteral("/d/Report.final.rtf")), QStringLiteral("rtf"));
    EXPECT_EQ(typeToken(QStringLiteral("/d/X.RTF")), QStringLiteral("RTF"));
    EXPECT_EQ(typeToken(QStringLiteral("/d/notes.TXT")), QStringLiteral("TXT"));
    EXPECT_EQ(typeToken(QStringLiteral("/d/a.htm")), QStringLiteral("htm"));
    EXPECT_EQ(typeToken(QStringLiteral("/d/page.html")), QStringLiteral("rtf"));
    EXPECT_EQ(typeToken(QStringLiteral("ab/a.c")), QStringLiteral("c"));

    EXPECT_EQ(noteBaseName(QStringLiteral("Report.final.rtf")), QStringLiteral("Report"));
    EXPECT_EQ(noteBaseName(QStringLiteral("README")), QStringLiteral("README"));
    EXPECT_EQ(noteFileName(QStringLiteral("C:\\Docs\\My.notes.rtf")), QStringLiteral("My.txt"));

    EXPECT_EQ(stripfilename(QStringLiteral("C:\\Docs\\a.txt")), QStringLiteral("a.txt"));
    EXPECT_EQ(stripfilename(QStringLiteral("/home/u/a.txt")), QStringLiteral("a.txt"));
    EXPECT_EQ(stripfilename(QStringLiteral("a.txt")), QStringLiteral("a.txt"));

    // The doubled write: a text file inside a folder named after the other token.
    EXPECT_EQ(scanTokenHits(QStringLiteral("/home/u/RTF drafts/letter.txt")), 2);
    EXPECT_EQ(scanTokenHits(QStringLiteral("/home/u/plan.Html")), 1);
    EXPECT_EQ(scanTokenHits(QStringLiteral("/home/u/photo.jpg")), 0);

    EXPECT_TRUE(isPlainFileName(QStringLiteral("Kid's Notes.txt")));
    for (const char *bad : {"", ".", "..", "a/b.txt", "a\\b.txt"})
        EXPECT_FALSE(isPlainFileName(QString::fromLatin1(bad))) << bad;
}

TEST(NotesScan, RecordsMixedCaseTreeWithApostrophesAndReplacesEarlierScan)
{
    TempPlaces places;
    places.writeFile(QStringLiteral("src/Notes.RTF"), "{\\rtf1 x}");
    places.writeFile(QStringLiteral("src/Kid's Notes.rtf"), "{\\rtf1 kid}");
    places.writeFile(QStringLiteral("src/RTF drafts/letter.txt"), "hello");
    places.writeFile(QStringLiteral("src/deep/er/Plan.Txt"), "123456789");
    places.writeFile(QStringLiteral("src/photo.jpg"), "jpg");
    places.writeFile(QStringLiteral("src/rtf.doc"), "doc");
    auto c = places.connect();
    const QString src = QDir(places.root()).filePath(QStringLiteral("src"));

    int announced = -1, lastNumber = 0;
    ScanProgress progress;
    progress.started = [&](int total) { announced = total; };
    progress.recorded = [&](int number, const ScanEntry &) { lastNumber = number; };
    const ScanSummary summary = scanIntoTable(c->db(), src, QString::fromLatin1(kDocumentMasks),
                                              ScanTable::Documents, progress);
    EXPECT_EQ(summary.found, 4);
    EXPECT_EQ(summary.failures, 0);
    EXPECT_EQ(announced, 4);
    EXPECT_EQ(lastNumber, 4);

    const auto rows = tableRows(c->db(), QStringLiteral("Quenda_IpodScan"));
    ASSERT_EQ(rows.size(), 4u);
    QHash<QString, QStringList> byName;
    for (const QStringList &r : rows)
        byName.insert(r[0], r);
    ASSERT_TRUE(byName.contains(QStringLiteral("Kid's Notes.rtf")));
    EXPECT_EQ(byName[QStringLiteral("Notes.RTF")][2], QStringLiteral("RTF"));
    EXPECT_EQ(byName[QStringLiteral("Plan.Txt")][2], QStringLiteral("Txt"));
    EXPECT_EQ(byName[QStringLiteral("Plan.Txt")][3], QStringLiteral("9"));
    EXPECT_EQ(byName[QStringLiteral("letter.txt")][1],
              src + QStringLiteral("/RTF drafts/letter.txt"));
    const QString today = QLocale().toString(QDate::currentDate(), QStringLiteral("MMM-dd-yyyy"));
    EXPECT_EQ(byName[QStringLiteral("letter.txt")][4], today);
    EXPECT_EQ(recordedDocumentType(c->db(), src + QStringLiteral("/Kid's Notes.rtf")),
              QStringLiteral("rtf"));

    // A second scan of a folder without documents leaves the table empty.
    QDir().mkpath(QDir(places.root()).filePath(QStringLiteral("empty")));
    const ScanSummary none =
        scanIntoTable(c->db(), QDir(places.root()).filePath(QStringLiteral("empty")),
                      QString::fromLatin1(kDocumentMasks), ScanTable::Documents);
    EXPECT_EQ(none.found, 0);
    EXPECT_TRUE(tableRows(c->db(), QStringLiteral("Quenda_IpodScan")).empty());
    EXPECT_EQ(documentCountText(0), QStringLiteral("There are 0 RTF & TXT Files"));
}

TEST(NotesScan, BatchesAreCommittedAndVisibleToOtherConnections)
{
    TempPlaces places;
    auto c = places.connect();
    {
        ScanRecorder recorder(c->db(), ScanTable::Notes, 3);
        ASSERT_TRUE(recorder.clearTable());
        for (int i = 0; i < 7; ++i)
            recorder.record({QStringLiteral("n%1.txt").arg(i), QStringLiteral("/p/n%1.txt").arg(i),
                             QStringLiteral("txt"), QStringLiteral("1"), QString()});
        // Two full batches are committed already; the seventh row waits for the flush.
        auto other = places.connect();
        EXPECT_EQ(tableRows(other->db(), QStringLiteral("Quenda_IpodScanedtxt")).size(), 6u);
        EXPECT_TRUE(recorder.flush());
        EXPECT_EQ(tableRows(other->db(), QStringLiteral("Quenda_IpodScanedtxt")).size(), 7u);
        EXPECT_EQ(recorder.failures(), 0);
    }
    NoteDateFormatter dates{QLocale(QLocale::English, QLocale::UnitedStates)};
    EXPECT_EQ(dates.format(QDate(2024, 1, 5)), QStringLiteral("Jan-05-2024"));
    EXPECT_EQ(dates.format(QDate(2024, 12, 25)), QStringLiteral("Dec-25-2024"));
    EXPECT_EQ(dates.format(QDate()), QString());
}

TEST(NoteReading, RichTextByTokenOrContentAndPlainTextDecoding)
{
    EXPECT_TRUE(readsAsRichText(QStringLiteral("rtf"), "hello"));
    EXPECT_TRUE(readsAsRichText(QStringLiteral("RTF"), "hello"));
    EXPECT_TRUE(readsAsRichText(QStringLiteral("txt"), "{\\rtf1\\ansi x}"));
    EXPECT_FALSE(readsAsRichText(QStringLiteral("txt"), "{ not rtf }"));

    EXPECT_EQ(decodePlainText("caf\xC3\xA9 \xE2\x82\xAC"), QStringLiteral(u"café €"));
    EXPECT_EQ(decodePlainText("caf\xE9 \x80"), QStringLiteral(u"café €"));
    EXPECT_EQ(decodePlainText("\xEF\xBB\xBFplain"), QStringLiteral("plain"));
}

TEST(NoteConversion, WritesNotesByBaseNameAndReadsRtfWhateverItsCase)
{
    TempPlaces places;
    places.writeFile(QStringLiteral("src/Report.final.rtf"), "{\\rtf1\\ansi Quarterly\\par end}");
    places.writeFile(QStringLiteral("src/X.RTF"), "{\\rtf1\\ansi {\\b Bold} words}");
    places.writeFile(QStringLiteral("src/Kid's Notes.rtf"), "{\\rtf1\\ansi Tom\\'e9}");
    places.writeFile(QStringLiteral("src/plain.txt"), "line one\nline two \xE2\x82\xAC");
    auto c = places.connect();
    const QString src = QDir(places.root()).filePath(QStringLiteral("src"));
    scanIntoTable(c->db(), src, QString::fromLatin1(kDocumentMasks), ScanTable::Documents);

    std::vector<NoteSource> sources;
    for (const QStringList &r : tableRows(c->db(), QStringLiteral("Quenda_IpodScan")))
        sources.push_back({r[0], r[1]});
    const ConversionSummary summary = convertDocuments(c->db(), sources, {}, places.stagingDir());
    EXPECT_EQ(summary.written, 4);
    EXPECT_TRUE(summary.failures.isEmpty());
    EXPECT_EQ(summary.notes.found, 4);

    const QDir staging(places.stagingDir());
    EXPECT_EQ(readAll(staging.filePath(QStringLiteral("Report.txt"))),
              QByteArray("Quarterly\r\nend"));
    const QByteArray x = readAll(staging.filePath(QStringLiteral("X.txt")));
    EXPECT_FALSE(x.contains("\\rtf")) << x.constData();
    EXPECT_TRUE(x.contains("Bold words")) << x.constData();
    EXPECT_EQ(readAll(staging.filePath(QStringLiteral("Kid's Notes.txt"))), QByteArray("Tom\xE9"));
    // Windows-1252 with CR LF: the euro sign fits the code page.
    EXPECT_EQ(readAll(staging.filePath(QStringLiteral("plain.txt"))),
              QByteArray("line one\r\nline two \x80"));

    const auto notes = tableRows(c->db(), QStringLiteral("Quenda_IpodScanedtxt"));
    ASSERT_EQ(notes.size(), 4u);
    for (const QStringList &n : notes)
        EXPECT_TRUE(n[1].startsWith(places.stagingDir())) << n[1].toStdString();
}

TEST(NoteConversion, SecondRunDeletesOnlyEarlierNotesInsideStaging)
{
    TempPlaces places;
    places.writeFile(QStringLiteral("src/a.txt"), "alpha");
    auto c = places.connect();
    const QString src = QDir(places.root()).filePath(QStringLiteral("src"));
    scanIntoTable(c->db(), src, QString::fromLatin1(kDocumentMasks), ScanTable::Documents);
    const std::vector<NoteSource> sources{
        {QStringLiteral("a.txt"), src + QStringLiteral("/a.txt")}};

    const ConversionSummary first = convertDocuments(c->db(), sources, {}, places.stagingDir());
    ASSERT_EQ(first.notes.found, 1);
    const QString stale = places.writeFile(QStringLiteral("Desktop/Ipod/old/stale.txt"), "old");
    const QString card = places.writeFile(QStringLiteral("Desktop/Ipod/card.vcf"), "BEGIN:VCARD");
    const QString outside = places.writeFile(QStringLiteral("home/diary.txt"), "keep me");
    const QString escaping = places.stagingDir() + QStringLiteral("/../../home/diary.txt");
    QStringList previous{places.stagingDir() + QStringLiteral("/a.txt"),
                         stale,
                         card,
                         outside,
                         escaping,
                         QStringLiteral("/no/such/file.txt")};

    const ConversionSummary second =
        convertDocuments(c->db(), sources, previous, places.stagingDir());
    EXPECT_EQ(second.deletion.deleted, 2);
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(card));
    EXPECT_EQ(readAll(outside), QByteArray("keep me"));
    EXPECT_EQ(second.deletion.refused.size(), 3);
    EXPECT_EQ(readAll(places.stagingDir() + QStringLiteral("/a.txt")), QByteArray("alpha"));
    EXPECT_EQ(second.notes.found, 1);
    EXPECT_EQ(tableRows(c->db(), QStringLiteral("Quenda_IpodScanedtxt")).size(), 1u);

    // With nothing to convert and nothing left in the staging folder, no note is found.
    const ConversionSummary empty = convertDocuments(
        c->db(), {}, {places.stagingDir() + QStringLiteral("/a.txt")}, places.stagingDir());
    EXPECT_EQ(empty.notes.found, 0);
    EXPECT_TRUE(tableRows(c->db(), QStringLiteral("Quenda_IpodScanedtxt")).empty());
}

TEST(NoteCutting, PiecesOfHundredThenNinetySevenCharacters)
{
    const QStringList p250 = sectionPieces(insertSectionBreaks(repeatChars(250)));
    ASSERT_EQ(p250.size(), 3);
    EXPECT_EQ(p250[0].size(), 100);
    EXPECT_EQ(p250[1].size(), 97);
    EXPECT_EQ(p250[2].size(), 53);
    EXPECT_EQ(p250.join(QString()), repeatChars(250));

    const QStringList p100 = sectionPieces(insertSectionBreaks(repeatChars(100)));
    ASSERT_EQ(p100.size(), 2);
    EXPECT_EQ(p100[0], repeatChars(100));
    EXPECT_TRUE(p100[1].isEmpty());

    EXPECT_EQ(sectionPieces(insertSectionBreaks(repeatChars(99))), QStringList{repeatChars(99)});
    EXPECT_EQ(sectionPieces(QStringLiteral("a@*@b")), (QStringList{"a", "b"}));
    EXPECT_EQ(pieceFileName(QStringLiteral("notes.txt"), 1), QStringLiteral("notes.txt1.txt"));
}

TEST(NoteCutting, LongNotesAndCharactersBeyondTheBasicPlane)
{
    // Far beyond 32,767 characters: 400 markers, the last piece holds what the markers pushed.
    const QStringList big = sectionPieces(insertSectionBreaks(repeatChars(40000)));
    ASSERT_EQ(big.size(), 401);
    EXPECT_EQ(big[399].size(), 97);
    EXPECT_EQ(big[400].size(), 40000 - 100 - 97 * 399);

    QString faces;
    for (int i = 0; i < 150; ++i)
        faces += QString::fromUcs4(U"\U0001F600", 1);
    const QStringList pieces = sectionPieces(insertSectionBreaks(faces));
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0].toUcs4().size(), 100);
    EXPECT_EQ(pieces[1].toUcs4().size(), 50);
    EXPECT_FALSE(pieces[1].front().isLowSurrogate());
}

TEST(NoteMerge, ExistingNotesInOrderMissingOnesSkipped)
{
    TempPlaces places;
    const QString a = places.writeFile(QStringLiteral("Desktop/Ipod/a.txt"), "First note");
    const QString b = places.writeFile(QStringLiteral("Desktop/Ipod/b.txt"), "Gone");
    const QString c = places.writeFile(QStringLiteral("Desktop/Ipod/c.txt"), "Third caf\xE9");
    QFile::remove(b);
    const MergedDocument doc = buildMergedDocument({a, b, c});
    EXPECT_EQ(doc.merged, 2);
    EXPECT_EQ(doc.missing, QStringList{b});
    EXPECT_TRUE(looksLikeRtf(doc.rtf));
    const QString text = rtfToPlainText(doc.rtf);
    const qsizetype first = text.indexOf(QStringLiteral("First note"));
    EXPECT_GE(first, 0) << text.toStdString();
    EXPECT_GT(text.indexOf(QStringLiteral(u"Third café")), first);
    EXPECT_FALSE(text.contains(QStringLiteral("Gone")));

    const QString out = QDir(places.root()).filePath(QStringLiteral("merged.rtf"));
    EXPECT_TRUE(saveDocument(out, doc.rtf));
    EXPECT_EQ(readAll(out), doc.rtf);
    QString error;
    EXPECT_FALSE(saveDocument(QDir(places.root()).filePath(QStringLiteral("no/dir/m.rtf")), doc.rtf,
                              &error));
    EXPECT_FALSE(error.isEmpty());
}
