#include "fs/fs_fixture.h"
#include "fs/text_output.h"
#include "player/fat_names.h"
#include "player/note_pieces.h"
#include "player/player_device.h"
#include "player/player_discovery.h"

#include <QTest>

#include <optional>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

// The note again from its pieces, each piece's link line taken off; checks each link on the
// way: it names the next piece and is the piece's last line.
QByteArray joinPieces(const QByteArray &note, const std::vector<NotePiece> &pieces)
{
    QByteArray joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const QByteArray bytes = notePieceBytes(note, pieces[i]);
        EXPECT_LE(bytes.size(), kPlayerNoteLimit) << pieces[i].name.toStdString();
        if (i + 1 < pieces.size()) {
            const QByteArray &link = pieces[i].link;
            const QString linkText =
                isUtf8Text(link) ? QString::fromUtf8(link) : fromWindows1252(link);
            EXPECT_TRUE(linkText.startsWith("\r\n<A HREF=\"" + pieces[i + 1].name + "\">"))
                << linkText.toStdString();
            EXPECT_TRUE(bytes.endsWith(link));
            EXPECT_TRUE(bytes.endsWith("</A>"));
            joined += bytes.left(bytes.lastIndexOf("\r\n<A HREF="));
        } else {
            EXPECT_TRUE(pieces[i].link.isEmpty());
            joined += bytes;
        }
    }
    return joined;
}

} // namespace

TEST(NotePieces, LongNotesAreCutAtLineEndsOrCharacterBoundariesAndJoinAgain)
{
    // Short enough: one file under its own name, untouched.
    const std::vector<NotePiece> whole = cutNoteForPlayer(QByteArray(4096, 'a'), "Short");
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].name, "Short.txt");

    // Lines of 40 bytes: every cut falls after a line end.
    QByteArray lines;
    for (int i = 0; lines.size() < 10000; ++i)
        lines += QByteArray::number(i).rightJustified(37, '.') + "\r\n";
    const std::vector<NotePiece> byLine = cutNoteForPlayer(lines, "Diary");
    ASSERT_EQ(byLine.size(), 3u);
    EXPECT_EQ(byLine[0].name, "Diary (1 of 3).txt");
    EXPECT_TRUE(byLine[0].link.contains("Diary (2 of 3).txt"));
    for (size_t i = 0; i + 1 < byLine.size(); ++i)
        EXPECT_TRUE(lines.mid(0, byLine[i].offset + byLine[i].length).endsWith("\r\n"));
    EXPECT_EQ(joinPieces(lines, byLine), lines);

    // One long UTF-8 line of two- and three-byte characters: no line end to cut at, and no
    // piece may end inside a character.
    const QByteArray utf8 = QString(QStringLiteral("é€")).repeated(3000).toUtf8();
    const std::vector<NotePiece> byChar = cutNoteForPlayer(utf8, "Müller");
    EXPECT_EQ(joinPieces(utf8, byChar), utf8);
    for (const NotePiece &piece : byChar) {
        EXPECT_TRUE(isUtf8Text(utf8.mid(piece.offset, piece.length))) << piece.offset;
        EXPECT_TRUE(isUtf8Text(piece.link));
    }
    EXPECT_TRUE(byChar[0].link.contains("Müller (2 of"));

    // Windows-1252 bytes are each one character: the room is used to the byte, and the link
    // is written in the note's own encoding.
    const QByteArray cp1252 = QByteArray(9000, '\xe9');
    const std::vector<NotePiece> bySingleByte = cutNoteForPlayer(cp1252, "Caf\u00e9");
    EXPECT_EQ(bySingleByte[0].size(), kPlayerNoteLimit);
    EXPECT_TRUE(bySingleByte[0].link.contains("Caf\xe9 (2 of 3).txt"));
    EXPECT_EQ(joinPieces(cp1252, bySingleByte), cp1252);

    // A CR LF is never split when the cut falls between them.
    QByteArray crlf(5000, 'x');
    const std::vector<NotePiece> probe = cutNoteForPlayer(crlf, "Edge");
    const qsizetype end = probe[0].length;
    crlf[end - 1] = '\r';
    crlf[end] = '\n';
    const std::vector<NotePiece> aroundCrLf = cutNoteForPlayer(crlf, "Edge");
    EXPECT_NE(crlf[aroundCrLf[0].length - 1], '\r');
    EXPECT_EQ(joinPieces(crlf, aroundCrLf), crlf);

    // Ten pieces or more: the links carry two-digit counts and still fit.
    const QByteArray big(50000, 'z');
    const std::vector<NotePiece> many = cutNoteForPlayer(big, "Big");
    EXPECT_GE(many.size(), 10u);
    EXPECT_EQ(many.back().name, QStringLiteral("Big (%1 of %1).txt").arg(many.size()));
    EXPECT_EQ(joinPieces(big, many), big);
}

