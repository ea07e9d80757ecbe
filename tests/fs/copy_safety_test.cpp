// The copy engine and the folder preparation against a hostile user: temporaries that outlive
// a killed writer, names that cannot be numbered, bind mounts inside the folders a copy empties
// or walks, links that lead into them, and two copies at once.

#include "fs/copy_engine.h"
#include "fs/folder_lock.h"
#include "fs/folder_size.h"
#include "fs/fresh_folder.h"
#include "fs/temp_names.h"
#include "fs_fixture.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

namespace {

// The pid of a process that has ended (and been reaped).
pid_t deadPid()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

} // namespace

TEST(TemporaryNames, CarryTheProgramAndThePidAndOnlyDeadWritersAreStale)
{
    const QByteArray mine = temporaryName();
    EXPECT_TRUE(mine.startsWith(".quenda-" + QByteArray::number(getpid()) + '-')) << mine.data();
    EXPECT_TRUE(mine.endsWith(".tmp"));
    EXPECT_NE(mine, temporaryName());
    EXPECT_EQ(temporaryWriter(mine), getpid());
    EXPECT_FALSE(isStaleTemporary(mine)) << "this process still runs";
    EXPECT_TRUE(isStaleTemporary(".quenda-" + QByteArray::number(deadPid()) + "-abc123.tmp"));
    // pid 1 always runs; other programs' names and near misses are never ours.
    EXPECT_FALSE(isStaleTemporary(".quenda-1-abc.tmp"));
    for (const char *name : {".big.bin.x1y2z3.tmp", ".quenda--abc.tmp", ".quenda-12x-abc.tmp",
                             "quenda-99999999-abc.tmp", ".quenda-99999999-abc.TMP",
                             ".quenda-99999999-.tmp", ".quenda-99999999-a/b.tmp"})
        EXPECT_EQ(temporaryWriter(name), 0) << name;
}

TEST(TemporaryNames, ACopyRemovesTheStaleTemporariesOfItsTargetFoldersAndNothingElse)
{
    TempTree tree;
    tree.file("src/a.txt", "a");
    tree.file("src/sub/b.txt", "b");
    const QByteArray deadName = ".quenda-" + QByteArray::number(deadPid()) + "-k1ll3d.tmp";
    const QString stale = tree.file("dst/" + QString::fromLatin1(deadName), "half a copy");
    tree.file("dst/sub/" + QString::fromLatin1(deadName), "half");
    tree.link("dst/sub/.quenda-" + QString::number(deadPid()) + "-l1nk.tmp", "/nowhere");
    const QString running = tree.file("dst/.quenda-1-st1ll.tmp", "pid 1 still writes");
    const QString foreign = tree.file("dst/.big.bin.x1y2z3.tmp", "another program's");
    const QString plain = tree.file("dst/notes.tmp", "the user's own");
    const QString untouched = tree.file("elsewhere/" + QString::fromLatin1(deadName), "x");

    JobControl control;
    Result<CopyPlan> plan =
        planCopy(tree.path("src"), tree.path("dst"), ClashPolicy::Replace, control);
    ASSERT_TRUE(plan);
    EXPECT_EQ(executeCopy(*plan, control).filesCopied, 2);
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_EQ(tree.listing("dst/sub"), QStringList{"b.txt"});
    for (const QString &kept : {running, foreign, plain, untouched})
        EXPECT_TRUE(QFile::exists(kept)) << kept.toStdString();
}

// The search for a free name once never ended (the test run's time limit now catches that).
TEST(CopyEngine, ANumberedNameThatCannotExistEndsTheSearchAndIsReported)
{
    TempTree tree;
    // 252 bytes: "name (2).txt" would need 256, more than a file name may have.
    const QString name = QString(248, QLatin1Char('n')) + QStringLiteral(".txt");
    tree.file("src/" + name, "new");
    tree.file("dst/" + name, "old");
    JobControl control;
    Result<CopyPlan> plan =
        planCopy(tree.path("src"), tree.path("dst"), ClashPolicy::KeepBoth, control);
    ASSERT_TRUE(plan);
    EXPECT_EQ(executeCopy(*plan, control).filesCopied, 0);
    ASSERT_EQ(control.failureCount(), 1);
    EXPECT_EQ(control.failures()[0].path, tree.path("dst/" + name));
    EXPECT_TRUE(control.failures()[0].reason.contains(QStringLiteral("File name too long")));
    EXPECT_EQ(readFile(tree.path("dst/" + name)), "old");
    EXPECT_EQ(tree.listing("dst"), QStringList{name});
}

