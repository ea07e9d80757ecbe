#include "cli/verbs.h"

#include "contacts/export/contact_send.h"
#include "contacts/export/vcard_writer.h"
#include "db/contacts.h"
#include "db/database.h"
#include "jobs/foreground.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace quenda::cli {

namespace {

struct ContactArgs {
    QString folder;
    std::optional<CardVersion> version; // none given: the one the windows keep
    QStringList rest;
};

// "--out DIR" and "--vcard VERSION" may stand anywhere; the staging folder is the default.
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
        } else if (args[i] == QLatin1String("--vcard")) {
            parsed.version = i + 1 < args.size() ? parseCardVersion(args[++i]) : std::nullopt;
            if (!parsed.version) {
                context.err << verb << ": --vcard takes 2.1, 3.0 or 4.0" << Qt::endl;
                return std::nullopt;
            }
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

// The version given, else the one last chosen in a window.
std::optional<CardVersion> versionToWrite(Context &context, const ContactArgs &parsed)
{
    if (parsed.version)
        return parsed.version;
    Connection connection(context.places.databasePath());
    const Result<CardVersion> kept = connection.isOpen()
                                         ? rememberedCardVersion(connection.db())
                                         : Result<CardVersion>(connection.status().error());
    if (!kept) {
        context.err << "Cannot read the card version: " << kept.message() << Qt::endl;
        return std::nullopt;
    }
    return *kept;
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
    QStringList idLists;
    for (const QString &id : parsed->rest) {
        const auto ids = parseIdList(id);
        if (!ids || ids->size() != 1) {
            context.err << "Not a contact id: " << id << Qt::endl;
            return 2;
        }
        // One list per id with a trailing comma, as the export window makes them.
        idLists << QString::number(ids->first()) + QLatin1Char(',');
    }
    if (!prepareDatabase(context))
        return 1;
    const std::optional<CardVersion> version = versionToWrite(context, *parsed);
    if (!version)
        return 1;
    const QString database = context.places.databasePath();
    const QString folder = parsed->folder;
    const JobReport report = runInForeground(
        [&](JobControl &control) { runCardExport(database, idLists, folder, control, *version); },
        context.err);
    context.out << "VCF File Saved to Desktop\\Ipod" << Qt::endl;
    return report.succeeded() ? 0 : 1;
}

int runSendIpod(Context &context, const QStringList &args)
{
    const auto parsed = parseOut(context, args, "send-ipod");
    if (!parsed)
        return 2;
    if (!parsed->rest.isEmpty()) {
        context.err << "send-ipod takes only --out DIR and --vcard VERSION" << Qt::endl;
        return 2;
    }
    if (!prepareDatabase(context))
        return 1;
    const std::optional<CardVersion> version = versionToWrite(context, *parsed);
    if (!version)
        return 1;
    const QString database = context.places.databasePath();
    QStringList names;
    {
        Connection connection(database);
        Result<QStringList> listed = connection.isOpen()
                                         ? contactNames(connection.db())
                                         : Result<QStringList>(connection.status().error());
        if (!listed) {
            context.err << "Cannot read the contact names: " << listed.message() << Qt::endl;
            return 1;
        }
        names = std::move(*listed);
    }
    const QString folder = parsed->folder;
    const JobReport report = runInForeground(
        [&](JobControl &control) { runContactSend(database, names, folder, control, *version); },
        context.err);
    context.out << "File Saved to " << QDir::toNativeSeparators(folder) << Qt::endl;
    return report.succeeded() ? 0 : 1;
}

} // namespace quenda::cli
