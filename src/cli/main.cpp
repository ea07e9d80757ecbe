#include "app/program_info.h"
#include "cli/verbs.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <iterator>

using namespace quenda;
using namespace quenda::cli;

namespace {

const Verb kVerbs[] = {
    {"vcf", "[--out DIR] ID...",
     "write the combined vCard of each contact id, as the contact export window does", runVcf},
    {"send-ipod", "[--out DIR]",
     "write home, work and combined vCards of every contact, as Send to Desktop does", runSendIpod},
    {"init", "", "create the database and the staging folder when missing; print their paths",
     runInit},
    {"keyword", "WORD", "leave a start-up keyword in QD_SETUP, as the suite does", runKeyword},
    {"notes", "scan DIR|convert|cut FILE|merge OUT.rtf",
     "the notes window's scan, conversion, section break and merge", runNotes},
    {"split", "FILE (--lines N | --kb N | --mb N)",
     "cut a text file into numbered pieces beside it, as the splitter window does", runSplit},
    {"rtf-text", "FILE", "print the plain text of an RTF document, as the notes read it",
     runRtfText},
    {"folders", "drives|scan|select|copy|copy-picked|info|size|shortcut|launcher ...",
     "the folder copier's scan, folder schemes, copies, information panes and shortcuts",
     runFolders},
    {"files", "scan|list|select|copy|shortcut ...",
     "the file copier's office file scan, list, ticks, organised copy and shortcuts", runFiles},
    {"import", "tables|fields|run|save-scheme ...",
     "list a source's tables or fields, import its records as contacts, save a mapping scheme",
     runImportVerb},
    {"pictures", "scan DIR|send",
     "record the sub-folders of a picture folder, or send them to the staging folder", runPictures},
    {"textfile", "FILE [--out PATH] [--format 1|2|3]",
     "write a spreadsheet's first 20 rows and columns as QDFile.txt on the Desktop", runTextFile},
};

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
           "  VERB --help          the verb's arguments\n";
    out << "\nExit status: 0 success, 1 failure, 2 usage error.\n";
    out << "\nEnvironment:\n"
           "  QUENDA_PROGRAM_DIR   folder that holds the organizer database\n"
           "  QUENDA_DESKTOP_DIR   Desktop folder (the staging folder is its Ipod folder)\n";
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
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
                help << "Usage: quenda-ipod-cli " << v.name << ' ' << v.usage << "\n\n"
                     << v.summary << '\n';
                return 0;
            }
            Context context{Places::fromEnvironment(QCoreApplication::applicationDirPath()), out,
                            err};
            // The user's data folder is made on first use, as the program itself does.
            if (context.places.programDir == userDataDir())
                context.places.ensureProgramDir();
            const int status = v.run(context, args);
            out.flush();
            err.flush();
            return status;
        }
    }
    err << "Unknown verb: " << verb << " (see --help)" << Qt::endl;
    return 2;
}
