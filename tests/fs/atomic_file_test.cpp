#include "fs/atomic_file.h"
#include "fs/copy_run.h"
#include "fs/regular_file.h"
#include "fs_fixture.h"

#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

using namespace quenda;
using namespace quenda::test;

TEST(AtomicFile, WritesReplacesKeepsTheReplacedFilesModeAndNeverFollowsALink)
{
    TempTree tree;
    const mode_t oldMask = umask(022);
    const QString target = tree.path("notes.txt");
    ASSERT_TRUE(writeFileAtomically(target, "first"));
    EXPECT_EQ(modeOf(target), 0644u);

    ::chmod(QFile::encodeName(target).constData(), 0600);
    AtomicFile file(target);
    ASSERT_TRUE(file.open());
    const QByteArray big(600 * 1024, 'b'); // larger than the buffer, so it goes straight out
    ASSERT_TRUE(file.write("small "));
    ASSERT_TRUE(file.write(big));
    EXPECT_EQ(readFile(target), "first"); // nothing shows before the commit
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readFile(target), "small " + big);
    EXPECT_EQ(modeOf(target), 0600u);
    EXPECT_EQ(tree.listing(), QStringList{"notes.txt"});
    umask(oldMask);

    // A link at the target is replaced, not followed.
    const QString elsewhere = tree.file("elsewhere/secret.txt", "keep me");
    const QString card = tree.link("out/card.vcf", elsewhere);
    ASSERT_TRUE(writeFileAtomically(card, "new card"));
    EXPECT_FALSE(isLink(card));
    EXPECT_EQ(readFile(card) + readFile(elsewhere), "new cardkeep me");
}

TEST(AtomicFile, AFailedWriteLeavesTheOldFileWholeAndNoTemporary)
{
    TempTree tree;
    const QString target = tree.file("data.txt", "old content");

    // A file size limit makes the kernel refuse the write with EFBIG, as a full disk would.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status status = writeFileAtomically(target, QByteArray(64 * 1024, 'n'));
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_FALSE(status);
    EXPECT_TRUE(status.message().contains(target + ": File too large"))
        << status.message().toStdString();
    EXPECT_EQ(readFile(target), "old content");
    EXPECT_EQ(tree.listing(), QStringList{"data.txt"});

    // A dropped file leaves nothing either.
    {
        AtomicFile dropped(tree.path("never.txt"));
        ASSERT_TRUE(dropped.open());
        ASSERT_TRUE(dropped.write("half"));
    }
    EXPECT_EQ(tree.listing(), QStringList{"data.txt"});
}

