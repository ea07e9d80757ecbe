#include "fs/fs_fixture.h"
#include "player/player_send.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

namespace {

// A staging folder and a fake player side by side.
struct SendScene {
    TempTree tree;
    QString staging = tree.folder("Desktop/Ipod");
    QString root = tree.folder("Player");
    SendScene() { tree.folder("Player/iPod_Control"); }
    QString stage(const QString &name, const QByteArray &bytes) const
    {
        return tree.file("Desktop/Ipod/" + name, bytes);
    }
    PlayerSendRequest request() const
    {
        PlayerSendRequest r;
        r.staging = staging;
        r.player.root = root;
        return r;
    }
};

// Hidden names left on the player: temporaries that were never renamed.
QStringList leftovers(const SendScene &scene)
{
    return scene.tree.listing("Player").filter(QRegularExpression("(^|/)\\."));
}

} // namespace

TEST(PlayerSend, PreviewThenJobWritesEveryFileAndNamesWhatItReplacedAndRenamed)
{
    SendScene s;
    const QByteArray anna = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Anna\r\nEND:VCARD\r\n";
    s.stage("Anna.vcf", anna);
    s.stage("Bob-W .vcf", "work card");
    s.stage("Who? .vcf", "odd name");
    s.stage("Short.txt", "a short note\r\n");
    QByteArray longNote;
    while (longNote.size() < 9000)
        longNote += "Caf\xe9 line for the notes reader\r\n";
    s.stage("Long.txt", longNote);
    s.stage("picture.jpg", "not sent");
    s.tree.folder("Desktop/Ipod/Pics-Trip");
    s.tree.file("Player/contacts/Anna.vcf", "old card");

    Result<PlayerSendPlan> plan = planPlayerSend(s.request());
    ASSERT_TRUE(plan.ok()) << plan.message().toStdString();
    EXPECT_TRUE(plan->allowed.ok()) << plan->allowed.message().toStdString();
    EXPECT_EQ(plan->contacts, 3);
    EXPECT_EQ(plan->notes, 2);
    EXPECT_EQ(plan->cutNotes, 1);
    EXPECT_EQ(plan->files, 3 + 1 + 3);
    // The existing folder is used under its own spelling; Notes is to be made.
    EXPECT_EQ(plan->contactsFolder, s.root + "/contacts");
    EXPECT_TRUE(plan->makeNotes);
    EXPECT_EQ(plan->replaced, std::vector<QString>{"contacts/Anna.vcf"});
    ASSERT_EQ(plan->renamed.size(), 1u);
    EXPECT_EQ(plan->renamed[0].to, "Who_ .vcf");

    JobControl control;
    const PlayerSendOutcome outcome = runPlayerSend(s.request(), control);
    EXPECT_TRUE(control.report().succeeded()) << control.status().message().toStdString();
    EXPECT_EQ(readFile(s.root + "/contacts/Anna.vcf"), anna);
    EXPECT_EQ(readFile(s.root + "/contacts/Who_ .vcf"), "odd name");
    EXPECT_EQ(readFile(s.root + "/Notes/Short.txt"), "a short note\r\n");
    // How the pieces join again is the cutter's own test; here they must all arrive.
    EXPECT_TRUE(QFileInfo::exists(s.root + "/Notes/Long (3 of 3).txt"));
    EXPECT_EQ(readFile(s.staging + "/Long.txt"), longNote);
    EXPECT_EQ(outcome.replaced, std::vector<QString>{"contacts/Anna.vcf"});
    EXPECT_EQ(outcome.written.size(), 7u) << "the picture and the folder stay behind";
    EXPECT_EQ(outcome.notesOnPlayer, 4);
    const QString summary = playerSendSummary(outcome);
    EXPECT_TRUE(summary.contains("contacts/Anna.vcf")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("Who? .vcf -> Who_ .vcf"));
    EXPECT_TRUE(leftovers(s).isEmpty());
}

TEST(PlayerSend, AFolderThatIsALinkOrAFileIsRefusedByNameAndNothingIsWritten)
{
    SendScene s;
    s.stage("Anna.vcf", "card");
    s.stage("Note.txt", "note");
    const QString elsewhere = s.tree.folder("Elsewhere");
    s.tree.link("Player/Contacts", elsewhere);
    s.tree.file("Player/Notes", "a file");

    Result<PlayerSendPlan> plan = planPlayerSend(s.request());
    ASSERT_TRUE(plan.ok());
    EXPECT_TRUE(plan->allowed.message().contains("\"Contacts\""))
        << plan->allowed.message().toStdString();
    EXPECT_TRUE(plan->allowed.message().contains("link"));
    JobControl control;
    (void)sendToPlayer(*plan, control);
    EXPECT_EQ(control.status().message(), plan->allowed.message());
    EXPECT_TRUE(s.tree.listing("Elsewhere").isEmpty());

    // Notes alone meets the file in its way.
    PlayerSendRequest notesOnly = s.request();
    notesOnly.contacts = false;
    JobControl second;
    (void)runPlayerSend(notesOnly, second);
    EXPECT_TRUE(second.status().message().contains("\"Notes\" on the player"))
        << second.status().message().toStdString();
    EXPECT_TRUE(second.status().message().contains("is a file"));
    EXPECT_EQ(readFile(s.root + "/Notes"), "a file");
}

