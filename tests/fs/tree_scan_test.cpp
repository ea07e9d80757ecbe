#include "fs/folder_size.h"
#include "fs/tree_scan.h"
#include "fs_fixture.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quenda;
using namespace quenda::test;

namespace {

// Relative paths of what a scan reports, in the order it reports them.
QStringList scan(const TempTree &tree, const ScanOptions &options, JobControl &control,
                 int stopAfter = -1)
{
    QStringList out;
    const Result<ScanSummary> summary =
        scanTree(tree.root(), options, control, [&](const ScanEntry &e) {
            out << e.path().mid(tree.root().size() + 1);
            if (stopAfter >= 0 && out.size() >= stopAfter)
                control.cancel();
            return true;
        });
    EXPECT_TRUE(summary) << summary.message().toStdString();
    return out;
}

QStringList scan(const TempTree &tree, const ScanOptions &options)
{
    JobControl control;
    return scan(tree, options, control);
}

} // namespace

TEST(TreeScan, MasksDepthKindsAndOrder)
{
    TempTree tree;
    for (const char *name : {"Day 10/a.DOC", "Day 2/b.doc", "Day 2/deep/c.doc", "Day 2/deep/x.txt",
                             "z.PDF", "A.doc", "notes.docx", "Day 1/.hidden.doc"})
        tree.file(name);

    ScanOptions options;
    options.masks = NameMasks::fromText("*.doc;*.pdf");
    options.order = ScanOrder::ByName;
    // A folder's own entries first, then each sub-folder in turn.
    EXPECT_EQ(scan(tree, options),
              (QStringList{"A.doc", "z.PDF", "Day 1/.hidden.doc", "Day 10/a.DOC", "Day 2/b.doc",
                           "Day 2/deep/c.doc"}));

    options.order = ScanOrder::Natural;
    options.files = false;
    options.folders = true;
    EXPECT_EQ(scan(tree, options), (QStringList{"Day 1", "Day 2", "Day 2/deep", "Day 10"}));

    options.maxDepth = 0;
    EXPECT_EQ(scan(tree, options), (QStringList{"Day 1", "Day 2", "Day 10"}));
    options.files = true;
    options.masks = NameMasks::fromText("*.DOC");
    EXPECT_EQ(scan(tree, options), (QStringList{"A.doc", "Day 1", "Day 2", "Day 10"}));

    ScanOptions everything; // unordered, still every entry once
    everything.folders = true;
    QStringList all = scan(tree, everything);
    all.sort();
    EXPECT_EQ(all, tree.listing());

    EXPECT_LT(naturalCompare(u"Day 2", u"day 10"), 0);
    EXPECT_LT(naturalCompare(u"file9.txt", u"file010.txt"), 0);
    EXPECT_NE(naturalCompare(u"a", u"A"), 0); // a total order: nothing compares equal
}

TEST(TreeScan, MetadataDescribesEntriesAndLinksAreNeverFollowed)
{
    TempTree tree;
    tree.file("top/doc.txt", QByteArray(1234, 'd'));
    tree.link("top/loop", tree.root()); // would never end if followed
    tree.link("top/dangling", tree.path("nowhere"));

    ScanOptions options;
    options.metadata = true;
    options.folders = true;
    JobControl control;
    std::map<QString, EntryMeta> seen;
    ASSERT_TRUE(scanTree(tree.root(), options, control, [&](const ScanEntry &e) {
        seen[e.name()] = e.meta;
        return true;
    }));
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ((std::vector<EntryKind>{seen["top"].kind, seen["loop"].kind, seen["dangling"].kind,
                                      seen["doc.txt"].kind}),
              (std::vector<EntryKind>{EntryKind::Folder, EntryKind::Link, EntryKind::Link,
                                      EntryKind::File}));
    EXPECT_EQ(seen["doc.txt"].size, 1234);
    EXPECT_EQ(seen["doc.txt"].modified.toDateTime().toSecsSinceEpoch(),
              QFileInfo(tree.path("top/doc.txt")).lastModified().toSecsSinceEpoch());
}

TEST(TreeScan, CancelStopsMidwayAndAMissingRootIsAnError)
{
    TempTree tree;
    for (int i = 0; i < 50; ++i)
        tree.file(QStringLiteral("f%1.txt").arg(i));
    JobControl control;
    EXPECT_EQ(scan(tree, {}, control, 7).size(), 7);
    EXPECT_EQ(control.progress().done, 7);

    JobControl fresh;
    const Result<ScanSummary> missing =
        scanTree(tree.path("absent"), {}, fresh, [](const ScanEntry &) { return true; });
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.message().contains("No such file or directory"));
}

TEST(TreeScan, UnreadableFoldersAreReportedAndTheWalkGoesOn)
{
    TempTree tree;
    tree.file("open/a.txt");
    tree.file("locked/secret.txt");
    tree.file("z-after/b.txt");
    ::chmod(QFile::encodeName(tree.path("locked")).constData(), 0);

    const std::optional<bool> ok = runUnprivileged([&] {
        ScanOptions options;
        options.order = ScanOrder::ByName;
        JobControl control;
        QStringList found;
        const auto summary = scanTree(tree.root(), options, control, [&](const ScanEntry &e) {
            found << e.name();
            return true;
        });
        const auto failures = control.failures();
        return summary && !summary->complete && found == QStringList{"a.txt", "b.txt"} &&
               failures.size() == 1 && failures[0].path == tree.path("locked") &&
               failures[0].reason == "Permission denied";
    });
    ::chmod(QFile::encodeName(tree.path("locked")).constData(), 0755);
    if (!ok)
        GTEST_SKIP() << "no unprivileged user to run as";
    EXPECT_TRUE(*ok);
}

TEST(FolderSize, CountsEachFileOnceAndFollowsNothing)
{
    TempTree tree;
    tree.file("photos/a.jpg", QByteArray(1000, 'a'));
    tree.file("photos/2024/b.jpg", QByteArray(250, 'b'));
    const QString outside = tree.file("outside/huge.bin", QByteArray(100000, 'h'));
    tree.link("photos/huge-link", outside);
    tree.link("photos/up", tree.root());
    ASSERT_EQ(::link(QFile::encodeName(tree.path("photos/a.jpg")).constData(),
                     QFile::encodeName(tree.path("photos/2024/a-again.jpg")).constData()),
              0);

    JobControl control;
    const Result<FolderSize> size = folderSize(tree.path("photos"), control);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->bytes, 1250);
    EXPECT_TRUE(size->complete);
}
