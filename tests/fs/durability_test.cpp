// What reaches the disk, and when. The system calls that flush and rename are wrapped at link
// time (see CMakeLists.txt), so the tests see their order: every file's data is flushed before
// its temporary takes the final name, and every folder that got a name goes to the disk after
// its last rename: flushed on its own once at most, or with a flush of the whole file system.
// A cancel can be made to arrive at a flush, when every byte is copied.

#include "filecopier/organised_copy.h"
#include "fs/atomic_file.h"
#include "fs/copy_engine.h"
#include "fs/copy_run.h"
#include "fs/folder_syncs.h"
#include "fs_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

namespace {

enum class Op { Create, DataSync, FileSystemSync, FolderSync, Rename };

struct Event {
    Op op;
    QString path;   // the file, folder or (rename) old name
    QString target; // rename: the new name
};

std::mutex g_mutex;
std::vector<Event> g_events;

QString pathOf(int fd)
{
    char buffer[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer);
    return n > 0 ? QFile::decodeName(QByteArray(buffer, int(n))) : QString();
}

QString pathAt(int dirFd, const char *name)
{
    if (name[0] == '/')
        return QFile::decodeName(name);
    return (dirFd == AT_FDCWD ? QDir::currentPath() : pathOf(dirFd)) + QLatin1Char('/') +
           QFile::decodeName(name);
}

void record(Op op, const QString &path, const QString &target = QString())
{
    const std::lock_guard lock(g_mutex);
    g_events.push_back({op, path, target});
}

// Set by a test: the job that a flush cancels.
std::atomic<JobControl *> g_cancelAtFlush{nullptr};

struct CancelAtFlush {
    explicit CancelAtFlush(JobControl &control) { g_cancelAtFlush = &control; }
    ~CancelAtFlush() { g_cancelAtFlush = nullptr; }
};

void flushing(Op op, const QString &path)
{
    record(op, path);
    if (JobControl *control = g_cancelAtFlush.load())
        control->cancel();
}

int renamed(int result, int oldDir, const char *oldName, int newDir, const char *newName)
{
    if (result == 0)
        record(Op::Rename, pathAt(oldDir, oldName), pathAt(newDir, newName));
    return result;
}

std::vector<Event> takeEvents()
{
    const std::lock_guard lock(g_mutex);
    return std::exchange(g_events, {});
}

long flushes(const std::vector<Event> &events)
{
    return std::count_if(events.begin(), events.end(), [](const Event &e) {
        return e.op == Op::DataSync || e.op == Op::FileSystemSync;
    });
}

bool isTemporary(const QString &path)
{
    return path.section(QLatin1Char('/'), -1).startsWith(QStringLiteral(".quenda-"));
}

// Every rename of a temporary comes after a flush of its data that came after its creation,
// and every folder that got a name is flushed after its last rename into it, on its own (once)
// or by a flush of the file system.
void expectDurableOrder(const std::vector<Event> &events, const QString &below)
{
    int renames = 0;
    QHash<QString, int> lastRenameInto;
    for (size_t r = 0; r < events.size(); ++r) {
        const Event &rename = events[r];
        if (rename.op != Op::Rename || !isTemporary(rename.path) ||
            !rename.target.startsWith(below))
            continue;
        ++renames;
        qsizetype created = -1;
        for (size_t i = 0; i < r; ++i)
            if (events[i].op == Op::Create && events[i].path == rename.path)
                created = qsizetype(i);
        ASSERT_GE(created, 0) << rename.path.toStdString();
        bool flushed = false;
        for (size_t i = size_t(created) + 1; i < r && !flushed; ++i)
            flushed = events[i].op == Op::FileSystemSync ||
                      (events[i].op == Op::DataSync && events[i].path == rename.path);
        EXPECT_TRUE(flushed) << "renamed before its data was flushed: "
                             << rename.target.toStdString();
        lastRenameInto[rename.target.section(QLatin1Char('/'), 0, -2)] = int(r);
    }
    EXPECT_GT(renames, 0);
    for (auto it = lastRenameInto.cbegin(); it != lastRenameInto.cend(); ++it) {
        int after = 0;
        int total = 0;
        for (size_t i = 0; i < events.size(); ++i) {
            const bool folder = events[i].op == Op::FolderSync && events[i].path == it.key();
            total += folder ? 1 : 0;
            after += int(i) > it.value() && (folder || events[i].op == Op::FileSystemSync);
        }
        EXPECT_GE(after, 1) << "folder not flushed after its last rename: "
                            << it.key().toStdString();
        EXPECT_LE(total, 1) << "folder flushed more than once: " << it.key().toStdString();
    }
}

// The organised copy of the file copier, with no recorded facts: each file keeps its folder.
OrganisedCopyOutcome organisedCopy(const QStringList &sources, const QString &destination,
                                   JobControl &control)
{
    OrganisedCopyRequest request;
    request.sources = sources;
    request.destination = destination;
    request.layout = CopyLayout::KeepOriginal;
    return copyIntoFolders(
        request,
        [](const QString &) { return Result<std::optional<OfficeFileFacts>>(std::nullopt); },
        control);
}

} // namespace

