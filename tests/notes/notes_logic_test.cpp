#include "common/note_names.h"
#include "formats/rtf_reader.h"
#include "notes/note_conversion.h"
#include "notes/note_cutting.h"
#include "notes/note_list_model.h"
#include "notes/note_merge.h"
#include "notes/note_reading.h"
#include "notes/notes_scan.h"
#include "support/test_places.h"
#include "support/window_controls.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

ScanOutcome scanDocuments(QSqlDatabase &db, const QString &folder, JobControl &control)
{
    return scanIntoTable(db, folder, QString::fromLatin1(kDocumentMasks), ScanTable::Documents,
                         control);
}

QString repeatChars(int count)
{
    QString s;
    for (int i = 0; i < count; ++i)
        s += QChar(u'a' + i % 26);
    return s;
}

} // namespace

TEST(NoteNames, TypeTokensBaseNamesFileNamesAndDates)
{
    const std::pair<const char *, const char *> tokens[] = {
        {"/d/Report.final.rtf", "rtf"}, {"/d/X.RTF", "RTF"},
        {"/d/notes.TXT", "TXT"},        {"/d/a.htm", "htm"},
        {"/d/page.html", "rtf"},        {"ab/a.c", "c"}};
    for (const auto &[path, token] : tokens)
        EXPECT_EQ(typeToken(QString::fromLatin1(path)), QLatin1String(token)) << path;

    EXPECT_EQ(noteBaseName(QStringLiteral("Report.final.rtf")), QStringLiteral("Report"));
    EXPECT_EQ(noteBaseName(QStringLiteral("README")), QStringLiteral("README"));
    EXPECT_EQ(noteFileName(QStringLiteral("C:\\Docs\\My.notes.rtf")), QStringLiteral("My.txt"));

    // The doubled write: a text file inside a folder named after the other token.
    EXPECT_EQ(scanTokenHits(QStringLiteral("/home/u/RTF drafts/letter.txt")), 2);
    EXPECT_EQ(scanTokenHits(QStringLiteral("/home/u/plan.Html")), 1);
    EXPECT_EQ(scanTokenHits(QStringLiteral("/home/u/photo.jpg")), 0);

    NoteDateFormatter dates{QLocale(QLocale::English, QLocale::UnitedStates)};
    EXPECT_EQ(dates.format(QDate(2024, 1, 5)), QStringLiteral("Jan-05-2024"));
    EXPECT_EQ(dates.format(QDate()), QString());

    EXPECT_TRUE(isPlainFileName(QStringLiteral("Kid's Notes.txt")));
    for (const char *bad : {"", ".", "..", "a/b.txt", "a\\b.txt"})
        EXPECT_FALSE(isPlainFileName(QString::fromLatin1(bad))) << bad;
}

TEST(NotesScan, RecordsMixedCaseTreesReplacesEarlierScansAndKeepsRowsWhenCancelled)
{
    TempPlaces places;
    places.writeFile(QStringLiteral("src/Notes.RTF"), "{\\rtf1 x}");
    places.writeFile(QStringLiteral("src/Kid's Notes.rtf"), "{\\rtf1 kid}");
    places.writeFile(QStringLiteral("src/RTF drafts/letter.txt"), "hello");
    places.writeFile(QStringLiteral("src/deep/er/Plan.Txt"), "123456789");
    places.writeFile(QStringLiteral("src/photo.jpg"), "jpg");
    places.writeFile(QStringLiteral("src/rtf.doc"), "doc");
    auto c = places.connect();
    const QString src = places.root() + "/src";

    JobControl control;
    EXPECT_EQ(scanDocuments(c->db(), src, control).rows.size(), 4u);
    EXPECT_TRUE(control.report().succeeded());

    QHash<QString, QStringList> byName;
    for (const QStringList &r : tableRows(c->db(), "Quenda_IpodScan"))
        byName.insert(r[0], r);
    ASSERT_EQ(byName.size(), 4);
    const QString today = QLocale().toString(QDate::currentDate(), QStringLiteral("MMM-dd-yyyy"));
    EXPECT_EQ(byName[QStringLiteral("Plan.Txt")],
              (QStringList{"Plan.Txt", src + "/deep/er/Plan.Txt", "Txt", "9", today}));
    EXPECT_EQ(*recordedDocumentType(c->db(), src + QStringLiteral("/Kid's Notes.rtf")),
              QStringLiteral("rtf"));

    // A second scan of a folder without documents leaves the table empty.
    QDir().mkpath(places.root() + "/empty");
    JobControl again;
    EXPECT_EQ(scanDocuments(c->db(), places.root() + "/empty", again).found, 0);
    EXPECT_TRUE(tableRows(c->db(), "Quenda_IpodScan").empty());

    // Cancelled midway, a scan keeps the rows recorded so far.
    TempPlaces many;
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i)
        many.writeFile(QStringLiteral("src/d%1/n%2.txt").arg(i % 30).arg(i), "x");
    auto mc = many.connect();
    JobControl stopped;
    ScanOutcome outcome;
    {
        CancelAfter cancel(stopped, 20); // found them all, then recorded a few
        outcome = scanDocuments(mc->db(), many.root() + "/src", stopped);
    }
    EXPECT_TRUE(stopped.report().cancelled);
    EXPECT_EQ(outcome.found, kFiles);
    const auto rows = tableRows(mc->db(), "Quenda_IpodScan");
    EXPECT_GT(rows.size(), 0u);
    EXPECT_LT(rows.size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(rows.size(), outcome.rows.size()) << "the list shows what the table holds";
}

