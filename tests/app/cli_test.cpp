#include "db/database.h"
#include "db/setup.h"
#include "support/cli_runner.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace quenda;
using namespace quenda::test;

namespace {

// The lines of the manual page as a reader sees them, without font changes; requests (lines
// that start with a dot) are left out.
QStringList manualLines()
{
    QFile page(QStringLiteral(QUENDA_TEST_DATA_DIR "/../../data/quenda-ipod-cli.1"));
    if (!page.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression font("\\\\f[BIRP]");
    QStringList lines;
    for (QString line : QString::fromUtf8(page.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('.')))
            continue;
        line.remove(font);
        line.replace(QLatin1String("\\-"), QLatin1String("-"));
        lines << line;
    }
    return lines;
}

// The lines of one section of a help text ("Actions:", "Options:"), each without its indent,
// up to the section's first word.
QStringList helpSection(const QString &help, const QString &title, bool wholeName = false)
{
    QStringList entries;
    bool inside = false;
    for (const QString &line : help.split(QLatin1Char('\n'))) {
        if (line == title) {
            inside = true;
        } else if (inside && !line.startsWith(QLatin1String("  "))) {
            break;
        } else if (inside) {
            const QString entry = line.mid(2);
            entries << (wholeName ? entry.section("  ", 0, 0)
                                  : entry.section(QLatin1Char(' '), 0, 0));
        }
    }
    return entries;
}

} // namespace

TEST(CommandLine, InitCreatesDatabaseAndStagingFolderOrRefusesADamagedOne)
{
    TempPlaces places(false);
    const CliRun init = runCli(places, {"init"});
    ASSERT_EQ(init.status, 0) << init.err.toStdString();
    EXPECT_TRUE(init.out.contains(places.databasePath()));
    EXPECT_TRUE(init.out.contains(places.stagingDir()));
    EXPECT_TRUE(QFileInfo(places.stagingDir()).isDir());

    ASSERT_EQ(runCli(places, {"keyword", "SendToIpod"}).status, 0);
    Connection c(places.databasePath());
    EXPECT_EQ(*readStartupKeyword(c.db()), "sendtoipod");

    TempPlaces broken(false);
    broken.writeFile("program/QUENDADATA.Dll", QByteArray(2048, '\x7f'));
    const CliRun refused = runCli(broken, {"init"});
    EXPECT_NE(refused.status, 0);
    EXPECT_TRUE(refused.err.contains(QLatin1String("not a database"))) << refused.err.toStdString();
}

// Scripts rely on the usual conventions: errors on stderr and nothing on stdout, per-verb help
// that runs nothing, a quiet switch that keeps errors, the exit status telling a usage error (2)
// from a failed run (1), and options in the forms other tools accept ("--name=value", "--"
// before operands). A mistyped option, a missing value or a value given to a switch is a usage
// error that names it, before anything runs.
TEST(CommandLine, UsualConventionsAndMistakesNamed)
{
    TempPlaces places(false);
    const QString source = places.writeFile("work/long.txt", "a\r\nb\r\nc\r\nd\r\n");
    const QString dir = QFileInfo(source).path();
    const struct {
        QStringList args;
        int status;
        const char *shown; // on stdout when the run succeeds, on stderr otherwise
    } runs[] = {
        {{"frobnicate"}, 2, "Unknown verb: frobnicate"},
        {{"--help"}, 0, "QUENDA_DESKTOP_DIR"},
        {{"split", "some.txt", "--help"}, 0, "Usage: quenda-ipod-cli split FILE"},
        {{"split", places.root() + "/missing.txt", "--lines", "2", "-q"}, 1, "missing.txt"},
        {{"split", "x.txt"}, 2, "Usage: split FILE"},
        {{"-q"}, 2, "No verb given"},
        {{"--version"}, 0, "."},
        {{"split", source, "--line", "2"}, 2, "unknown option --line"},
        {{"split", source, "--lines"}, 2, "--lines needs a value"},
        {{"folders", "select", "--all=yes"}, 2, "--all takes no value"},
        {{"split", "--kb", "1", "--", "--lines"}, 2, "--lines would be read as an option"},
        {{"split", source, "--lines=2", "-q"}, 0, ""},
        {{"split", "--lines", "1", "--", source}, 0, ""},
    };
    for (const auto &run : runs) {
        SCOPED_TRACE(run.args.join(' ').toStdString());
        const CliRun r = runCli(places, run.args);
        EXPECT_EQ(r.status, run.status);
        EXPECT_TRUE((r.status == 0 ? r.out : r.err).contains(QLatin1String(run.shown)))
            << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.status == 0 || r.out.isEmpty()) << "a failure prints nothing on stdout";
    }
    EXPECT_FALSE(QFileInfo::exists(places.databasePath())); // none of them ran anything
    // The file after "--" was split, into pieces of one line each.
    EXPECT_TRUE(QFileInfo::exists(dir + "/long4.txt"));

    const CliRun quiet = runCli(places, {"--quiet", "init"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_TRUE(quiet.out.isEmpty()) << quiet.out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(places.databasePath()));
}