TEST(PlayerSend, TooLittleSpaceOrAReadOnlyPlayerIsRefusedBeforeAnythingIsWritten)
{
    SendScene s;
    const QString mount = s.tree.path("Small");
    TmpfsMount tmpfs(mount, "size=64k");
    if (!tmpfs.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    s.tree.folder("Small/iPod_Control");
    for (int i = 0; i < 40; ++i)
        s.stage(QStringLiteral("Card %1.vcf").arg(i), QByteArray(3000, 'v'));
    PlayerSendRequest request = s.request();
    request.player.root = mount;
    request.player.name = "SMALL";

    JobControl control;
    (void)runPlayerSend(request, control);
    EXPECT_TRUE(control.status().message().startsWith(
        "Not enough space on the player SMALL: the send needs "))
        << control.status().message().toStdString();
    EXPECT_EQ(s.tree.listing("Small"), QStringList{"iPod_Control"}) << "nothing written";

    QDir(s.staging).removeRecursively();
    s.stage("Card.vcf", "one");
    ASSERT_TRUE(tmpfs.remountReadOnly());
    JobControl readOnly;
    (void)runPlayerSend(request, readOnly);
    EXPECT_EQ(readOnly.status().message(), "The player SMALL is read-only; nothing was written.");
}

TEST(PlayerSend, APlayerTakenOutMidSendStopsWithTheReasonAndLeavesNoHalfFile)
{
    SendScene s;
    for (int i = 0; i < 30; ++i)
        s.stage(QStringLiteral("C%1.vcf").arg(i, 2, 10, QLatin1Char('0')), QByteArray(500, 'c'));
    Result<PlayerSendPlan> plan = planPlayerSend(s.request());
    ASSERT_TRUE(plan.ok());
    JobControl control;
    int seen = 0;
    // One writer, so that "after the fifth file" is a fixed point in the run.
    const PlayerSendOutcome outcome = sendToPlayer(
        *plan, control,
        [&](const QString &) {
            if (++seen == 5)
                QDir(s.root).removeRecursively();
        },
        1);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.written.size(), 5u);
    EXPECT_TRUE(control.status().message().startsWith(
        "The player Player went away during the send: No such file or directory. 5 of 30 files "
        "were written."))
        << control.status().message().toStdString();
    EXPECT_TRUE(control.failures().empty());
    EXPECT_TRUE(playerSendSummary(outcome).contains("5 of 30 files were written"));

    // Cancel stops the writing; what was written whole still takes its name and no temporary
    // stays. Files take their names a batch at a time (at most 4,096 files), so the first
    // name, where the cancel comes, lands before the end of a note cut into more pieces.
    SendScene again;
    // Where root may mount one, a tmpfs player makes the thousands of files cheap.
    TmpfsMount fast(again.root, "size=64m");
    again.tree.folder("Player/iPod_Control");
    QByteArray line(98, 'n');
    line += "\r\n";
    again.stage("Long.txt", line.repeated(4300 * 41));
    Result<PlayerSendPlan> second = planPlayerSend(again.request());
    ASSERT_TRUE(second.ok());
    ASSERT_GT(second->files, 4096);
    JobControl cancelled;
    const PlayerSendOutcome kept = sendToPlayer(
        *second, cancelled, [&](const QString &) { cancelled.cancel(); }, 1);
    EXPECT_TRUE(kept.cancelled);
    EXPECT_GT(kept.written.size(), 0u);
    EXPECT_LT(kept.written.size(), size_t(second->files));
    EXPECT_EQ(again.tree.listing("Player/Notes").size(), qsizetype(kept.written.size()));
    EXPECT_TRUE(readFile(again.root + "/" + kept.written.back()).startsWith(line));
    EXPECT_TRUE(leftovers(again).isEmpty());
    EXPECT_EQ(kept.notes, 0) << "a note is sent only with all its pieces";
    EXPECT_TRUE(playerSendSummary(kept).contains(QStringLiteral("was stopped: %1 of %2 files were "
                                                                "written")
                                                     .arg(kept.written.size())
                                                     .arg(second->files)));
}

TEST(PlayerSend, AFileThatCannotTakeItsNameIsReportedByNameAndNotCountedAsSent)
{
    SendScene s;
    s.stage("Anna.vcf", "new card");
    s.stage("Bob.vcf", "bob");
    s.stage("Note.txt", "note");
    const QString locked = s.tree.file("Player/Contacts/Anna.vcf", "old card");
    // The temporary is written and handed to the run; only its rename over Anna.vcf fails.
    ImmutableFile immutable(locked);
    if (!immutable.marked())
        GTEST_SKIP() << "an immutable file needs root and a file system that keeps the mark";

    JobControl control;
    const PlayerSendOutcome outcome = runPlayerSend(s.request(), control);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(control.failures(),
              (std::vector<ItemFailure>{{locked, QStringLiteral("Operation not permitted")}}));
    EXPECT_FALSE(control.report().succeeded());
    EXPECT_EQ(readFile(locked), "old card");
    EXPECT_EQ(outcome.written, (std::vector<QString>{"Contacts/Bob.vcf", "Notes/Note.txt"}));
    EXPECT_EQ(outcome.contacts, 1);
    EXPECT_EQ(outcome.notes, 1);
    EXPECT_TRUE(outcome.replaced.empty());
    EXPECT_FALSE(playerSendSummary(outcome).contains("Anna"));
    EXPECT_TRUE(leftovers(s).isEmpty());
}

TEST(PlayerSend, MoreNotesThanThePlayerLoadsGiveAWarningWithTheCount)
{
    SendScene s;
    for (int i = 0; i < 1000; ++i)
        s.tree.file(QStringLiteral("Player/Notes/old/%1.txt").arg(i), "o");
    s.stage("New.txt", "new");
    s.stage("Also.txt", "new");
    JobControl control;
    const PlayerSendOutcome outcome = runPlayerSend(s.request(), control);
    EXPECT_EQ(outcome.notesOnPlayer, 1002);
    EXPECT_TRUE(playerSendSummary(outcome).endsWith(
        "The player now holds 1,002 notes; it loads only the first 1,000."));
    EXPECT_EQ(tooManyNotesWarning(1000), "");
}