TEST(NoteConversion, WritesNotesByBaseNameAndReadsRtfWhateverItsCase)
{
    TempPlaces places;
    places.writeFile(QStringLiteral("src/Report.final.rtf"), "{\\rtf1\\ansi Quarterly\\par end}");
    places.writeFile(QStringLiteral("src/X.RTF"), "{\\rtf1\\ansi {\\b Bold} words}");
    places.writeFile(QStringLiteral("src/Kid's Notes.rtf"), "{\\rtf1\\ansi Tom\\'e9}");
    places.writeFile(QStringLiteral("src/plain.txt"), "line one\nline two \xE2\x82\xAC");
    auto c = places.connect();
    const QString src = places.root() + "/src";
    JobControl control;
    scanDocuments(c->db(), src, control);

    std::vector<NoteSource> sources;
    for (const QStringList &r : tableRows(c->db(), "Quenda_IpodScan"))
        sources.push_back({r[0], r[1]});
    const ConversionOutcome summary =
        convertDocuments(c->db(), sources, {}, places.stagingDir(), control);
    EXPECT_EQ(summary.written, 4);
    EXPECT_EQ(summary.notesFound, 4);

    const QDir staging(places.stagingDir());
    EXPECT_EQ(readAll(staging.filePath(QStringLiteral("Report.txt"))),
              QByteArray("Quarterly\r\nend"));
    EXPECT_EQ(readAll(staging.filePath(QStringLiteral("X.txt"))), QByteArray("Bold words"));
    EXPECT_EQ(readAll(staging.filePath(QStringLiteral("Kid's Notes.txt"))), QByteArray("Tom\xE9"));
    // Windows-1252 with CR LF: the euro sign fits the code page.
    EXPECT_EQ(readAll(staging.filePath(QStringLiteral("plain.txt"))),
              QByteArray("line one\r\nline two \x80"));

    const auto notes = tableRows(c->db(), "Quenda_IpodScanedtxt");
    ASSERT_EQ(notes.size(), 4u);
    for (const QStringList &n : notes)
        EXPECT_TRUE(n[1].startsWith(places.stagingDir())) << n[1].toStdString();
}

TEST(NoteConversion, SecondRunDeletesOnlyEarlierNotesInsideStagingAndACancelWritesNothing)
{
    TempPlaces places;
    places.writeFile(QStringLiteral("src/a.txt"), "alpha");
    auto c = places.connect();
    const QString src = places.root() + "/src";
    const std::vector<NoteSource> sources{
        {QStringLiteral("a.txt"), src + QStringLiteral("/a.txt")}};

    JobControl first;
    ASSERT_EQ(convertDocuments(c->db(), sources, {}, places.stagingDir(), first).notesFound, 1);
    const QString stale = places.writeFile(QStringLiteral("Desktop/Ipod/old/stale.txt"), "old");
    const QString card = places.writeFile(QStringLiteral("Desktop/Ipod/card.vcf"), "BEGIN:VCARD");
    const QString outside = places.writeFile(QStringLiteral("home/diary.txt"), "keep me");
    const QString escaping = places.stagingDir() + QStringLiteral("/../../home/diary.txt");
    const QStringList previous{places.stagingDir() + QStringLiteral("/a.txt"),
                               stale,
                               card,
                               outside,
                               escaping,
                               QStringLiteral("/no/such/file.txt")};

    JobControl second;
    const ConversionOutcome again =
        convertDocuments(c->db(), sources, previous, places.stagingDir(), second);
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(card));
    EXPECT_EQ(readAll(outside), QByteArray("keep me"));
    // What was refused is told, by path.
    QStringList refused;
    for (const ItemFailure &f : second.failures())
        refused << f.path;
    EXPECT_EQ(refused, (QStringList{card, outside, escaping}));
    EXPECT_EQ(again.notesFound, 1);

    // Cancelled before it began: nothing is written, yet the notes in the folder are listed.
    places.writeFile(QStringLiteral("Desktop/Ipod/a.txt"), "earlier note");
    JobControl cancelled;
    cancelled.cancel();
    const ConversionOutcome none =
        convertDocuments(c->db(), sources, {}, places.stagingDir(), cancelled);
    EXPECT_EQ(none.written, 0);
    EXPECT_EQ(none.notesFound, 1);
    EXPECT_EQ(readAll(places.stagingDir() + QStringLiteral("/a.txt")), QByteArray("earlier note"));

    // With nothing to convert and nothing left in the staging folder, no note is found.
    JobControl empty;
    EXPECT_EQ(convertDocuments(c->db(), {}, {places.stagingDir() + QStringLiteral("/a.txt")},
                               places.stagingDir(), empty)
                  .notesFound,
              0);
    EXPECT_TRUE(tableRows(c->db(), "Quenda_IpodScanedtxt").empty());
}