// Every action of every verb has a help of its own, with each of its options, and the manual
// page describes the same usage and options under it.
TEST(CommandLine, EveryActionHasItsOwnHelpAndTheManualPageMatches)
{
    TempPlaces places(false);
    const QStringList manual = manualLines();
    ASSERT_FALSE(manual.isEmpty()) << "the manual page cannot be read";
    const QStringList verbs = helpSection(runCli(places, {"--help"}).out, "Verbs:");
    ASSERT_GE(verbs.size(), 12);

    std::map<QString, QStringList> options; // usage line -> its options
    static const QRegularExpression option("--[a-z-]+");
    const QString usagePrefix = QStringLiteral("Usage: quenda-ipod-cli ");
    for (const QString &verb : verbs) {
        const CliRun verbHelp = runCli(places, {verb, "--help"});
        ASSERT_EQ(verbHelp.status, 0) << verb.toStdString();
        QStringList actions = helpSection(verbHelp.out, "Actions:");
        if (actions.isEmpty())
            actions << QString();
        for (const QString &action : actions) {
            const QString what = action.isEmpty() ? verb : verb + ' ' + action;
            const CliRun help = runCli(places, what.split(' ') << "--help");
            const QString first = help.out.section(QLatin1Char('\n'), 0, 0);
            ASSERT_TRUE(help.status == 0 && first.startsWith(usagePrefix + what))
                << help.out.toStdString();
            const QString usage = first.mid(usagePrefix.size());
            EXPECT_TRUE(verbHelp.out.contains(usage))
                << "listed in the verb's help: " << what.toStdString();
            // Every option the usage shows is described, and nothing else.
            const QStringList named = helpSection(help.out, "Options:", true);
            QStringList shown, described;
            for (auto m = option.globalMatch(usage); m.hasNext();)
                shown << m.next().captured();
            for (const QString &name : named)
                described << name.section(QLatin1Char(' '), 0, 0);
            shown.removeDuplicates();
            EXPECT_EQ(shown, described) << what.toStdString();
            options[usage] = named;
        }
    }
    EXPECT_TRUE(options.count(QStringLiteral(
        "files copy (--all-in-one | --keep-original | --scheme SCHEME) (--desktop | --to DIR)")));

    // In the manual page each usage heads an entry that holds a line for each of its options.
    std::vector<qsizetype> heads;
    for (const auto &[usage, named] : options) {
        const qsizetype at = manual.indexOf(usage);
        ASSERT_GE(at, 0) << "not in the manual page: " << usage.toStdString();
        heads.push_back(at);
    }
    std::sort(heads.begin(), heads.end());
    for (const auto &[usage, named] : options) {
        const qsizetype at = manual.indexOf(usage);
        const auto next = std::upper_bound(heads.begin(), heads.end(), at);
        const QStringList entry =
            manual.mid(at + 1, (next == heads.end() ? manual.size() : *next) - at - 1);
        for (const QString &name : named)
            EXPECT_TRUE(entry.contains(name))
                << "the manual page does not describe " << name.toStdString() << " under "
                << usage.toStdString();
    }

    // A usage mistake in an action shows that action's usage.
    const CliRun wrong = runCli(places, {"import", "run"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.err.contains(QLatin1String("Usage: quenda-ipod-cli import run FILE --kind")))
        << wrong.err.toStdString();
}
