#include "cli/verbs.h"

#include <QString>

#include <iterator>

namespace quenda::cli {

namespace {

// Options: one "--name VALUE<TAB>meaning" per line. The manual page repeats these texts; a test
// holds the two together.

constexpr SubVerb kNotes[] = {
    {"scan", "DIR", "record the .rtf and .txt documents of a folder and its sub-folders", ""},
    {"convert", "", "convert the recorded documents into plain-text notes in the staging folder",
     ""},
    {"cut", "FILE", "cut a note into numbered pieces of about 100 characters beside it", ""},
    {"merge", "OUT.rtf", "merge the converted notes into one document, and into Merged.txt", ""},
};

constexpr SubVerb kFolders[] = {
    {"drives", "", "list the drives (mounted file systems)", ""},
    {"scan", "ROOT --scheme NAME [--other-mounts]",
     "record the top-level folders of ROOT and their sizes under a folder scheme",
     "--scheme NAME\tthe folder scheme the folders are recorded under; it is made anew\n"
     "--other-mounts\tgo into other file systems mounted inside; left out, the walk stays on the "
     "mount it starts on"},
    {"select", "--scheme NAME (--all | --none | PATH...)",
     "tick folders of a folder scheme, the rest unticked, and print their size",
     "--scheme NAME\tthe folder scheme whose folders are ticked\n"
     "--all\ttick every folder of the scheme\n"
     "--none\tclear every tick of the scheme"},
    {"copy", "--scheme NAME (--desktop | --to DIR)", "copy the ticked folders of a folder scheme",
     "--scheme NAME\tthe folder scheme whose ticked folders are copied\n"
     "--desktop\tinto the folder \"File Copier\" on the Desktop, made empty first; refused while "
     "another copy fills it\n"
     "--to DIR\tinto the folder DIR"},
    {"copy-picked", "ROOT NAME... --to DIR",
     "copy the content of the named folders of ROOT together into one folder",
     "--to DIR\tthe folder the content is copied into; made when missing"},
    {"info", "PATH", "print the facts of a drive, folder or file", ""},
    {"size", "PATH [--other-mounts]", "print the size of a folder with everything in it",
     "--other-mounts\tgo into other file systems mounted inside; left out, the walk stays on the "
     "mount it starts on"},
    {"shortcut", "PATH", "make a shortcut to a folder or file on the Desktop", ""},
    {"launcher", "PATH", "put a folder on the first launcher button of the file list", ""},
};

constexpr SubVerb kFiles[] = {
    {"scan", "(--scheme NAME | DIR...) [--other-mounts]",
     "record the office documents, pictures and databases of the ticked folders",
     "--scheme NAME\tthe ticked folders of this folder scheme; the list is made anew\n"
     "--other-mounts\tgo into other file systems mounted inside; left out, the walk stays on the "
     "mount it starts on"},
    {"list", "[--tab All|Word|Excel|Access|Picture|Ppt|Acrobat]",
     "print the recorded files: kind, path and tick, one to a line",
     "--tab TAB\tonly the files of one tab of the file list"},
    {"select", "(--all | --none | --tab TAB | PATH...)", "tick recorded files, the rest unticked",
     "--all\ttick every recorded file\n"
     "--none\tclear every tick\n"
     "--tab TAB\ttick the files of one tab: All, Word, Excel, Access, Picture, Ppt or Acrobat"},
    {"copy", "(--all-in-one | --keep-original | --scheme SCHEME) (--desktop | --to DIR)",
     "copy the ticked files flat, by their original folder, or into folders built from type and "
     "date",
     "--all-in-one\tevery file in one folder\n"
     "--keep-original\teach file in a folder named after its original folder\n"
     "--scheme SCHEME\tfolders built from type and date: None, Ext, \"Year(Date Cr.)\", "
     "Year-Month, \"Year\\Month\", Ext-Year-Month, Year-Ext or Year-Month-Ext\n"
     "--desktop\tinto the folder \"File Copier\" on the Desktop, made empty first; refused while "
     "another copy fills it\n"
     "--to DIR\tinto the folder DIR (with --scheme, into its folder \"File Copier\")"},
    {"shortcut", "PATH", "make a shortcut to a file on the Desktop", ""},
};

constexpr SubVerb kImport[] = {
    {"tables", "FILE", "list the tables of an Access database", ""},
    {"fields", "FILE --kind KIND [--table T] [--codepage N] [--suggest]",
     "list the fields of a source, or the mapping suggested for them",
     "--kind KIND\tthe kind of source: Access, \"Text;\", \"FoxPro 2.0;\", \"FoxPro 2.5;\", "
     "\"FoxPro 2.6;\", \"FoxPro 3.0;\", \"dBASE III;\", \"dBASE IV;\", \"dBASE 5.0;\" or vCard\n"
     "--table T\tthe table of an Access database; the first one when left out\n"
     "--codepage N\tthe code page the text is read in, such as 1252, 850 or 65001; the file's "
     "own when left out\n"
     "--suggest\tprint COLUMN=FIELD for each field whose name tells its contact column"},
    {"run",
     "FILE --kind KIND [--table T] [--codepage N] (--scheme NAME | --map COLUMN=FIELD ... | "
     "--auto-map [--map COLUMN=FIELD ...]) [--duplicates import|skip]",
     "import every record of a source as a new contact; all of them or, on any fault, none",
     "--kind KIND\tthe kind of source, as for import fields\n"
     "--table T\tthe table of an Access database; the first one when left out\n"
     "--codepage N\tthe code page the text is read in; the file's own when left out\n"
     "--scheme NAME\tthe field mapping saved under this scheme name\n"
     "--map COLUMN=FIELD\tthe contact column COLUMN takes the source's field FIELD; once for "
     "each column\n"
     "--auto-map\tthe mapping import fields --suggest prints; a --map given beside it wins for "
     "its column\n"
     "--duplicates import|skip\ta record with a stored contact's name and one of its phone "
     "numbers or e-mail addresses is imported all the same (the default) or skipped; their "
     "number is printed"},
    {"save-scheme", "NAME --map COLUMN=FIELD ...",
     "save a field mapping of the important contact columns as a scheme",
     "--map COLUMN=FIELD\tthe contact column COLUMN takes the source's field FIELD; once for each "
     "column"},
};

constexpr SubVerb kPictures[] = {
    {"scan", "DIR", "record the sub-folders of a picture folder, four levels deep", ""},
    {"send", "", "copy the recorded folders into the staging folder under flattened names", ""},
};

constexpr SubVerb kPlayer[] = {
    {"list", "", "list the players plugged in: root folder, name and free bytes, tab-separated",
     ""},
    {"send", "[--player ROOT] [--contacts] [--notes]",
     "copy the staging folder's vCards to the player's Contacts and its notes to its Notes",
     "--player ROOT\tthe player mounted at ROOT; the only player plugged in when left out\n"
     "--contacts\tsend the vCards; both kinds when neither option is given\n"
     "--notes\tsend the notes, a note over 4,096 bytes as linked pieces"},
    {"eject", "[--player ROOT]", "unmount the player and power it off",
     "--player ROOT\tthe player mounted at ROOT; the only player plugged in when left out"},
};

struct VerbOptions {
    const char *verb;
    std::span<const SubVerb> subVerbs;
    const char *options; // of a verb without actions
};

const VerbOptions kHelp[] = {
    {"vcf",
     {},
     "--out DIR\tthe folder the cards are written to; the staging folder by default\n"
     "--vcard 2.1|3.0|4.0\tthe card version of this run: 2.1 is what the iPod reads, 3.0 and 4.0 "
     "suit "
     "phones and address books; the version last chosen in a window when left out, 2.1 at first"},
    {"send-ipod",
     {},
     "--out DIR\tthe folder the cards are written to; the staging folder by default\n"
     "--vcard 2.1|3.0|4.0\tthe card version of this run: 2.1 is what the iPod reads, 3.0 and 4.0 "
     "suit "
     "phones and address books; the version last chosen in a window when left out, 2.1 at first"},
    {"split",
     {},
     "--lines N\tpieces of N lines\n"
     "--kb N\tpieces of N kilobytes\n"
     "--mb N\tpieces of N megabytes"},
    {"textfile",
     {},
     "--out PATH\tthe file written; QDFile.txt on the Desktop by default\n"
     "--format 1|2|3\t1: a block for every row of the grid, as the window writes it; 2: only "
     "the rows that hold a value; 3: as 2, the values aligned after the longest header"},
    {"notes", kNotes, ""},
    {"folders", kFolders, ""},
    {"files", kFiles, ""},
    {"import", kImport, ""},
    {"pictures", kPictures, ""},
    {"player", kPlayer, ""},
};

const VerbOptions *helpOf(const char *verb)
{
    for (const VerbOptions &help : kHelp)
        if (qstrcmp(help.verb, verb) == 0)
            return &help;
    return nullptr;
}

QString usageLine(const char *verb, const SubVerb &sub)
{
    QString line =
        QStringLiteral("quenda-ipod-cli %1 %2").arg(QLatin1String(verb), QLatin1String(sub.name));
    if (*sub.usage)
        line += QLatin1Char(' ') + QLatin1String(sub.usage);
    return line;
}

void printUsageLines(QTextStream &out, const Verb &verb)
{
    const std::span<const SubVerb> subs = subVerbsOf(verb.name);
    if (subs.empty()) {
        out << "Usage: quenda-ipod-cli " << verb.name << (*verb.usage ? " " : "") << verb.usage
            << '\n';
        return;
    }
    for (size_t i = 0; i < subs.size(); ++i)
        out << (i == 0 ? "Usage: " : "       ") << usageLine(verb.name, subs[i]) << '\n';
}

void printOptions(QTextStream &out, const char *options)
{
    const QStringList lines =
        QString::fromUtf8(options).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return;
    out << "\nOptions:\n";
    for (const QString &line : lines) {
        const QString name = line.section(QLatin1Char('\t'), 0, 0);
        const QString meaning = line.section(QLatin1Char('\t'), 1);
        out << "  " << name.leftJustified(20) << "  " << meaning << '\n';
    }
}

} // namespace

std::span<const SubVerb> subVerbsOf(const char *verb)
{
    const VerbOptions *help = helpOf(verb);
    return help ? help->subVerbs : std::span<const SubVerb>();
}

const SubVerb *findSubVerb(const char *verb, const QString &name)
{
    for (const SubVerb &sub : subVerbsOf(verb))
        if (name == QLatin1String(sub.name))
            return &sub;
    return nullptr;
}

const char *verbOptions(const char *verb)
{
    const VerbOptions *help = helpOf(verb);
    return help && help->subVerbs.empty() ? help->options : "";
}

void printVerbHelp(QTextStream &out, const Verb &verb, const QStringList &args)
{
    if (const SubVerb *sub = args.isEmpty() ? nullptr : findSubVerb(verb.name, args.first())) {
        out << "Usage: " << usageLine(verb.name, *sub) << "\n\n" << sub->summary << '\n';
        printOptions(out, sub->options);
        out.flush();
        return;
    }
    printUsageLines(out, verb);
    out << '\n' << verb.summary << '\n';
    const std::span<const SubVerb> subs = subVerbsOf(verb.name);
    if (subs.empty()) {
        printOptions(out, verbOptions(verb.name));
    } else {
        out << "\nActions:\n";
        for (const SubVerb &sub : subs)
            out << "  " << QString::fromLatin1(sub.name).leftJustified(12) << ' ' << sub.summary
                << '\n';
        out << "\n\"quenda-ipod-cli " << verb.name
            << " ACTION --help\" describes one action and its options.\n";
    }
    out.flush();
}

int usageError(Context &context, const char *verb, const QString &subVerb)
{
    if (const SubVerb *sub = findSubVerb(verb, subVerb)) {
        context.err << "Usage: " << usageLine(verb, *sub) << Qt::endl;
        return 2;
    }
    const std::span<const SubVerb> subs = subVerbsOf(verb);
    for (size_t i = 0; i < subs.size(); ++i)
        context.err << (i == 0 ? "Usage: " : "       ") << usageLine(verb, subs[i]) << '\n';
    context.err.flush();
    return 2;
}

} // namespace quenda::cli
