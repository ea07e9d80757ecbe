#include "fs/copy_engine.h"
#include "fs_fixture.h"

#include <QFile>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

namespace {

CopyOutcome copyTree(const QString &source, const QString &target, ClashPolicy policy,
                     JobControl &control)
{
    Result<CopyPlan> plan = planCopy(source, target, policy, control);
    EXPECT_TRUE(plan) << plan.message().toStdString();
    return plan ? executeCopy(*plan, control) : CopyOutcome{};
}

timespec mtimeOf(const QString &path)
{
    struct stat st {};
    lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

void setMtime(const QString &path, time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 123456789}};
    utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace

TEST(CopyEngine, CopiesATreeKeepingTimesModesAndLinks)
{
    TempTree tree;
    const QString doc = tree.file("src/Trip/Day1/notes.txt", "day one");
    tree.file("src/Trip/photo.jpg", QByteArray(3 * 1024 * 1024, 'p'));
    tree.file("src/empty.txt", "");
    tree.folder("src/Trip/Empty");
    tree.link("src/Trip/latest", "Day1/notes.txt");
    tree.link("src/Trip/broken", "/nowhere/at/all");
    ::chmod(QFile::encodeName(doc).constData(), 0640);
    setMtime(doc, 1000000000);
    setMtime(tree.path("src/Trip/Day1"), 1100000000);
    // A read-only folder still receives its files; it becomes read-only afterwards.
    ::chmod(QFile::encodeName(tree.path("src/Trip/Day1")).constData(), 0555);

    JobControl control;
    const CopyOutcome out =
        copyTree(tree.path("src"), tree.path("dst"), ClashPolicy::Replace, control);
    ::chmod(QFile::encodeName(tree.path("src/Trip/Day1")).constData(), 0755);

    EXPECT_TRUE(control.failures().empty());
    EXPECT_EQ(tree.listing("dst"), tree.listing("src"));
    EXPECT_EQ(
        (std::vector<qint64>{out.filesCopied, out.linksCopied, out.foldersMade, out.bytesCopied}),
        (std::vector<qint64>{3, 2, 4, 3 * 1024 * 1024 + 7}));
    EXPECT_EQ(control.progress().done, control.progress().total);
    EXPECT_EQ(readFile(tree.path("dst/Trip/photo.jpg")), readFile(tree.path("src/Trip/photo.jpg")));
    const QString notes = tree.path("dst/Trip/Day1/notes.txt");
    EXPECT_EQ(modeOf(notes), 0640u);
    EXPECT_TRUE(mtimeOf(notes).tv_sec == 1000000000 && mtimeOf(notes).tv_nsec == 123456789);
    EXPECT_EQ(modeOf(tree.path("dst/Trip/Day1")), 0555u);
    EXPECT_EQ(mtimeOf(tree.path("dst/Trip/Day1")).tv_sec, 1100000000);
    ::chmod(QFile::encodeName(tree.path("dst/Trip/Day1")).constData(), 0755);
    EXPECT_EQ(QFile::symLinkTarget(tree.path("dst/Trip/latest")),
              tree.path("dst/Trip/Day1/notes.txt"));
    EXPECT_TRUE(isLink(tree.path("dst/Trip/broken")));

    // A single file goes to exactly the path given.
    JobControl single;
    EXPECT_EQ(copyTree(doc, tree.path("dst/renamed.txt"), ClashPolicy::Fail, single).filesCopied,
              1);
    EXPECT_EQ(readFile(tree.path("dst/renamed.txt")), "day one");
}

TEST(CopyEngine, ClashPoliciesWhenMergingIntoAnExistingFolder)
{
    TempTree tree;
    tree.file("src/a.txt", "new a");
    tree.file("src/b.txt", "new b");
    const QString outside = tree.file("outside.txt", "not to be touched");

    const auto prepare = [&](const QString &name) {
        tree.file(name + "/a.txt", "old a");
        tree.link(name + "/b.txt", outside); // a link where a file arrives
        tree.file(name + "/mine.txt", "stays");
        return tree.path(name);
    };

    JobControl replace;
    const CopyOutcome replaced =
        copyTree(tree.path("src"), prepare("r"), ClashPolicy::Replace, replace);
    EXPECT_FALSE(isLink(tree.path("r/b.txt")));
    EXPECT_EQ(readFile(tree.path("r/a.txt")) + readFile(tree.path("r/b.txt")), "new anew b");
    EXPECT_EQ(readFile(outside), "not to be touched");
    EXPECT_EQ(readFile(tree.path("r/mine.txt")), "stays");
    EXPECT_EQ(replaced.replaced.size(), 2u);

    JobControl skip;
    const CopyOutcome skipped = copyTree(tree.path("src"), prepare("s"), ClashPolicy::Skip, skip);
    EXPECT_EQ(skipped.skipped, 2);
    EXPECT_EQ(readFile(tree.path("s/a.txt")), "old a");
    EXPECT_TRUE(isLink(tree.path("s/b.txt")));

    JobControl both;
    const QString k = prepare("k");
    tree.file("k/a (2).txt", "older copy"); // numbered names pass over what is there
    const CopyOutcome kept = copyTree(tree.path("src"), k, ClashPolicy::KeepBoth, both);
    EXPECT_EQ(readFile(tree.path("k/a (2).txt")), "older copy");
    EXPECT_EQ(readFile(tree.path("k/a (3).txt")) + readFile(tree.path("k/b (2).txt")),
              "new anew b");
    EXPECT_EQ(kept.renamed.size(), 2u);

    JobControl failing;
    copyTree(tree.path("src"), prepare("f"), ClashPolicy::Fail, failing);
    EXPECT_EQ(failing.failureCount(), 2);
    EXPECT_EQ(readFile(tree.path("f/a.txt")), "old a");
}

TEST(CopyEngine, PlansThatCannotWorkAreRefused)
{
    TempTree tree;
    tree.file("src/sub/a.txt");
    const QString file = tree.file("single.txt");
    tree.link("alias", tree.path("src"));
    JobControl control;
    const auto refused = [&](const QString &source, const QString &target) {
        const Result<CopyPlan> plan = planCopy(source, target, ClashPolicy::Replace, control);
        return plan ? QString() : plan.message();
    };
    EXPECT_TRUE(refused(tree.path("src"), tree.path("src")).contains("into itself"));
    EXPECT_TRUE(refused(tree.path("src"), tree.path("src/sub/new")).contains("into itself"));
    EXPECT_TRUE(refused(tree.path("src"), tree.path("alias/sub/new")).contains("into itself"));
    EXPECT_TRUE(refused(file, file).contains("onto itself"));
    EXPECT_TRUE(refused(tree.path("src"), file).contains("not a folder"));
    EXPECT_TRUE(refused(file, tree.path("src")).contains("is a folder"));
    EXPECT_TRUE(refused(tree.path("src"), tree.path("no/such/parent")).contains("not there"));
    EXPECT_TRUE(refused(tree.path("missing"), tree.path("x")).contains("No such file"));
    EXPECT_TRUE(refused(tree.path("src"), tree.path("srcCopy")).isEmpty());
}

TEST(CopyEngine, FailuresAreReportedAndTheRestIsCopied)
{
    TempTree tree;
    tree.file("src/keep.txt", "kept");
    const QString gone = tree.file("src/gone.txt", "soon gone");
    JobControl control;
    Result<CopyPlan> plan =
        planCopy(tree.path("src"), tree.path("dst"), ClashPolicy::Replace, control);
    ASSERT_TRUE(plan);
    QFile::remove(gone);
    const CopyOutcome out = executeCopy(*plan, control);
    EXPECT_EQ(out.filesCopied, 1);
    ASSERT_EQ(control.failureCount(), 1);
    EXPECT_EQ(control.failures()[0].path + ": " + control.failures()[0].reason,
              gone + ": No such file or directory");
    EXPECT_EQ(tree.listing("dst"), QStringList{"keep.txt"});

    // A read-only target: every file fails with the system's reason, nothing half-made stays.
    TmpfsMount disk(tree.path("ro"), "size=1m");
    if (!disk.mounted())
        GTEST_SKIP() << "the read-only target needs a tmpfs mount, which needs root";
    tree.folder("ro/target");
    ASSERT_TRUE(disk.remountReadOnly());
    JobControl readOnly;
    const CopyOutcome none =
        copyTree(tree.path("src"), tree.path("ro/target"), ClashPolicy::Replace, readOnly);
    EXPECT_EQ(none.filesCopied, 0);
    ASSERT_EQ(readOnly.failureCount(), 1);
    EXPECT_EQ(readOnly.failures()[0].reason, "Read-only file system");
    EXPECT_TRUE(tree.listing("ro/target").isEmpty());
}

TEST(CopyEngine, CancellingKeepsWhatWasCopiedAndNoPartialFile)
{
    TempTree tree;
    tree.file("src/a-small.txt", "small");
    sparseFile(tree.path("src/big.bin"), 512LL * 1024 * 1024); // a copy of it takes a while

    JobControl control;
    Result<CopyPlan> plan =
        planCopy(tree.path("src"), tree.path("dst"), ClashPolicy::Replace, control);
    ASSERT_TRUE(plan);
    std::thread canceller([&] {
        while (control.progress().done == 0)
            std::this_thread::yield();
        control.cancel();
    });
    const CopyOutcome out = executeCopy(*plan, control);
    canceller.join();

    for (const QString &name : tree.listing("dst"))
        EXPECT_FALSE(name.endsWith(".tmp")) << name.toStdString();
    if (out.cancelled)
        EXPECT_FALSE(QFile::exists(tree.path("dst/big.bin")));
    else
        EXPECT_EQ(QFileInfo(tree.path("dst/big.bin")).size(), 512LL * 1024 * 1024);

    // A cancel before the first file copies nothing.
    JobControl early;
    early.cancel();
    const CopyOutcome none = executeCopy(*plan, early);
    EXPECT_TRUE(none.cancelled && early.report().cancelled);
    EXPECT_EQ(none.filesCopied, 0);
}

TEST(RemoveTree, RemovesContentButNeverWhatLinksPointAt)
{
    TempTree tree;
    const QString precious = tree.file("precious/data.txt", "keep");
    tree.file("victim/sub/file.txt");
    tree.file("victim/ro/locked.txt");
    tree.link("victim/sub/escape", tree.path("precious"));
    ::chmod(QFile::encodeName(tree.path("victim/ro/locked.txt")).constData(), 0444);
    ::chmod(QFile::encodeName(tree.path("victim/ro")).constData(), 0555);

    EXPECT_TRUE(removeTree(tree.path("victim")));
    EXPECT_FALSE(QFileInfo::exists(tree.path("victim")));
    EXPECT_TRUE(removeTree(tree.path("victim"))); // already gone is fine

    // A link given as the path goes as a link.
    const QString link = tree.link("shortcut", tree.path("precious"));
    EXPECT_TRUE(removeTree(link));
    EXPECT_FALSE(isLink(link));
    EXPECT_EQ(readFile(precious), "keep");

    // A file system mounted inside is neither entered nor removed, and that is reported.
    TmpfsMount mount(tree.path("holder/mnt"), "size=1m");
    if (!mount.mounted())
        GTEST_SKIP() << "the file system inside needs a tmpfs mount, which needs root";
    tree.file("holder/mnt/on-other-disk.txt");
    JobControl control;
    EXPECT_FALSE(removeTree(tree.path("holder"), control));
    ASSERT_EQ(control.failureCount(), 1);
    EXPECT_EQ(control.failures()[0].path, tree.path("holder/mnt"));
    EXPECT_TRUE(QFile::exists(tree.path("holder/mnt/on-other-disk.txt")));
}
