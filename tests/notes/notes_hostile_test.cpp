// Notes against a hostile file system: links in the staging folder, sources that vanish or
// cannot be read, names that are not UTF-8, pipes, a full disk and a database that refuses.

#include "db/scans.h"
#include "fs/atomic_file.h"
#include "fs/fs_fixture.h"
#include "fs/native_path.h"
#include "fs/regular_file.h"
#include "notes/note_conversion.h"
#include "notes/note_cutting.h"
#include "notes/note_merge.h"
#include "notes/notes_scan.h"
#include "support/cli_runner.h"
#include "support/test_places.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

namespace {

struct Converted {
    ConversionOutcome outcome;
    JobReport report;
};

// The documents the last scan recorded, as the window hands them to the conversion.
std::vector<NoteSource> scannedSources(QSqlDatabase &db)
{
    std::vector<NoteSource> sources;
    const auto rows = scanListRows(db, ScanTable::Documents);
    for (const ScanRow &row : rows.value())
        sources.push_back({row.application, row.path});
    return sources;
}

// Scans src below the places' root and converts what was found, as the window does.
Converted scanAndConvert(const TempPlaces &places)
{
    auto c = places.connect();
    JobControl scan, control;
    scanIntoTable(c->db(), places.root() + QStringLiteral("/src"),
                  QString::fromLatin1(kDocumentMasks), ScanTable::Documents, scan);
    const ConversionOutcome outcome =
        convertDocuments(c->db(), scannedSources(c->db()), {}, places.stagingDir(), control);
    return {outcome, control.report()};
}

// The file at a path that may not be UTF-8, read by its own bytes.
QByteArray readNative(const QString &path)
{
    QFile file;
    return openRegularFile(path, file) ? file.readAll() : QByteArray("<unreadable>");
}

// Names that are not UTF-8 are beyond QTemporaryDir's clean-up.
struct RemovedAtEnd {
    QStringList paths;
    ~RemovedAtEnd()
    {
        for (const QString &path : paths)
            ::unlink(toNativePath(path).constData());
    }
};

QStringList failedPaths(const JobReport &report)
{
    QStringList paths;
    for (const ItemFailure &f : report.failures)
        paths << f.path;
    return paths;
}

} // namespace

TEST(NotesHostile, LinksAreReplacedAndUnreadableSourcesReportedKeepingTheirEarlierNotes)
{
    TempPlaces places;
    const QString gone = places.writeFile(QStringLiteral("src/gone.txt"), "first");
    const QString swapped = places.writeFile(QStringLiteral("src/swap.txt"), "second");
    // A name that is not UTF-8 is converted under its own bytes.
    const QString cafe = fromNativePath(QFile::encodeName(places.root()) + "/src/caf\xe9.txt");
    const QString cafeNote =
        fromNativePath(QFile::encodeName(places.stagingDir()) + QByteArray("/caf\xe9.txt"));
    RemovedAtEnd cleanUp{{cafe, cafeNote}};
    ASSERT_TRUE(writeFileAtomically(cafe, "body"));
    places.writeFile(QStringLiteral("src/plain.rtf"), "plain text in an rtf file");
    // A link at a note's name is replaced; what it points at is kept.
    places.writeFile(QStringLiteral("src/Bob.txt"), "new text");
    const QString victim = places.writeFile(QStringLiteral("victim.txt"), "KEEP");
    ASSERT_TRUE(QDir().mkpath(places.stagingDir()));
    ASSERT_TRUE(QFile::link(victim, places.stagingDir() + QStringLiteral("/Bob.txt")));

    const Converted first = scanAndConvert(places);
    EXPECT_TRUE(first.report.succeeded()) << failedPaths(first.report).join(' ').toStdString();
    EXPECT_EQ(first.outcome.written, 5);
    EXPECT_EQ(readAll(victim), QByteArray("KEEP"));
    EXPECT_EQ(readAll(places.stagingDir() + QStringLiteral("/Bob.txt")), QByteArray("new text"));
    EXPECT_EQ(readAll(places.stagingDir() + QStringLiteral("/plain.txt")),
              QByteArray("plain text in an rtf file"));
    EXPECT_EQ(readNative(cafeNote), QByteArray("body"));
    // The tables keep the name's bytes: what they list is the file that exists.
    auto c = places.connect();
    EXPECT_TRUE((*scannedPaths(c->db(), ScanTable::Documents)).contains(cafe));
    EXPECT_TRUE((*scannedPaths(c->db(), ScanTable::Notes)).contains(cafeNote));

    // After the scan one source goes and a pipe takes the place of another: the conversion
    // reports both at once instead of hanging, and their notes stay.
    const std::vector<NoteSource> sources = scannedSources(c->db());
    ASSERT_TRUE(QFile::remove(gone));
    ASSERT_TRUE(QFile::remove(swapped));
    ASSERT_EQ(::mkfifo(QFile::encodeName(swapped).constData(), 0600), 0);
    JobControl control;
    const ConversionOutcome second = convertDocuments(
        c->db(), sources, *scannedPaths(c->db(), ScanTable::Notes), places.stagingDir(), control);
    EXPECT_EQ(failedPaths(control.report()), (QStringList{gone, swapped}));
    EXPECT_TRUE(control.failures()[1].reason.contains(QLatin1String("not a regular file")));
    EXPECT_EQ(second.written, 3) << "the documents after them are converted all the same";
    EXPECT_EQ(readAll(places.stagingDir() + QStringLiteral("/gone.txt")) +
                  readAll(places.stagingDir() + QStringLiteral("/swap.txt")),
              QByteArray("firstsecond"));
}

