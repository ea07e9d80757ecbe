#include "app/program_info.h"
#include "cli/verbs.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <iterator>
#include <optional>

using namespace quenda;
using namespace quenda::cli;

namespace {

#ifdef QUENDA_CLI_SPLIT_ONLY
// The module the tool loads for "split": the splitter and nothing that needs more than Qt Core.
const Verb kVerbs[] = {
    {"split", "FILE (--lines N | --kb N | --mb N)",
     "cut a text file into numbered pieces beside it, as the splitter window does", runSplit,
     "--lines= --kb= --mb="},
};
#else
const Verb kVerbs[] = {
    {"vcf", "[--out DIR] [--vcard 2.1|3.0|4.0] ID...",
     "write the combined vCard of each contact id, as the contact export window does", runVcf,
     "--out= --vcard="},
    {"send-ipod", "[--out DIR] [--vcard 2.1|3.0|4.0]",
     "write home, work and combined vCards of every contact, as Send to Desktop does", runSendIpod,
     "--out= --vcard="},
    {"init", "", "create the database and the staging folder when missing; print their paths",
     runInit},
    {"keyword", "WORD", "leave a start-up keyword in QD_SETUP, as the suite does", runKeyword},
    {"notes", "scan DIR|convert|cut FILE|merge OUT.rtf",
     "the notes window's scan, conversion, section break and merge", runNotes},
    {"split", "FILE (--lines N | --kb N | --mb N)",
     "cut a text file into numbered pieces beside it, as the splitter window does", runSplit,
     "--lines= --kb= --mb="},
    {"rtf-text", "FILE", "print the plain text of an RTF document, as the notes read it",
     runRtfText},
    {"folders", "drives|scan|select|copy|copy-picked|info|size|shortcut|launcher ...",
     "the folder copier's scan, folder schemes, copies, information panes and shortcuts",
     runFolders, "--scheme= --to= --all --none --desktop --other-mounts"},
    {"files", "scan|list|select|copy|shortcut ...",
     "the file copier's office file scan, list, ticks, organised copy and shortcuts", runFiles,
     "--scheme= --tab= --to= --all --none --desktop --keep-original --all-in-one --other-mounts"},
    {"import", "tables|fields|run|save-scheme ...",
     "list a source's tables or fields, import its records as contacts, save a mapping scheme",
     runImportVerb,
     "--kind= --table= --codepage= --scheme= --map= --suggest --auto-map --duplicates="},
    {"pictures", "scan DIR|send",
     "record the sub-folders of a picture folder, or send them to the staging folder", runPictures},
    {"textfile", "FILE [--out PATH] [--format 1|2|3]",
     "write a spreadsheet's first 20 rows and columns as QDFile.txt on the Desktop", runTextFile,
     "--out= --format="},
    {"player", "list | send [--player ROOT] [--contacts] [--notes] | eject [--player ROOT]",
     "list the players plugged in, send the staging folder's contacts and notes, eject one",
     runPlayer, "--player= --contacts --notes"},
};
#endif

void printHelp(QTextStream &out)
{
    out << kProgramTitle << ' ' << kProgramVersion << "\n\n";
    out << "Usage: quenda-ipod-cli VERB [ARGUMENTS]\n\nVerbs:\n";
    for (const Verb &v : kVerbs) {
        const QString head = QStringLiteral("  %1 %2").arg(QString::fromLatin1(v.name),
                                                           QString::fromLatin1(v.usage));
        out << head.leftJustified(44) << ' ' << v.summary << '\n';
    }
    out << "\nOptions:\n"
           "  -q, --quiet          print nothing but errors\n"
           "  --version            print the version\n"
           "  VERB --help          the verb's arguments and actions\n"
           "  VERB ACTION --help   one action's arguments and options\n";
    out << "\nExit status: 0 success, 1 failure, 2 usage error.\n";
    out << "\nEnvironment:\n"
           "  QUENDA_PROGRAM_DIR   folder that holds the organizer database\n"
           "  QUENDA_DESKTOP_DIR   Desktop folder (the staging folder is its Ipod folder)\n"
           "  QUENDA_PLAYER_ROOTS  player folders separated by ':', instead of looking for them\n";
    out.flush();
}

// The conventions other tools keep, for every verb alike: "--name=value" stands for
// "--name value", an option the verb does not know or a value left out is a usage error that
// names it, and after "--" nothing is read as an option. The verbs then see only the plain form.
std::optional<QStringList> normalizeOptions(const Verb &verb, const QStringList &args,
                                            QTextStream &err)
{
    const QStringList known =
        QString::fromLatin1(verb.options).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    auto refuse = [&](const QString &why) {
        err << verb.name << ": " << why << " (see " << verb.name << " --help)" << Qt::endl;
        return std::nullopt;
    };
    QStringList plain;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--")) {
            for (const QString &rest : args.mid(i + 1)) {
                // The verbs read their options anywhere, so such a name would still be taken
                // for one; a path can say the same thing without the dash first.
                if (rest.startsWith(QLatin1Char('-')))
                    return refuse(
                        QStringLiteral("%1 would be read as an option; write ./%1").arg(rest));
                plain << rest;
            }
            break;
        }
        if (!arg.startsWith(QLatin1String("--"))) {
            plain << arg;
            continue;
        }
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? arg : arg.left(eq);
        if (known.contains(name)) {
            if (eq >= 0)
                return refuse(QStringLiteral("%1 takes no value").arg(name));
            plain << name;
        } else if (known.contains(name + QLatin1Char('='))) {
            plain << name;
            if (eq >= 0)
                plain << arg.mid(eq + 1);
            else if (i + 1 < args.size())
                plain << args[++i];
            else
                return refuse(QStringLiteral("%1 needs a value").arg(name));
        } else {
            return refuse(QStringLiteral("unknown option %1").arg(name));
        }
    }
    return plain;
}

} // namespace

// Called by the tool (launcher.cpp) once it has loaded this module.
extern "C" __attribute__((visibility("default"))) int quenda_cli_main(int *argc, char **argv)
{
    QCoreApplication app(*argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h") || args.first() == QLatin1String("help")) {
        printHelp(out);
        return args.isEmpty() ? 2 : 0;
    }
    if (args.first() == QLatin1String("--version")) {
        out << kProgramVersion << Qt::endl;
        return 0;
    }
    // --quiet may stand anywhere; errors still reach stderr.
    QFile nowhere(QStringLiteral("/dev/null"));
    const qsizetype quietBefore = args.size();
    args.removeAll(QStringLiteral("--quiet"));
    args.removeAll(QStringLiteral("-q"));
    if (args.size() != quietBefore && nowhere.open(QIODevice::WriteOnly))
        out.setDevice(&nowhere);
    if (args.isEmpty()) {
        err << "No verb given (see --help)" << Qt::endl;
        return 2;
    }

    const QString verb = args.takeFirst();
    for (const Verb &v : kVerbs) {
        if (verb == QLatin1String(v.name)) {
            if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
                QTextStream help(stdout);
                printVerbHelp(help, v, args);
                return 0;
            }
            Context context{Places::fromEnvironment(QCoreApplication::applicationDirPath()), out,
                            err};
            const std::optional<QStringList> plain = normalizeOptions(v, args, err);
            if (!plain)
                return 2;
            // The user's data folder is made on first use, as the program itself does.
            if (context.places.programDir == userDataDir())
                context.places.ensureProgramDir();
            const int status = v.run(context, *plain);
            out.flush();
            err.flush();
            return status;
        }
    }
    err << "Unknown verb: " << verb << " (see --help)" << Qt::endl;
    return 2;
}