TEST(FatNames, RefusedCharactersAndTrailingDotsOrBlanksBecomeUnderscores)
{
    EXPECT_EQ(fatSafeName("a:b*c?d\"e<f>g|h\\i.vcf"), "a_b_c_d_e_f_g_h_i.vcf");
    EXPECT_EQ(fatSafeName("NAME-W .vcf"), "NAME-W .vcf");
    EXPECT_EQ(fatSafeName("Notes. ."), "Notes___");
    EXPECT_EQ(fatSafeName(QStringLiteral("tab\there.txt")), "tab_here.txt");
    EXPECT_EQ(fatSafeName("Zoë (work).txt"), "Zoë (work).txt");
}

TEST(PlayerDevice, ARootWithTheControlFolderInAnyCaseIsAPlayerNamedAndModelled)
{
    TempTree tree;
    tree.file("Mine/IPOD_CONTROL/device/sysinfo", "pszSerialNumber: 8K12\nModelNumStr: xA623\n");
    tree.file("Board/iPod_Control/Device/SysInfo", "BoardHwName: iPod M25\n");
    tree.folder("Plain/iPod_Control");
    tree.file("NotAPlayer/iPod_Control", "a file, not a folder");
    tree.folder("Empty");

    EXPECT_TRUE(isPlayerRoot(tree.path("Mine")));
    EXPECT_FALSE(isPlayerRoot(tree.path("NotAPlayer")));
    EXPECT_EQ(playerModelAt(tree.path("Board")), "iPod M25");

    const Player labelled = describePlayer(tree.path("Mine"), "  JOE'S IPOD ");
    EXPECT_EQ(labelled.name, "JOE'S IPOD");
    EXPECT_EQ(labelled.model, "xA623");
    EXPECT_EQ(describePlayer(tree.path("Plain") + "/", QString()).name, "Plain");

    // The roots given replace discovery; folders that are no player are left out.
    PlayerSources sources;
    sources.roots =
        QStringList{tree.path("Mine"), tree.path("Empty"), tree.path("Plain"), tree.path("Mine/")};
    const PlayerList found = findPlayers(sources);
    EXPECT_EQ(found.source, DiscoverySource::Roots);
    ASSERT_EQ(found.players.size(), 2u);
    EXPECT_EQ(found.players[0].root, tree.path("Mine"));
    EXPECT_EQ(found.players[1].name, "Plain");
}

TEST(PlayerDiscoveryTest, WithoutUDisksTheMountTableIsReadAndWatched)
{
    TempTree tree;
    const QString point = tree.path("IPOD");
    std::optional<TmpfsMount> mount(std::in_place, point, "size=1m");
    if (!mount->mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    tree.folder("IPOD/iPod_Control");
    PlayerDiscovery discovery(PlayerSources{});
    discovery.start();
    EXPECT_EQ(discovery.source(), DiscoverySource::MountTable);
    ASSERT_NE(playerAt(discovery.players(), point), nullptr);
    EXPECT_EQ(playerAt(discovery.players(), point)->name, "IPOD");

    // Tests running beside this one mount and unmount players of their own: wait for this one.
    QStringList gone;
    QObject::connect(&discovery, &PlayerDiscovery::playerDisappeared,
                     [&](const QString &root) { gone << root; });
    mount.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return gone.contains(point); }, 5000))
        << gone.join(' ').toStdString();
    EXPECT_EQ(playerAt(discovery.players(), point), nullptr);
}