TEST(NotesHostile, AFullDiskKeepsTheEarlierNoteAndNamesTheSystemsReason)
{
    TempPlaces places;
    ASSERT_TRUE(QDir().mkpath(places.stagingDir()));
    TmpfsMount disk(places.stagingDir(), "size=64k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    places.writeFile(QStringLiteral("Desktop/Ipod/big.txt"), "the earlier note");
    // Plain text streams; this one is larger than the whole file system.
    places.writeFile(QStringLiteral("src/big.txt"), QByteArray(200 * 1024, 'x'));

    const Converted run = scanAndConvert(places);
    ASSERT_EQ(run.report.failures.size(), 1u);
    EXPECT_TRUE(run.report.failures[0].reason.contains(QStringLiteral("No space left on device")))
        << run.report.failures[0].reason.toStdString();
    EXPECT_EQ(readAll(places.stagingDir() + QStringLiteral("/big.txt")),
              QByteArray("the earlier note"));
    EXPECT_EQ(QDir(places.stagingDir()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("big.txt")});
}

// Every note goes to the disk with its batch and takes its name afterwards; a rename that fails
// then (here: over an immutable file) must reach the job's failures by name.
TEST(NotesHostile, ANoteThatCannotTakeItsNameIsReportedByNameNeverAsWritten)
{
    TempPlaces places;
    const QString staging = places.stagingDir();
    const QString lockedNote = places.writeFile(QStringLiteral("Desktop/Ipod/b.txt"), "earlier");
    const QString lockedPiece = places.writeFile(QStringLiteral("Desktop/Ipod/n.txt1.txt"), "old");
    const QString lockedRtf = places.writeFile(QStringLiteral("locked.rtf"), "old document");
    ImmutableFile note(lockedNote), piece(lockedPiece), rtf(lockedRtf);
    if (!note.marked() || !piece.marked() || !rtf.marked())
        GTEST_SKIP() << "an immutable file needs root and a file system that keeps the mark";
    const auto refused = [](const QString &path) {
        return QStringLiteral("Cannot write %1: Operation not permitted").arg(path);
    };

    const QString a = places.writeFile(QStringLiteral("src/a.txt"), "first");
    const QString b = places.writeFile(QStringLiteral("src/b.txt"), "second");
    auto db = places.connect();
    JobControl convert;
    const ConversionOutcome converted =
        convertDocuments(db->db(), {{QStringLiteral("a.txt"), a}, {QStringLiteral("b.txt"), b}}, {},
                         staging, convert);
    EXPECT_EQ(converted.written, 1);
    EXPECT_EQ(converted.failed, 1);
    EXPECT_EQ(convert.failures(), (std::vector<ItemFailure>{{b, refused(lockedNote)}}));
    EXPECT_EQ(conversionMessage(converted),
              QStringLiteral("File Converted\n1 of 2 documents could not be converted; their "
                             "earlier notes, if any, were kept."));
    EXPECT_EQ(readAll(lockedNote), QByteArray("earlier"));
    EXPECT_EQ(readAll(staging + QStringLiteral("/a.txt")), QByteArray("first"));

    JobControl cut;
    EXPECT_EQ(writeNotePieces({"p0", "p1", "p2"}, QStringLiteral("n.txt"), staging, cut),
              (QStringList{"n.txt0.txt", "n.txt2.txt"}));
    EXPECT_EQ(cut.failures(), (std::vector<ItemFailure>{{"n.txt1.txt", refused(lockedPiece)}}));
    EXPECT_EQ(readAll(staging + QStringLiteral("/n.txt2.txt")), QByteArray("p2"));
    EXPECT_EQ(cut.progress().done, 3);

    // A merged document that cannot take its name is not saved, and Merged.txt does not follow.
    JobControl unsaved;
    EXPECT_FALSE(runNoteMerge({a}, lockedRtf, staging, unsaved).saved);
    EXPECT_EQ(unsaved.status().message(), refused(lockedRtf));
    EXPECT_EQ(readAll(lockedRtf), QByteArray("old document"));
    EXPECT_FALSE(QFileInfo::exists(staging + QStringLiteral("/Merged.txt")));

    // Saved, but Merged.txt cannot take its name: the merge names it.
    const QString mergedNote = places.writeFile(QStringLiteral("Desktop/Ipod/Merged.txt"), "old");
    ImmutableFile lockedMerged(mergedNote);
    ASSERT_TRUE(lockedMerged.marked());
    JobControl merge;
    const QString out = places.root() + QStringLiteral("/merged.rtf");
    EXPECT_TRUE(runNoteMerge({a}, out, staging, merge).saved);
    EXPECT_TRUE(readAll(out).startsWith("{\\rtf"));
    EXPECT_EQ(merge.failures(), (std::vector<ItemFailure>{{"Merged.txt", refused(mergedNote)}}));

    // No temporary of a refused note stays behind.
    for (const QString &name : QDir(staging).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
}

TEST(NotesHostile, PlainTextStreamsAcrossBlocksAndSpecialFilesOrHugeRtfAreNotRead)
{
    TempPlaces places;
    // Read blocks divide a megabyte: a CR ends the first megabyte and its LF begins the next,
    // and a two-byte UTF-8 character straddles the end of the second.
    constexpr qsizetype kMb = qsizetype(1) << 20;
    QByteArray text(kMb - 1, 'a');
    text += "\r\n\xE2\x82\xAC\r";
    text += QByteArray(2 * kMb - 1 - text.size(), 'b');
    text += "\xC5\x93 end\n";
    const QString source = places.writeFile(QStringLiteral("big.txt"), text);
    const QString note = places.root() + QStringLiteral("/note.txt");
    QString preview;
    ASSERT_TRUE(convertDocument(source, note, &preview));
    QByteArray expected(kMb - 1, 'a');
    expected += "\r\n\x80\r\n" + QByteArray(2 * kMb - 1 - (kMb + 5), 'b') + "\x9C end\r\n";
    EXPECT_EQ(readAll(note), expected);
    EXPECT_TRUE(preview.contains(QStringLiteral("The preview shows the first")));
    EXPECT_LT(preview.size(), kPreviewBytes + 200);

    // Special files and a huge RTF are refused, not read.
    const CliRun zero = runCli(places, {QStringLiteral("rtf-text"), QStringLiteral("/dev/zero")});
    EXPECT_EQ(zero.status, 1);
    EXPECT_TRUE(zero.err.contains(QStringLiteral("not a regular file"))) << zero.err.toStdString();

    const QString huge = places.writeFile(QStringLiteral("huge.rtf"), "{\\rtf1 ");
    ASSERT_TRUE(QFile::resize(huge, kMaxDocumentBytes + 1)); // sparse: costs no disk
    const CliRun big = runCli(places, {QStringLiteral("rtf-text"), huge});
    EXPECT_EQ(big.status, 1);
    EXPECT_TRUE(big.err.contains(QStringLiteral("larger than 64 MB"))) << big.err.toStdString();
    // The preview reads only the start of it.
    const Result<QString> startOnly = documentPreview(huge);
    ASSERT_TRUE(startOnly);
    EXPECT_TRUE(startOnly->contains(QStringLiteral("The preview shows the first 1024 KB")));
}

TEST(NotesHostile, ConvertFailsWithItsReasonWhenTheTableCannotBeUpdated)
{
    TempPlaces places;
    TmpfsMount disk(places.programDir() + QStringLiteral("/ro"), "size=1m");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    // The database on a file system that turns read-only once it is made.
    Places at = places.places();
    at.programDir = places.programDir() + QStringLiteral("/ro");
    ASSERT_TRUE(ensureDatabase(at.databasePath()));
    ASSERT_TRUE(disk.remountReadOnly());
    places.writeFile(QStringLiteral("src/a.txt"), "a");

    Connection c(at.databasePath());
    std::vector<NoteSource> sources{{QStringLiteral("a.txt"), places.root() + "/src/a.txt"}};
    JobControl control;
    const ConversionOutcome outcome =
        convertDocuments(c.db(), sources, {}, places.stagingDir(), control);
    EXPECT_EQ(outcome.written, 1);
    EXPECT_FALSE(control.report().succeeded());
    EXPECT_TRUE(control.status().message().contains(QStringLiteral("readonly")))
        << control.status().message().toStdString();
}