// Pieces of 100 characters, then 97 (the marker takes three), that join to the note again;
// an even hundred leaves an empty last piece, and neither a CR LF nor a character beyond the
// basic plane is cut in two.
TEST(NoteCutting, PiecesOfHundredThenNinetySevenCharacters)
{
    QString faces;
    for (int i = 0; i < 150; ++i)
        faces += QString::fromUcs4(U"\U0001F600", 1);
    const std::pair<QString, std::vector<qsizetype>> cases[] = {
        {repeatChars(250), {100, 97, 53}},
        {repeatChars(100), {100, 0}},
        {repeatChars(99), {99}},
        {QString(99, QLatin1Char('a')) + "\r\n" + QString(50, QLatin1Char('b')), {101, 50}},
        {faces, {100, 50}},
    };
    for (const auto &[note, sizes] : cases) {
        SCOPED_TRACE(note.left(120).toStdString());
        const QStringList pieces = sectionPieces(insertSectionBreaks(note));
        std::vector<qsizetype> got;
        for (const QString &piece : pieces) {
            got.push_back(piece.toUcs4().size());
            EXPECT_FALSE(piece.startsWith(QLatin1Char('\n')) ||
                         (!piece.isEmpty() && piece.front().isLowSurrogate()));
        }
        EXPECT_EQ(got, sizes);
        EXPECT_EQ(pieces.join(QString()), note);
    }

    // Far beyond 32,767 characters: 400 markers, the last piece holds what the markers pushed.
    const QStringList big = sectionPieces(insertSectionBreaks(repeatChars(40000)));
    ASSERT_EQ(big.size(), 401);
    EXPECT_EQ(big[399].size(), 97);
    EXPECT_EQ(big[400].size(), 40000 - 100 - 97 * 399);
    EXPECT_EQ(sectionPieces(QStringLiteral("a@*@b")), (QStringList{"a", "b"}));
    EXPECT_EQ(pieceFileName(QStringLiteral("notes.txt"), 1), QStringLiteral("notes.txt1.txt"));
}

TEST(NoteDisplay, LongLinesAreBrokenForTheViewerOnly)
{
    // Short lines only lose their CR.
    EXPECT_EQ(noteForDisplay(QStringLiteral("ab\r\ncd"), 4), QStringLiteral("ab\ncd"));
    EXPECT_EQ(noteForDisplay(QStringLiteral("abcd\nefgh"), 4), QStringLiteral("abcd\nefgh"));
    // A long line is cut at the width; a line end starts the count again.
    EXPECT_EQ(noteForDisplay(QStringLiteral("abcdefghij\r\nxy\nklmnop"), 4),
              QStringLiteral("abcd\nefgh\nij\nxy\nklmn\nop"));
    // A character beyond the basic plane stays whole across a break.
    const QString clef = QString::fromUcs4(U"\U0001D11E");
    const QString shown = noteForDisplay(QStringLiteral("abc") + clef + QStringLiteral("de"), 4);
    EXPECT_EQ(shown, QStringLiteral("abc") + clef + QStringLiteral("\nde"));
    EXPECT_TRUE(shown.isValidUtf16());
}

