#include "fs/atomic_file.h"
#include "fs/fs_fixture.h"
#include "splitter/file_splitter.h"
#include "support/test_places.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quenda;
using namespace quenda::test;

namespace {

QByteArray numberedLines(int count, const char *end)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "line " + QByteArray::number(i) + end;
    return text;
}

// Every piece of `source` that exists, in order.
QList<QByteArray> pieces(const QString &source)
{
    QList<QByteArray> result;
    for (int k = 1; QFileInfo::exists(pieceName(source, k)); ++k)
        result << readAll(pieceName(source, k));
    return result;
}

SplitResult splitNow(const QString &path, double size, SplitUnit unit)
{
    JobControl control;
    return SplitFile(path, size, unit, control);
}

SplitCommandResult commandNow(const QString &path, const QString &size, SplitUnit unit)
{
    JobControl control;
    return runSplitCommand(path, size, unit, control);
}

// The split's rule read straight off: one line at a time, each written with CR LF, the piece
// tested after each line.
QList<QByteArray> modelPieces(const QByteArray &text, double size, SplitUnit unit)
{
    QList<QByteArray> result{QByteArray()};
    qint64 lines = 0;
    auto endLine = [&] {
        result.last() += "\r\n";
        ++lines;
        const double bytes = static_cast<double>(result.last().size());
        const bool full = unit == SplitUnit::Lines ? static_cast<double>(lines) == size
                          : unit == SplitUnit::KB  ? bytes / 1024.0 >= size
                                                   : bytes / (1024.0 * 1024.0) >= size;
        if (full) {
            result << QByteArray();
            lines = 0;
        }
    };
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        result.last() += text.mid(lineStart, i - lineStart);
        endLine();
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lineStart = i + 1;
    }
    if (lineStart < text.size()) {
        result.last() += text.mid(lineStart);
        endLine();
    }
    return result;
}

// The names starting with "." in folder: temporaries, finished or not.
QStringList hiddenNames(const QString &folder)
{
    return QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden);
}

QString fixture(const char *name)
{
    return QStringLiteral(QUENDA_FIXTURES_DIR "/split/") + QLatin1String(name);
}

// Text with every kind of line end placed on and around the read blocks' edges.
QByteArray blockEdgeText()
{
    const qsizetype block = static_cast<qsizetype>(kSplitReadBlock);
    std::mt19937 random(7);
    QByteArray text;
    while (text.size() < 4 * block + 5000) {
        const int roll = static_cast<int>(random() % 1000);
        text += QByteArray(static_cast<qsizetype>(random() % 160), 'a' + char(roll % 26));
        text += roll < 5 ? "\r" : roll < 10 ? "\n" : "\r\n";
    }
    // Block 1 ends in a CR whose LF opens block 2; block 2 ends in a lone CR; block 3 opens
    // with a lone LF; a line of more than a block runs from block 3 through block 4.
    text[block - 1] = '\r';
    text[block] = '\n';
    text[2 * block - 1] = '\r';
    text[2 * block] = 'x';
    text[3 * block - 1] = 'x';
    text[3 * block] = '\n';
    text.replace(3 * block + 1, block + 100, QByteArray(block + 100, 'L'));
    return text;
}

} // namespace

TEST(SplitFile, PiecesMatchTheLineByLineRuleWhereverTheBlocksFall)
{
    const qsizetype block = static_cast<qsizetype>(kSplitReadBlock);
    // A 3-line piece and a 512 KB piece that both end exactly on the first block's last byte.
    QByteArray exact = "one\r\ntwo\r\n";
    exact += QByteArray(block - exact.size() - 2, 'e') + "\r\n" + "after\r\nlast";

    struct Size {
        double size;
        SplitUnit unit;
    };
    struct Case {
        const char *name;
        QByteArray text;
        std::vector<Size> sizes;
    };
    const Case cases[] = {
        {"edges",
         blockEdgeText(),
         {{1000, SplitUnit::Lines},
          {2.5, SplitUnit::Lines},
          {512, SplitUnit::KB},
          {100.5, SplitUnit::KB},
          {0.4, SplitUnit::MB}}},
        {"exact", exact, {{3, SplitUnit::Lines}, {1, SplitUnit::Lines}, {511.9, SplitUnit::KB}}},
        // A file of one block that ends in a CR: the CR waits for a block that never comes and
        // still ends the last line.
        {"cr-at-eof",
         QByteArray(block - 1, 'c') + "\r",
         {{1, SplitUnit::Lines}, {3, SplitUnit::KB}}},
        // "\n\r" is two line ends with an empty line between; the last line has no end.
        // Sizes that no line count reaches keep the whole file in one piece.
        {"mixed",
         "a\rb\nc\r\nd\n\re\r\r\nf",
         {{2, SplitUnit::Lines}, {0, SplitUnit::Lines}, {-3, SplitUnit::Lines}}},
        {"empty", QByteArray(), {{5, SplitUnit::Lines}}},
    };

    TempPlaces places(false);
    int folder = 0;
    for (const Case &c : cases) {
        for (const auto &[size, unit] : c.sizes) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(size) + " " +
                         unitWord(unit).toStdString());
            const QString path =
                places.writeFile(QStringLiteral("case%1/text.txt").arg(folder++), c.text);
            const QList<QByteArray> want = modelPieces(c.text, size, unit);
            EXPECT_EQ(splitNow(path, size, unit).pieces, want.size());
            EXPECT_TRUE(pieces(path) == want); // the pieces are too large to print
        }
    }
}

