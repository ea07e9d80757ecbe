#include "cli/verbs.h"

#include "contacts/import/contact_import.h"
#include "contacts/import/field_catalogue.h"
#include "contacts/import/field_mapping.h"
#include "contacts/import/field_suggestion.h"
#include "db/database.h"
#include "db/mapping_schemes.h"
#include "formats/access_reader.h"
#include "formats/codepages.h"
#include "formats/table_sources.h"
#include "jobs/foreground.h"

#include <optional>

namespace quenda::cli {

namespace {

struct ImportArgs {
    QStringList positional;
    QString kind;
    QString table;
    QString scheme;
    bool hasScheme = false;
    int codePage = 0;
    QList<std::pair<QString, QString>> maps; // COLUMN, FIELD as given
    bool suggest = false;
    bool autoMap = false;
    DuplicatePolicy duplicates = DuplicatePolicy::Import;
};

// The kinds as a shell takes them: the ones with a blank or a semicolon quoted.
QString quotedKinds()
{
    QStringList kinds;
    for (const QString &kind : tableSourceKinds())
        kinds << (kind.contains(QLatin1Char(';')) ? QLatin1Char('"') + kind + QLatin1Char('"')
                                                  : kind);
    return kinds.join(QStringLiteral(", "));
}

int usage(Context &context, const char *subVerb)
{
    return usageError(context, "import", QString::fromLatin1(subVerb));
}

std::optional<ImportArgs> parse(Context &context, const QStringList &args)
{
    ImportArgs parsed;
    // The options arrive in their plain form, known and with their values (see main.cpp).
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &option = args[i];
        if (option == QLatin1String("--suggest")) {
            parsed.suggest = true;
            continue;
        }
        if (option == QLatin1String("--auto-map")) {
            parsed.autoMap = true;
            continue;
        }
        if (!option.startsWith(QLatin1String("--")) || i + 1 >= args.size()) {
            parsed.positional << option;
            continue;
        }
        const QString value = args[++i];
        if (option == QLatin1String("--kind")) {
            parsed.kind = value;
        } else if (option == QLatin1String("--table")) {
            parsed.table = value;
        } else if (option == QLatin1String("--scheme")) {
            parsed.scheme = value;
            parsed.hasScheme = true;
        } else if (option == QLatin1String("--duplicates")) {
            if (value == QLatin1String("skip")) {
                parsed.duplicates = DuplicatePolicy::Skip;
            } else if (value != QLatin1String("import")) {
                context.err << "import: --duplicates takes import or skip, not " << value
                            << Qt::endl;
                return std::nullopt;
            }
        } else if (option == QLatin1String("--codepage")) {
            bool ok = false;
            parsed.codePage = value.toInt(&ok);
            if (!ok || !isKnownCodePage(parsed.codePage)) {
                context.err << "import: not a code page this program knows: " << value << Qt::endl;
                return std::nullopt;
            }
        } else {
            const qsizetype eq = value.indexOf(QLatin1Char('='));
            if (eq <= 0) {
                context.err << "import: --map takes COLUMN=FIELD, not " << value << Qt::endl;
                return std::nullopt;
            }
            parsed.maps.append({value.left(eq), value.mid(eq + 1)});
        }
    }
    return parsed;
}

// The source a file verb names; prints what is wrong and gives nothing otherwise, with the exit
// status in status: 2 for a mistake in the arguments, 1 for a database that cannot be read.
std::optional<ImportSource> sourceOf(Context &context, const ImportArgs &args, const char *subVerb,
                                     int &status)
{
    status = 2;
    if (args.positional.size() != 1) {
        context.err << "import " << subVerb << ": name one source file" << Qt::endl;
        usage(context, subVerb);
        return std::nullopt;
    }
    if (args.kind.isEmpty()) {
        context.err << "import " << subVerb << ": --kind is needed" << Qt::endl;
        usage(context, subVerb);
        return std::nullopt;
    }
    if (!tableSourceKinds().contains(args.kind)) {
        // The window's own words first; the command line can also say what would do.
        context.err << "Invalid Database Type " << Qt::endl
                    << "KIND is one of: " << quotedKinds() << Qt::endl;
        return std::nullopt;
    }
    status = 1;
    ImportSource source{args.kind, args.positional.first(), args.table, args.codePage};
    if (source.isAccess() && source.table.isEmpty()) {
        // As the window does, the first table is the one opened.
        const Result<QStringList> tables = accessTables(source.path);
        if (!tables) {
            context.err << tables.message() << Qt::endl;
            return std::nullopt;
        }
        if (tables->isEmpty()) {
            context.err << "Item Not Selected" << Qt::endl;
            return std::nullopt;
        }
        source.table = tables->first();
    }
    return source;
}

int listTables(Context &context, const ImportArgs &args)
{
    if (args.positional.size() != 1) {
        context.err << "import tables: name one database file" << Qt::endl;
        return usage(context, "tables");
    }
    const Result<QStringList> tables = accessTables(args.positional.first());
    if (!tables) {
        context.err << tables.message() << Qt::endl;
        return 1;
    }
    for (const QString &table : *tables)
        context.out << table << '\n';
    return 0;
}

int listFields(Context &context, const ImportArgs &args)
{
    int status = 0;
    const auto source = sourceOf(context, args, "fields", status);
    if (!source)
        return status;
    const Result<QStringList> fields = importSourceFields(*source);
    if (!fields) {
        context.err << fields.message() << Qt::endl;
        return 1;
    }
    if (!args.suggest) {
        for (const QString &field : *fields)
            context.out << field << '\n';
        return 0;
    }
    // The grids' columns as the lists name them, printed as the catalogue does: a suggestion
    // needs no database.
    const QStringList columns =
        columnsOfList(importantFieldList()) + columnsOfList(otherFieldList());
    for (const ImportPair &pair : suggestMapping(*fields, columns, source->kind))
        context.out << pair.column.toUpper() << '=' << pair.field << '\n';
    return 0;
}

// The pairs of --map, each column checked against the grids' columns; "" on success.
QString mappedPairs(const ImportArgs &args, const QStringList &columns,
                    std::vector<ImportPair> &pairs)
{
    for (const auto &[column, field] : args.maps) {
        const QString found = findColumn(columns, column);
        if (found.isEmpty())
            return column;
        pairs.push_back({found, field});
    }
    return {};
}

int runImport(Context &context, const ImportArgs &args)
{
    const bool mapped = args.autoMap || !args.maps.isEmpty();
    if (args.hasScheme == mapped) {
        context.err << "import run: give either --scheme NAME or --map COLUMN=FIELD (or --auto-map)"
                    << Qt::endl;
        return usage(context, "run");
    }
    int status = 0;
    const auto source = sourceOf(context, args, "run", status);
    if (!source)
        return status;
    if (!prepareDatabase(context))
        return 1;
    const QString database = context.places.databasePath();
    std::vector<ImportPair> pairs;
    {
        Connection connection(database);
        if (Status open = connection.status(); !open) {
            context.err << open.message() << Qt::endl;
            return 1;
        }
        const QStringList important = reportedColumns(connection.db(), importantFieldList());
        if (args.hasScheme) {
            const auto rows = mappingSchemeRows(connection.db(), args.scheme);
            if (!rows) {
                context.err << "The scheme cannot be read: " << rows.message() << Qt::endl;
                return 1;
            }
            if (rows->empty()) {
                context.err << "No scheme is saved as \"" << args.scheme << "\"" << Qt::endl;
                return 1;
            }
            pairs = schemePairs(important, *rows);
        } else {
            const QStringList columns =
                important + reportedColumns(connection.db(), otherFieldList());
            if (const QString unknown = mappedPairs(args, columns, pairs); !unknown.isEmpty()) {
                context.err << "Not a contact column the import offers: " << unknown << Qt::endl;
                return 2;
            }
            if (args.autoMap) {
                const Result<QStringList> fields = importSourceFields(*source);
                if (!fields) {
                    context.err << fields.message() << Qt::endl;
                    return 1;
                }
                pairs = mergeMapping(suggestMapping(*fields, columns, source->kind), pairs);
            }
        }
    }
    if (pairs.empty()) {
        context.err << "Fields Not Selected" << Qt::endl;
        return 1;
    }
    std::optional<ImportOutcome> outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) {
            const Result<ImportOutcome> done =
                runContactImport(database, *source, pairs, control, args.duplicates);
            if (done)
                outcome = *done;
            else if (!control.stoppedEarly())
                control.abort(done.message());
        },
        context.err, CancelNote::SaidByCaller);
    // Ctrl+C after the commit changes nothing: the contacts are in.
    if (!outcome) {
        if (report.cancelled)
            context.err << cancelledImportMessage() << Qt::endl;
        return 1;
    }
    context.out << " Imported  " << Qt::endl;
    context.out << outcome->added << " contact(s) added" << Qt::endl;
    if (outcome->blankSkipped > 0)
        context.out << blankRecordsMessage(outcome->blankSkipped) << Qt::endl;
    if (outcome->duplicates > 0)
        context.out << duplicatesMessage(outcome->duplicates, args.duplicates) << Qt::endl;
    return 0;
}