TEST(NoteMerge, ExistingNotesInOrderMissingOnesSkipped)
{
    TempPlaces places;
    const QString a = places.writeFile(QStringLiteral("Desktop/Ipod/a.txt"), "First note");
    const QString b = places.writeFile(QStringLiteral("Desktop/Ipod/b.txt"), "Gone");
    const QString c = places.writeFile(QStringLiteral("Desktop/Ipod/c.txt"), "Third caf\xE9");
    QFile::remove(b);
    JobControl control;
    const MergedDocument doc = buildMergedDocument({a, b, c}, control);
    EXPECT_EQ(doc.merged, 2);
    EXPECT_EQ(doc.missing, QStringList{b});
    const QString text = rtfToPlainText(doc.rtf);
    EXPECT_GT(text.indexOf(QStringLiteral(u"Third café")), text.indexOf(QStringLiteral("First")));
    EXPECT_TRUE(text.contains(QStringLiteral("First note")) && !text.contains("Gone"));

    const QString out = QDir(places.root()).filePath(QStringLiteral("merged.rtf"));
    EXPECT_TRUE(runNoteMerge({a, c}, out, places.stagingDir(), control).saved);
    EXPECT_TRUE(
        readAll(places.stagingDir() + QStringLiteral("/Merged.txt")).contains("Third caf\xE9"));

    JobControl failing;
    const MergeOutcome refused =
        runNoteMerge({a}, QDir(places.root()).filePath(QStringLiteral("no/dir/m.rtf")),
                     places.stagingDir(), failing);
    EXPECT_FALSE(refused.saved);
    EXPECT_TRUE(failing.status().message().contains(QLatin1String("No such file or directory")));
}

TEST(NoteReading, SmallDocumentsAnswerAtOnceLargeOnesLaterAndAboveTheLimitInPart)
{
    TempPlaces places;
    const QString small = places.writeFile(QStringLiteral("small.rtf"), "{\\rtf1\\ansi Small}");
    // Plain lines, above the size read at once and below the limit of a whole note.
    const QByteArray lines = (QByteArray(98, 'L') + "\r\n").repeated(16 << 10);
    const QString large = places.writeFile(QStringLiteral("large.txt"), lines);
    EXPECT_TRUE(readsAtOnce(small));
    EXPECT_FALSE(readsAtOnce(large));
    EXPECT_FALSE(readsAtOnce(places.root())); // a folder is left to the worker to refuse

    NoteReads reads;
    QStringList answers;
    const auto keep = [&](const NoteText &t) { answers << t.text.left(5); };
    reads.read(small, NoteReadKind::Preview, keep);
    EXPECT_EQ(answers, QStringList{"Small"});

    reads.read(large, NoteReadKind::Whole, [&](const NoteText &t) {
        EXPECT_TRUE(t.whole);
        EXPECT_EQ(t.text.size(), lines.size());
        answers << QStringLiteral("large");
    });
    EXPECT_TRUE(reads.isBusy());
    EXPECT_EQ(answers.size(), 1); // not before the owner's thread hears of it
    reads.waitForIdle();
    EXPECT_EQ(answers, (QStringList{"Small", "large"}));

    // A large read overtaken by a small one is dropped, though its body never looks at cancel.
    answers.clear();
    reads.read(large, NoteReadKind::Preview, keep);
    reads.read(small, NoteReadKind::Preview, keep);
    reads.waitForIdle();
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, QStringList{"Small"});
    EXPECT_FALSE(reads.isBusy());

    // A note above the limit gives its start and is not whole; a missing one gives nothing.
    const QString huge = places.writeFile(QStringLiteral("huge.txt"), "Start of it ");
    ASSERT_TRUE(QFile::resize(huge, kMaxDocumentBytes + 1));
    const NoteText read = readNoteText(huge, NoteReadKind::Whole);
    EXPECT_FALSE(read.whole);
    EXPECT_TRUE(read.text.startsWith(QStringLiteral("Start of it")));
    EXPECT_TRUE(read.text.contains(previewCutNote(kPreviewBytes, kMaxDocumentBytes + 1)));

    const NoteText missing =
        readNoteText(places.root() + QStringLiteral("/gone.txt"), NoteReadKind::Whole);
    EXPECT_FALSE(missing.whole);
    EXPECT_TRUE(missing.text.isEmpty());

    // Rich text is known by its content; plain text is decoded as UTF-8 or Windows-1252.
    EXPECT_FALSE(readsAsRichText("hello"));
    EXPECT_TRUE(readsAsRichText("{\\rtf1\\ansi x}"));
    EXPECT_FALSE(readsAsRichText("{ not rtf }"));

    EXPECT_EQ(decodePlainText("caf\xC3\xA9 \xE2\x82\xAC"), QStringLiteral(u"café €"));
    EXPECT_EQ(decodePlainText("caf\xE9 \x80"), QStringLiteral(u"café €"));
    EXPECT_EQ(decodePlainText("\xEF\xBB\xBFplain"), QStringLiteral("plain"));
}