TEST(SplitFile, TooSmallAndFolderChecksRefuseBeforeAnyPieceIsWritten)
{
    TempPlaces places(false);
    // A folder is no file to split, even when its name has a dot.
    QDir(places.root()).mkpath("Old.Docs/inner.d");
    const auto folder = splitNow(places.root() + "/Old.Docs/inner.d", 5, SplitUnit::Lines);
    EXPECT_TRUE(folder.message->text.endsWith("inner.d not found!"));

    // Exactly 2 KB is too small for 2 KB pieces, in KB and in MB alike.
    const QString exact = places.writeFile("exact.txt", QByteArray(2048, 'k'));
    EXPECT_EQ(splitNow(exact, 2, SplitUnit::KB).pieces, -1);
    EXPECT_EQ(splitNow(exact, 0.002, SplitUnit::MB).pieces, -1);
    EXPECT_FALSE(QFileInfo::exists(pieceName(exact, 1)));
    // Its one line fills the first piece, so an empty second piece follows.
    EXPECT_EQ(splitNow(exact, 1.99, SplitUnit::KB).pieces, 2);
}

TEST(SplitFile, PiecesTakeTheirNameFromTheFileNameAndStayBesideIt)
{
    const std::tuple<const char *, int, const char *> names[] = {
        {"/home/u/Notes/long.txt", 2, "/home/u/Notes/long2.txt"},
        {"/a/archive.tar.gz", 3, "/a/archive.tar3.gz"},
        {"/Old.Docs/notes", 1, ""},
        {"plain.txt", 12, "plain12.txt"}};
    for (const auto &[source, k, piece] : names)
        EXPECT_EQ(pieceName(QString::fromLatin1(source), k), QString::fromLatin1(piece)) << source;

    TempPlaces places(false);
    const QString path = places.writeFile("Old.Docs/notes.txt", "1\n2\n3\n");
    // An older piece of the same name is replaced, not appended to.
    places.writeFile("Old.Docs/notes1.txt", QByteArray(5000, 'o'));
    EXPECT_EQ(splitNow(path, 2, SplitUnit::Lines).pieces, 2);
    EXPECT_EQ(QDir(places.root() + "/Old.Docs").entryList(QDir::Files),
              (QStringList{"notes.txt", "notes1.txt", "notes2.txt"}));
    EXPECT_EQ(readAll(places.root() + "/Old.Docs/notes1.txt"), "1\r\n2\r\n");
    EXPECT_EQ(QDir(places.root()).entryList(QDir::Files), QStringList());
}

TEST(SplitFile, SampleFilesSplitWithoutLosingOrAddingText)
{
    for (const char *name : {"b_split_crlf_nofinal.txt", "b_split_lf_longline.txt"}) {
        SCOPED_TRACE(name);
        if (!QFileInfo::exists(fixture(name)))
            GTEST_SKIP() << "sample files are not present";
        TempPlaces places(false);
        const QByteArray text = readAll(fixture(name));
        const QString path = places.writeFile(QLatin1String(name), text);
        const QList<QByteArray> want = modelPieces(text, 100, SplitUnit::Lines);
        EXPECT_EQ(splitNow(path, 100, SplitUnit::Lines).pieces, want.size());
        EXPECT_TRUE(pieces(path) == want);
    }
}

