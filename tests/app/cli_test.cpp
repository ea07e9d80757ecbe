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

// Options in the forms other tools accept: "--name=value", "--" before operands; and a mistyped
// option, a missing value or a value given to a switch is a usage error that names it, before
// anything runs.
TEST(CommandLine, OptionsTakeTheUsualFormsAndMistakesAreNamed)
{
    TempPlaces places(false);
    const QString source =
        places.writeFile(QStringLiteral("work/long.txt"), "a\r\nb\r\nc\r\nd\r\n");
    const QString dir = QFileInfo(source).path();
    const CliRun joined = runCli(places, {QStringLiteral("split"), source,
                                          QStringLiteral("--lines=2"), QStringLiteral("-q")});
    EXPECT_EQ(joined.status, 0) << joined.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir + QStringLiteral("/long2.txt")));
    EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/long4.txt")));

    const CliRun operands = runCli(places, {QStringLiteral("split"), QStringLiteral("--lines"),
                                            QStringLiteral("1"), QStringLiteral("--"), source});
    EXPECT_EQ(operands.status, 0) << operands.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir + QStringLiteral("/long4.txt")));

    struct Mistake {
        QStringList args;
        const char *named;
    };
    const Mistake mistakes[] = {
        {{QStringLiteral("split"), source, QStringLiteral("--line"), QStringLiteral("2")},
         "unknown option --line"},
        {{QStringLiteral("split"), source, QStringLiteral("--lines")}, "--lines needs a value"},
        {{QStringLiteral("folders"), QStringLiteral("select"), QStringLiteral("--all=yes")},
         "--all takes no value"},
        {{QStringLiteral("split"), QStringLiteral("--kb"), QStringLiteral("1"),
          QStringLiteral("--"), QStringLiteral("--lines")},
         "--lines would be read as an option"},
    };
    for (const Mistake &m : mistakes) {
        const CliRun run = runCli(places, m.args);
        EXPECT_EQ(run.status, 2) << m.named;
        EXPECT_TRUE(run.err.contains(QLatin1String(m.named))) << run.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(places.databasePath())); // none of them ran
}
