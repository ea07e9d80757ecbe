#include "cli/verbs.h"

#include "db/database.h"
#include "db/setup.h"

#include <QDir>
#include <QFileInfo>

namespace quenda::cli {

bool prepareDatabase(Context &context)
{
    if (Status ready = ensureDatabase(context.places.databasePath()); !ready) {
        context.err << ready.message() << Qt::endl;
        return false;
    }
    return true;
}

bool requireFolder(Context &context, const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    context.err << "Not a folder: " << QDir::toNativeSeparators(folder) << Qt::endl;
    return false;
}

int runInit(Context &context, const QStringList &args)
{
    if (!args.isEmpty()) {
        context.err << "init takes no arguments" << Qt::endl;
        return 2;
    }
    // A packaged program folder may not exist yet on a fresh machine.
    if (!QDir().mkpath(context.places.programDir)) {
        context.err << "Cannot create the program folder "
                    << QDir::toNativeSeparators(context.places.programDir) << Qt::endl;
        return 1;
    }
    if (!prepareDatabase(context))
        return 1;
    const QString staging = context.places.stagingDir();
    if (staging.isEmpty()) {
        context.err << "The Desktop folder cannot be found; set QUENDA_DESKTOP_DIR." << Qt::endl;
        return 1;
    }
    if (!QDir().mkpath(staging)) {
        context.err << "Cannot create the staging folder " << QDir::toNativeSeparators(staging)
                    << Qt::endl;
        return 1;
    }
    context.out << "Database: " << QDir::toNativeSeparators(context.places.databasePath())
                << Qt::endl;
    context.out << "Staging folder: " << QDir::toNativeSeparators(staging) << Qt::endl;
    return 0;
}

int runKeyword(Context &context, const QStringList &args)
{
    if (args.size() != 1) {
        context.err << "keyword takes exactly one word" << Qt::endl;
        return 2;
    }
    if (!prepareDatabase(context))
        return 1;
    Connection connection(context.places.databasePath());
    Status written = connection.status();
    if (written)
        written = writeStartupKeyword(connection.db(), args.first());
    if (!written) {
        context.err << "Cannot write the start-up keyword: " << written.message() << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace quenda::cli
