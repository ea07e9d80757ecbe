#include "db/database.h"
#include "db/setup.h"
#include "support/cli_runner.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

TEST(CommandLine, InitCreatesDatabaseAndStagingFolderThenKeywordIsStored)
{
    TempPlaces places(false);
    const CliRun init = runCli(places, {QStringLiteral("init")});
    ASSERT_EQ(init.status, 0) << init.err.toStdString();
    EXPECT_TRUE(init.out.contains(places.databasePath()));
    EXPECT_TRUE(init.out.contains(places.stagingDir()));
    EXPECT_TRUE(QFileInfo(places.stagingDir()).isDir());

    ASSERT_EQ(runCli(places, {QStringLiteral("keyword"), QStringLiteral("SendToIpod")}).status, 0);
    Connection c(places.databasePath());
    EXPECT_EQ(*readStartupKeyword(c.db()), QStringLiteral("sendtoipod"));
}

TEST(CommandLine, ErrorsGoToStderrWithNonZeroStatus)
{
    TempPlaces places(false);
    const CliRun unknown = runCli(places, {QStringLiteral("frobnicate")});
    EXPECT_NE(unknown.status, 0);
    EXPECT_TRUE(unknown.err.contains(QLatin1String("frobnicate")));
    EXPECT_TRUE(unknown.out.isEmpty());

    places.writeFile(QStringLiteral("program/QUENDADATA.Dll"), QByteArray(2048, '\x7f'));
    const CliRun broken = runCli(places, {QStringLiteral("init")});
    EXPECT_NE(broken.status, 0);
    EXPECT_TRUE(broken.err.contains(QLatin1String("not a database"))) << broken.err.toStdString();

    const CliRun help = runCli(places, {QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QLatin1String("keyword WORD")));
    EXPECT_TRUE(help.out.contains(QLatin1String("QUENDA_DESKTOP_DIR")));
}

// Scripts rely on the usual conventions: per-verb help, a quiet switch that keeps errors, and
// the exit status telling a usage error (2) from a failed run (1).
TEST(CommandLine, UsualConventions)
{
    TempPlaces places(false);
    const CliRun verbHelp = runCli(
        places, {QStringLiteral("split"), QStringLiteral("some.txt"), QStringLiteral("--help")});
    EXPECT_EQ(verbHelp.status, 0);
    EXPECT_TRUE(verbHelp.out.startsWith(QLatin1String("Usage: quenda-ipod-cli split FILE")))
        << verbHelp.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(places.databasePath())); // help runs nothing

    const CliRun quiet = runCli(places, {QStringLiteral("--quiet"), QStringLiteral("init")});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_TRUE(quiet.out.isEmpty()) << quiet.out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(places.databasePath()));

    const CliRun quietFailure =
        runCli(places, {QStringLiteral("split"), places.root() + QStringLiteral("/missing.txt"),
                        QStringLiteral("--lines"), QStringLiteral("2"), QStringLiteral("-q")});
    EXPECT_EQ(quietFailure.status, 1);
    EXPECT_TRUE(quietFailure.err.contains(QLatin1String("missing.txt")))
        << quietFailure.err.toStdString();

    const CliRun usage = runCli(places, {QStringLiteral("split"), QStringLiteral("x.txt")});
    EXPECT_EQ(usage.status, 2);
    EXPECT_FALSE(usage.err.isEmpty());
    EXPECT_EQ(runCli(places, {QStringLiteral("-q")}).status, 2);

    const CliRun version = runCli(places, {QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_FALSE(version.out.trimmed().isEmpty());
}