TEST(SplitCommand, TheSizeIsReadAsItsLeadingNumberAndCappedAbove1024Kb)
{
    EXPECT_EQ(leadingNumber("12.5.7"), 12.5);
    EXPECT_EQ(leadingNumber(" 3 0kb"), 30.0);
    EXPECT_EQ(leadingNumber("."), 0.0);

    TempPlaces places(false);
    const QString path = places.writeFile("long.txt", numberedLines(10, "\n"));
    EXPECT_EQ(commandNow(path, "1024.5", SplitUnit::KB).sizeText, "1024");
    // 1024 itself passes the cap and falls to the size check instead.
    const SplitCommandResult atCap = commandNow(path, "1024", SplitUnit::KB);
    EXPECT_FALSE(atCap.sizeText);
    ASSERT_EQ(atCap.messages.size(), 2u);
    EXPECT_TRUE(atCap.messages[0].text.startsWith("The file you want"));
}

TEST(SplitFile, AFullDiskStopsTheSplitAndLeavesNoFragmentNorADamagedEarlierPiece)
{
    TempPlaces places(false);
    const QString disk = places.desktopDir() + "/disk";
    ASSERT_TRUE(QDir().mkpath(disk));
    TmpfsMount mount(disk, "size=64k");
    if (!mount.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    // 20 lines of about 2 KB: the source and its first pieces fill the 64 KB file system.
    QByteArray text;
    for (int i = 0; i < 20; ++i)
        text += QByteArray(2000, char('a' + i)) + "\r\n";
    const QString path = disk + "/big.txt";
    ASSERT_TRUE(writeFileAtomically(path, text));
    const QString last = pieceName(path, 10);
    ASSERT_TRUE(writeFileAtomically(last, "an earlier piece\r\n"));

    const SplitResult result = splitNow(path, 2, SplitUnit::Lines);
    EXPECT_EQ(result.pieces, -1);
    ASSERT_TRUE(result.message);
    EXPECT_TRUE(result.message->text.startsWith("Error: 61 - Disk full: "));
    EXPECT_EQ(readAll(path) + readAll(last), text + "an earlier piece\r\n");
    // Every piece that exists is whole: two full lines of the source. The pieces before the
    // one that failed all took their names, and the message names the one that failed.
    int k = 1;
    for (; k < 10 && QFileInfo::exists(pieceName(path, k)); ++k)
        EXPECT_EQ(readAll(pieceName(path, k)), text.mid((k - 1) * 4004, 4004)) << k;
    EXPECT_GT(k, 1);
    EXPECT_TRUE(result.message->text.endsWith(QDir::toNativeSeparators(pieceName(path, k))))
        << result.message->text.toStdString();
    EXPECT_EQ(hiddenNames(disk), QStringList()) << "no temporary file is left behind";
}

TEST(SplitFile, APieceNameThatIsTheSourceItselfIsRefusedBeforeAnythingIsWritten)
{
    TempPlaces places(false);
    const QByteArray text = "a\r\nb\r\nc\r\nd\r\n";
    const QString path = places.writeFile("s.txt", text);
    ASSERT_EQ(::link(QFile::encodeName(path).constData(),
                     QFile::encodeName(pieceName(path, 3)).constData()),
              0);
    const SplitResult result = splitNow(path, 1, SplitUnit::Lines);
    EXPECT_EQ(result.pieces, -1);
    EXPECT_TRUE(result.message && result.message->text.contains(pieceName(path, 3)));
    EXPECT_EQ(readAll(path), text);
    EXPECT_FALSE(QFileInfo::exists(pieceName(path, 1)));
}

TEST(SplitFile, ACancelStopsAtALineEndAndKeepsThePiecesWritten)
{
    TempPlaces places(false);
    const QString path = places.writeFile("notes.txt", numberedLines(50, "\r\n"));
    JobControl control;
    control.cancel();
    const SplitResult stopped = SplitFile(path, 10, SplitUnit::Lines, control);
    EXPECT_TRUE(stopped.stopped && stopped.pieces == 1);
    EXPECT_EQ(pieces(path), QList<QByteArray>{numberedLines(1, "\r\n")});
    EXPECT_EQ(hiddenNames(QFileInfo(path).path()), QStringList());
    const auto messages = splitMessages({path, "10", 10, SplitUnit::Lines}, stopped);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QLatin1String("was stopped: 1 files were written")));
}