extern "C" {
int __real_fdatasync(int fd);
int __real_fsync(int fd);
int __real_syncfs(int fd);
int __real_renameat(int, const char *, int, const char *);
int __real_renameat2(int, const char *, int, const char *, unsigned);
int __real_openat(int, const char *, int, ...);
int __real_symlinkat(const char *, int, const char *);

int __wrap_fdatasync(int fd)
{
    flushing(Op::DataSync, pathOf(fd));
    return __real_fdatasync(fd);
}

int __wrap_fsync(int fd)
{
    const QString path = pathOf(fd);
    flushing(QFileInfo(path).isDir() ? Op::FolderSync : Op::DataSync, path);
    return __real_fsync(fd);
}

int __wrap_syncfs(int fd)
{
    flushing(Op::FileSystemSync, pathOf(fd));
    return __real_syncfs(fd);
}

int __wrap_renameat(int oldDir, const char *oldName, int newDir, const char *newName)
{
    return renamed(__real_renameat(oldDir, oldName, newDir, newName), oldDir, oldName, newDir,
                   newName);
}

int __wrap_renameat2(int oldDir, const char *oldName, int newDir, const char *newName,
                     unsigned flags)
{
    return renamed(__real_renameat2(oldDir, oldName, newDir, newName, flags), oldDir, oldName,
                   newDir, newName);
}

int __wrap_symlinkat(const char *text, int dirFd, const char *name)
{
    const int result = __real_symlinkat(text, dirFd, name);
    if (result == 0)
        record(Op::Create, pathAt(dirFd, name));
    return result;
}

int __wrap_openat(int dirFd, const char *name, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    const int fd = __real_openat(dirFd, name, flags, mode);
    if (fd >= 0 && (flags & O_CREAT))
        record(Op::Create, pathAt(dirFd, name));
    return fd;
}
}

TEST(Durability, ACopiedTreeIsFlushedBeforeItsRenamesAndEachFolderOnceAfter)
{
    TempTree tree;
    for (int i = 0; i < 30; ++i)
        tree.file(QStringLiteral("src/f%1.txt").arg(i), QByteArray(100 * i, 'x'));
    tree.file("src/sub/deeper/g.txt", "g");
    tree.link("src/sub/link", "f1.txt");
    tree.file("dst/src/old.txt", "there before");
    takeEvents();
    JobControl control;
    Result<CopyPlan> plan =
        planCopy(tree.path("src"), tree.path("dst/src"), ClashPolicy::Replace, control);
    ASSERT_TRUE(plan);
    EXPECT_EQ(executeCopy(*plan, control).filesCopied, 31);
    expectDurableOrder(takeEvents(), tree.path("dst"));
}

TEST(Durability, TheOrganisedCopyFlushesInBatchesAndEachFolderOnce)
{
    TempTree tree;
    QStringList sources;
    for (int i = 0; i < 40; ++i)
        sources << tree.file(QStringLiteral("docs/%1/file%2.doc").arg(i % 3).arg(i), "doc");
    takeEvents();
    JobControl control;
    EXPECT_EQ(organisedCopy(sources, tree.path("out"), control).copied, 40);
    const std::vector<Event> events = takeEvents();
    expectDurableOrder(events, tree.path("out"));
    EXPECT_LT(flushes(events), 5) << "one flush per file is what the batches are there to avoid";
    // The three folders' names go out with the run's last syncfs, not with a flush each.
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const Event &e) { return e.op == Op::FolderSync; }),
              0);
}

TEST(Durability, AWholeFileWriteFlushesTheFileThenItsFolder)
{
    TempTree tree;
    takeEvents();
    ASSERT_TRUE(writeFileAtomically(tree.path("a.txt"), "one"));
    expectDurableOrder(takeEvents(), tree.root());

    // Writers of many files flush their folder once, at the end.
    {
        FolderSyncs folders;
        AtomicFileOptions options;
        options.folderSyncs = &folders;
        for (const char *name : {"b.txt", "c.txt", "d.txt"})
            ASSERT_TRUE(writeFileAtomically(tree.path(QString::fromLatin1(name)), "x", options));
        ASSERT_TRUE(folders.flush());
    }
    expectDurableOrder(takeEvents(), tree.root());

    // Or hand their files to a run, which flushes them as one batch before the renames.
    JobControl control;
    {
        CopyRun run(control);
        AtomicFileOptions options;
        options.run = &run;
        for (int i = 0; i < 50; ++i)
            ASSERT_TRUE(writeFileAtomically(tree.path(QStringLiteral("card%1.vcf").arg(i)),
                                            "BEGIN:VCARD", options));
    }
    EXPECT_EQ(readFile(tree.path(QStringLiteral("card49.vcf"))), "BEGIN:VCARD");
    const std::vector<Event> events = takeEvents();
    expectDurableOrder(events, tree.root());
    EXPECT_LT(flushes(events), 5) << "one flush per file is what the batches are there to avoid";
}

// A cancel that comes while the last batch goes to the disk finds every file copied: whichever
// copy ran, it is reported done, not cancelled.
TEST(Durability, ACancelThatArrivesAtTheLastFlushFindsTheCopyDone)
{
    TempTree tree;
    QStringList sources;
    for (int i = 0; i < 3; ++i)
        sources << tree.file(QStringLiteral("src/f%1.txt").arg(i), "x");
    const auto expectDone = [](const JobControl &control, bool cancelled) {
        EXPECT_FALSE(cancelled);
        EXPECT_TRUE(control.report().succeeded());
        EXPECT_TRUE(control.isCancelled()) << "a flush came after the last file";
    };
    {
        JobControl control;
        Result<CopyPlan> plan =
            planCopy(tree.path("src"), tree.path("copy"), ClashPolicy::Replace, control);
        ASSERT_TRUE(plan);
        const CancelAtFlush late(control);
        expectDone(control, executeCopy(*plan, control).cancelled);
    }
    {
        JobControl control;
        const CancelAtFlush late(control);
        expectDone(control, organisedCopy(sources, tree.path("organised"), control).cancelled);
    }
}