int saveScheme(Context &context, const ImportArgs &args)
{
    if (args.positional.size() != 1 || args.maps.isEmpty()) {
        context.err << "import save-scheme: give one NAME and at least one --map COLUMN=FIELD"
                    << Qt::endl;
        return usage(context, "save-scheme");
    }
    if (!prepareDatabase(context))
        return 1;
    Connection connection(context.places.databasePath());
    if (Status open = connection.status(); !open) {
        context.err << open.message() << Qt::endl;
        return 1;
    }
    // A scheme keeps the rows of the important fields only, as the Save button does.
    const QStringList important = reportedColumns(connection.db(), importantFieldList());
    std::vector<ImportPair> pairs;
    if (const QString unknown = mappedPairs(args, important, pairs); !unknown.isEmpty()) {
        context.err << "Not one of the important fields a scheme keeps: " << unknown << Qt::endl;
        return 2;
    }
    QStringList fieldsByRow;
    for (qsizetype i = 0; i < important.size(); ++i)
        fieldsByRow << QStringLiteral("");
    for (const ImportPair &pair : pairs)
        fieldsByRow[important.indexOf(pair.column)] = pair.field;
    if (Status saved = saveMappingScheme(connection.db(), args.positional.first(), fieldsByRow);
        !saved) {
        context.err << "The scheme cannot be saved: " << saved.message() << Qt::endl;
        return 1;
    }
    context.out << "Scheme saved successfully" << Qt::endl;
    return 0;
}

} // namespace

int runImportVerb(Context &context, const QStringList &args)
{
    if (args.isEmpty())
        return usageError(context, "import");
    const auto parsed = parse(context, args.mid(1));
    if (!parsed)
        return 2;
    const QString sub = args.first();
    if (sub == QLatin1String("tables"))
        return listTables(context, *parsed);
    if (sub == QLatin1String("fields"))
        return listFields(context, *parsed);
    if (sub == QLatin1String("run"))
        return runImport(context, *parsed);
    if (sub == QLatin1String("save-scheme"))
        return saveScheme(context, *parsed);
    context.err << "import: unknown action " << sub << Qt::endl;
    return usageError(context, "import");
}

} // namespace quenda::cli
