#include "fs/file_search.h"
#include "jobs/job_control.h"
#include "support/test_places.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {
QStringList relative(const std::vector<FoundFile> &found, const QString &root)
{
    QStringList out;
    for (const FoundFile &f : found) {
        EXPECT_TRUE(f.folder.endsWith(QLatin1Char('/')));
        out << f.fullPath().mid(root.size() + 1);
    }
    return out;
}
} // namespace

TEST(FileSearch, MasksIgnoreCaseAndTheOrderIsFixed)
{
    TempPlaces places(false);
    const QString root = places.root() + QStringLiteral("/docs");
    for (const char *name :
         {"docs/b.txt", "docs/A.RTF", "docs/c.doc", "docs/Sub/z.Txt", "docs/Sub/deeper/y.rtf",
          "docs/Another/x.rtf", "docs/noext", "docs/trap.rtf.bak", "docs/Kid's Notes.rtf",
          "docs/Sub/back\\slash.txt"})
        places.writeFile(QString::fromLatin1(name), "x");

    const auto found = searchFiles(root, QStringLiteral("*.rtf;*.txt;"), true);
    ASSERT_EQ(relative(found, root),
              (QStringList{"A.RTF", "Kid's Notes.rtf", "b.txt", "Another/x.rtf",
                           "Sub/back\\slash.txt", "Sub/z.Txt", "Sub/deeper/y.rtf"}));
    // A "\" in a name is part of the name, never a folder.
    EXPECT_EQ(found[4].name, QStringLiteral("back\\slash.txt"));
    EXPECT_EQ(found[4].folder, root + QStringLiteral("/Sub/"));
    EXPECT_EQ(relative(searchFiles(root, QStringLiteral("*.TXT"), false), root),
              QStringList{"b.txt"});
    // A trailing separator or a backslash-free Windows-style mask list changes nothing.
    EXPECT_EQ(searchFiles(root + QLatin1Char('/'), QStringLiteral(" *.doc ; "), true).size(), 1u);
    EXPECT_TRUE(
        searchFiles(root + QStringLiteral("/missing"), QStringLiteral("*.*"), true).empty());
}

TEST(FileSearch, LinkedFoldersAreNotFollowedAndTheSinkCanStop)
{
    TempPlaces places(false);
    const QString root = places.root() + QStringLiteral("/tree");
    places.writeFile(QStringLiteral("tree/a/one.txt"), "1");
    places.writeFile(QStringLiteral("tree/a/two.txt"), "2");
    // A link back to the top would make the walk endless if it were followed.
    ASSERT_TRUE(QFile::link(root, root + QStringLiteral("/a/loop")));
    EXPECT_EQ(searchFiles(root, QStringLiteral("*.txt"), true).size(), 2u);

    int seen = 0;
    searchFiles(root, QStringLiteral("*.txt"), true, [&](const FoundFile &) { return ++seen < 1; });
    EXPECT_EQ(seen, 1);
}

TEST(FileSearch, AFolderThatCannotBeReadIsReportedWithTheSystemReason)
{
    TempPlaces places(false);
    const QString file = places.writeFile(QStringLiteral("plain.txt"), "x");
    JobControl control;
    searchFiles(file, QStringLiteral("*"), true, control, [](const FoundFile &) { return true; });
    ASSERT_EQ(control.failures().size(), 1u);
    EXPECT_EQ(control.failures().front().path, file);
    EXPECT_EQ(control.failures().front().reason, QStringLiteral("Not a directory"));
}

TEST(FileSearch, WildcardMatching)
{
    EXPECT_TRUE(matchesMask(u"Report.final.RTF", u"*.rtf"));
    EXPECT_TRUE(matchesMask(u"a.txt", u"?.TXT"));
    EXPECT_FALSE(matchesMask(u"ab.txt", u"?.txt"));
    EXPECT_TRUE(matchesMask(u"anything", u"*"));
    EXPECT_TRUE(matchesMask(u"x.tar.gz", u"*.*.gz"));
    EXPECT_FALSE(matchesMask(u"notes.rtfx", u"*.rtf"));
}