TEST(Mounts, BindMountsAreNeitherEmptiedNorWalkedTwice)
{
    TempTree tree;
    const QString victim = tree.file("victim/a.txt", "keep");
    tree.file("victim/sub/b.txt", "keep too");
    tree.file("Desktop/File Copier/old.txt", "earlier copy");
    tree.folder("Desktop/File Copier/deep/bm");
    BindMount inside(tree.path("victim"), tree.path("Desktop/File Copier/deep/bm"));
    if (!inside.mounted())
        GTEST_SKIP() << "bind mounts need root";

    // The folder a copy empties first is refused, by the mount's name, before anything goes.
    const Result<QString> refused =
        makeFreshFolder(tree.path("Desktop/File Copier"), {tree.path("elsewhere/x.doc")});
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.message().contains(tree.path("Desktop/File Copier/deep/bm")))
        << refused.message().toStdString();
    EXPECT_EQ(readFile(tree.path("Desktop/File Copier/old.txt")), "earlier copy");

    // A removal that meets the mount anyway stops there (same device: only the mount id tells).
    JobControl control;
    EXPECT_FALSE(removeTree(tree.path("Desktop/File Copier"), control));
    EXPECT_EQ(readFile(victim) + readFile(tree.path("victim/sub/b.txt")), "keepkeep too");
    ASSERT_EQ(control.failureCount(), 1);
    EXPECT_EQ(control.failures()[0].path, tree.path("Desktop/File Copier/deep/bm"));

    // A root bound inside itself: sizes and scans count its files once unless asked.
    tree.file("root/one.doc", "12345");
    tree.folder("root/A");
    BindMount loop(tree.path("root"), tree.path("root/A"));
    ASSERT_TRUE(loop.mounted());
    JobControl sizing;
    EXPECT_EQ(folderSize(tree.path("root"), sizing)->bytes, 5);
    EXPECT_EQ(folderSize(tree.path("root"), sizing, true)->bytes, 10);
}

TEST(FreshFolder, ALinkToAFileInsideIsRefusedBeforeAnythingGoes)
{
    TempTree tree;
    const QString inside = tree.file("Desktop/File Copier/report.doc", "last run's copy");
    const QString link = tree.link("docs/report.doc", inside);
    const QString folderLink = tree.link("docs/folder", tree.path("Desktop/File Copier"));
    for (const QString &source : {link, folderLink + QStringLiteral("/report.doc")}) {
        const Result<QString> refused = makeFreshFolder(tree.path("Desktop/File Copier"), {source});
        EXPECT_TRUE(!refused && refused.message().contains(source)) << source.toStdString();
        EXPECT_EQ(readFile(inside), "last run's copy");
    }
    EXPECT_FALSE(
        liesWithin(tree.link("docs/out", tree.path("docs")), tree.path("Desktop/File Copier")));
}

TEST(FolderLock, OneCopyAtATimeIntoAFolderThatIsEmptiedFirst)
{
    TempTree tree;
    tree.folder("Desktop");
    const QString folder = tree.path("Desktop/File Copier");
    JobControl control;
    Result<PreparedFolder> first = prepareFolderForCopy(folder, {}, LockWait::Refuse, control);
    ASSERT_TRUE(first) << first.message().toStdString();
    tree.file("Desktop/File Copier/copied.doc", "the first copy's");

    // Another path to the same folder (a link to its parent) meets the same lock.
    const QString other = tree.link("desk", tree.path("Desktop")) + QStringLiteral("/File Copier");
    const Result<PreparedFolder> second =
        prepareFolderForCopy(other, {}, LockWait::Refuse, control);
    ASSERT_FALSE(second);
    EXPECT_EQ(second.message(), copyRunningText(other));
    EXPECT_EQ(readFile(tree.path("Desktop/File Copier/copied.doc")), "the first copy's");

    // A waiting copy says so, can be cancelled, and goes on once the first one lets go.
    JobControl waiting;
    std::atomic<bool> done{false};
    Result<PreparedFolder> third = fail(QString());
    std::thread waiter([&] {
        third = prepareFolderForCopy(folder, {}, LockWait::Wait, waiting);
        done = true;
    });
    while (waiting.progress().item.isEmpty())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(waiting.progress().item, copyWaitingText(folder));
    EXPECT_FALSE(done);
    first = fail(QString()); // the first copy ends
    waiter.join();
    ASSERT_TRUE(third) << third.message().toStdString();
    EXPECT_TRUE(QDir(folder).isEmpty());

    // Cancel ends the wait; the folder of the copy that holds the lock is left alone.
    tree.file("Desktop/File Copier/copied.doc", "the third copy's");
    JobControl cancelled;
    cancelled.cancel();
    EXPECT_EQ(prepareFolderForCopy(folder, {}, LockWait::Wait, cancelled).code(), ECANCELED);
    EXPECT_EQ(readFile(tree.path("Desktop/File Copier/copied.doc")), "the third copy's");
}