// A full disk fails the write of a large buffer, a read-only one the temporary itself: either way
// the old file stays whole and nothing is left beside it.
TEST(AtomicFile, FullAndReadOnlyDisksKeepTheOldFileAndTellTheSystemsReason)
{
    TempTree tree;
    TmpfsMount disk(tree.path("disk"), "size=64k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const QString target = tree.file("disk/list.txt", "old list");
    const Status full = writeFileAtomically(target, QByteArray(512 * 1024, 'x'));
    EXPECT_TRUE(full.message().contains("No space left on device")) << full.message().toStdString();
    EXPECT_EQ(tree.listing("disk"), QStringList{"list.txt"});

    ASSERT_TRUE(disk.remountReadOnly());
    const Status readOnly = writeFileAtomically(target, "new list");
    EXPECT_TRUE(readOnly.message().contains("Read-only file system"))
        << readOnly.message().toStdString();
    EXPECT_EQ(readFile(target), "old list");
}

// Writers that hand their files to a run share its open folder: they neither close it nor
// follow links, and each hears how its file ended, with the system's code.
TEST(AtomicFile, WritersHandingFilesToARunHearHowEachEnded)
{
    TempTree tree;
    const QString elsewhere = tree.file("elsewhere/secret.txt", "keep me");
    tree.link("out/b.txt", elsewhere);
    const QString kept = tree.file("out/c.txt", "old");
    JobControl control;
    std::vector<CopiedFile> heard;
    {
        CopyRun run(control);
        auto [folder, error] =
            run.openFolder(AT_FDCWD, QFile::encodeName(tree.path("out")), tree.path("out"));
        ASSERT_TRUE(folder) << error;
        const int folderFd = folder->fd.get();
        AtomicFileOptions options;
        options.run = &run;
        options.folder = folder;
        options.placed = [&heard](const CopiedFile &file) { heard.push_back(file); };
        for (const char *name : {"a.txt", "b.txt", "c.txt", "blocked.txt"})
            ASSERT_TRUE(writeFileAtomically(tree.path("out/") + name, name, options));
        {
            AtomicFile dropped(tree.path("out/never.txt"), options);
            ASSERT_TRUE(dropped.open());
            ASSERT_TRUE(dropped.write("half"));
        }
        // A folder takes the name while the file waits for its batch.
        tree.file("out/blocked.txt/inside", "kept");
        EXPECT_NE(fcntl(folderFd, F_GETFD), -1) << "the run's folder was closed";
    }
    ASSERT_EQ(heard.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(heard[i].fate, CopiedFile::Fate::Placed) << i;
    EXPECT_EQ(heard[3].fate, CopiedFile::Fate::TargetFailed);
    EXPECT_EQ(heard[3].error, EISDIR);
    EXPECT_EQ(control.failureCount(), 0) << "the writer was told, not the run's control";
    EXPECT_FALSE(isLink(tree.path("out/b.txt")));
    EXPECT_EQ(readFile(tree.path("out/b.txt")) + readFile(kept), "b.txtc.txt");
    EXPECT_EQ(readFile(elsewhere), "keep me");
    EXPECT_EQ(tree.listing("out"),
              (QStringList{"a.txt", "b.txt", "blocked.txt", "blocked.txt/inside", "c.txt"}));
}

TEST(AtomicFile, SafeChildPathKeepsNamesFromDataInsideTheFolder)
{
    EXPECT_EQ(safeChildPath("/d/Ipod", "O'Brien.vcf").value(), "/d/Ipod/O'Brien.vcf");
    EXPECT_EQ(safeChildPath("/d/Ipod/", "a").value(), "/d/Ipod/a");
    for (const QString &bad :
         QStringList{"", ".", "..", "../x", "a/b", "/etc/passwd", QString(256, 'n'),
                     QStringLiteral("a") + QChar(0) + "b"}) {
        const Result<QString> refused = safeChildPath("/d/Ipod", bad);
        EXPECT_FALSE(refused) << bad.toStdString();
        EXPECT_FALSE(refused.message().isEmpty());
    }
}

TEST(RegularFile, PipesAndFoldersAreRefusedWithoutBlocking)
{
    TempTree tree;
    const QString fifo = tree.path("pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    // Nobody writes to the pipe: a blocking open would hang here.
    const Result<UniqueFd> refused = openRegularFile(fifo);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.message().contains("not a regular file"));
    EXPECT_FALSE(openRegularFile(tree.folder("sub")));

    const QString doc = tree.file("doc.txt", "text");
    const QString viaLink = tree.link("link.txt", doc);
    QFile file;
    ASSERT_TRUE(openRegularFile(viaLink, file));
    EXPECT_EQ(file.readAll(), "text");
    // A regular file reads with blocking semantics again.
    const Result<UniqueFd> fd = openRegularFile(doc);
    ASSERT_TRUE(fd);
    EXPECT_EQ(fcntl(fd->get(), F_GETFL) & O_NONBLOCK, 0);

    ASSERT_EQ(::link(QFile::encodeName(doc).constData(),
                     QFile::encodeName(tree.path("hard.txt")).constData()),
              0);
    EXPECT_TRUE(sameFile(doc, tree.path("hard.txt")) && sameFile(doc, viaLink));
    EXPECT_FALSE(sameFile(doc, tree.file("copy.txt", "text")));
}
