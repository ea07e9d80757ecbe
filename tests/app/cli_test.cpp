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
