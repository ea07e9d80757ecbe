#include "cli/verbs.h"

#include "contacts/export/contact_send.h"
#include "contacts/export/vcard_writer.h"
#include "db/database.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace quenda::cli {

namespace {

struct ContactArgs {
    QString folder;
    QStringList rest;
};

// "--out DIR" may stand anywhere; the staging folder is the default.
std::optional<ContactArgs> parseOut(Context &context, const QStringList &args, const char *verb)
{
    ContactArgs parsed;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out")) {
            if (i + 1 >= args.size()) {
                context.err << verb << ": --out needs a folder" << Qt::endl;
                return std::nullopt;
            }
            parsed.folder = args[++i];
        } else if (args[i].startsWith(QLatin1String("--out="))) {
            parsed.folder = args[i].mid(6);
        } else {
            parsed.rest << args[i];
        }
    }
    if (parsed.folder.isEmpty())
        parsed.folder = context.places.stagingDir();
    if (parsed.folder.isEmpty()) {
        context.err << "The Desktop folder cannot be found; set QUENDA_DESKTOP_DIR or use --out."
                    << Qt::endl;
        return std::nullopt;
    }
    if (!QFileInfo(parsed.folder).isDir()) {
        context.err << "The folder " << QDir::toNativeSeparators(parsed.folder)
                    << " does not exist." << Qt::endl;
        return std::nullopt;
    }
    return parsed;
}

int report(Context &context, const CardResult &result)
{
    const QString failures = cardFailureMessage(result);
    if (!failures.isEmpty())
        context.err << failures << Qt::endl;
    for (qint64 id : result.missingIds)
        context.err << "No contact has the id " << id << Qt::endl;
    return result.hasProblems() || !result.missingIds.isEmpty() ? 1 : 0;
}

} // namespace

int runVcf(Context &context, const QStringList &args)
{
    const auto parsed = parseOut(context, args, "vcf");
    if (!parsed)
        return 2;
    if (parsed->rest.isEmpty()) {
        context.err << "vcf needs at least one contact id" << Qt::endl;
        return 2;
    }
    for (const QString &id : parsed->rest) {
        const auto ids = parseIdList(id);
        if (!ids || ids->size() != 1) {
            context.err << "Not a contact id: " << id << Qt::endl;
            return 2;
        }
    }
    if (!prepareDatabase(context))
        return 1;
    Connection connection(context.places.databasePath());
    if (!connection.isOpen()) {
        context.err << "Cannot open the organizer database: " << connection.error() << Qt::endl;
        return 1;
    }
    // One call per id with a trailing comma, as the export window makes them.
    CardResult result;
    VCardWriter writer(connection.db());
    for (const QString &id : parsed->rest)
        writer.write(CardKind::Combined, id.trimmed() + QLatin1Char(','), parsed->folder, result);
    context.out << "VCF File Saved to Desktop\\Ipod" << Qt::endl;
    return report(context, result);
}

int runSendIpod(Context &context, const QStringList &args)
{
    const auto parsed = parseOut(context, args, "send-ipod");
    if (!parsed)
        return 2;
    if (!parsed->rest.isEmpty()) {
        context.err << "send-ipod takes only --out DIR" << Qt::endl;
        return 2;
    }
    if (!prepareDatabase(context))
        return 1;
    Connection connection(context.places.databasePath());
    QString error;
    const auto names = connection.isOpen() ? contactNames(connection.db(), &error) : std::nullopt;
    if (!names) {
        context.err << "Cannot read the contact names: "
                    << (connection.isOpen() ? error : connection.error()) << Qt::endl;
        return 1;
    }
    const CardResult result = sendContacts(connection.db(), *names, parsed->folder);
    context.out << "File Saved to " << QDir::toNativeSeparators(parsed->folder) << Qt::endl;
    return report(context, result);
}

} // namespace quenda::cli
