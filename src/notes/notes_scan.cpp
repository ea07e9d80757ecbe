#include "notes/notes_scan.h"

#include "common/note_names.h"
#include "common/paths.h"
#include "db/database.h"
#include "fs/file_search.h"
#include "fs/native_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace quenda {

QString documentCountText(int count)
{
    return QStringLiteral("There are %1 RTF & TXT Files").arg(count);
}

QString NoteDateFormatter::format(QDate date)
{
    if (!date.isValid())
        return QString();
    const qint64 day = date.toJulianDay();
    auto it = m_cache.constFind(day);
    if (it != m_cache.constEnd())
        return *it;
    const QString text = m_locale.toString(date, QStringLiteral("MMM-dd-yyyy"));
    m_cache.insert(day, text);
    return text;
}

ScanRow describeDocument(const QString &fullPath, NoteDateFormatter &dates)
{
    // A name read from the file system keeps every "\" it holds.
    ScanRow row{localFileName(fullPath), fullPath, typeToken(fullPath), QString(), QString()};
#if defined(__linux__) && defined(STATX_BTIME)
    // One statx gives size and birth time; a scan of a large tree pays one call per file.
    struct statx st {};
    const QByteArray native = toNativePath(fullPath);
    if (statx(AT_FDCWD, native.constData(), AT_STATX_SYNC_AS_STAT,
              STATX_SIZE | STATX_BTIME | STATX_MTIME, &st) == 0) {
        row.size = QString::number(static_cast<qint64>(st.stx_size));
        const auto &when = (st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_mtime;
        row.date =
            dates.format(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(when.tv_sec)).date());
    }
    return row;
#else
    const QFileInfo info(fullPath);
    if (info.exists()) {
        row.size = QString::number(info.size());
        const QDateTime born = info.birthTime();
        row.date = dates.format(born.isValid() ? born.date() : info.lastModified().date());
    }
    return row;
#endif
}

NoteListRow scanListRow(const ScanRow &row)
{
    if (scanTokenHits(row.path) == 0)
        return {};
    return {row.application, row.path, row.size, row.date};
}

std::vector<NoteListRow> storedListRows(const std::vector<ScanRow> &rows)
{
    std::vector<NoteListRow> list;
    list.reserve(rows.size());
    for (const ScanRow &row : rows)
        list.push_back({row.application, row.path, row.type, QString()});
    return list;
}

ScanOutcome scanIntoTable(QSqlDatabase &db, const QString &folder, const QString &masks,
                          ScanTable table, JobControl &control)
{
    ScanOutcome outcome;
    ScanTableWriter writer(db, table, control);
    if (Status ready = writer.status(); !ready) {
        control.abort(ready.message());
        return outcome;
    }
    if (Status cleared = writer.clear(); !cleared) {
        control.abort(QStringLiteral("The table %1 cannot be emptied: %2")
                          .arg(scanTableName(table), cleared.message()));
        return outcome;
    }

    std::vector<FoundFile> found;
    if (!folder.isEmpty()) {
        // Unreadable folders reach control as failures; the search goes on past them.
        searchFiles(folder, masks, true, control, [&](const FoundFile &file) {
            found.push_back(file);
            control.setDone(static_cast<qint64>(found.size()));
            control.setItem(file.folder);
            return !control.isCancelled();
        });
    }
    outcome.found = static_cast<int>(found.size());

    control.setDone(0);
    control.setTotal(outcome.found);
    outcome.rows.reserve(found.size());
    NoteDateFormatter dates;
    for (const FoundFile &file : found) {
        if (control.isCancelled())
            break;
        const QString path = file.fullPath();
        control.setItem(path);
        const ScanRow row = describeDocument(path, dates);
        // The row stays in the list even when the database refuses it; the failure says so.
        writer.add(row);
        outcome.rows.push_back(scanListRow(row));
        control.advance();
    }
    // A failed commit also names each row it held; the list as a whole is then out of date.
    if (Status recorded = writer.finish(); !recorded)
        control.abort(QStringLiteral("The table %1 could not be updated: %2")
                          .arg(scanTableName(table), recorded.message()));
    return outcome;
}

ScanOutcome runDocumentScan(const QString &databasePath, const QString &folder, JobControl &control)
{
    Connection connection(databasePath);
    if (Status open = connection.status(); !open) {
        control.abort(open.message());
        return {};
    }
    return scanIntoTable(connection.db(), QDir::fromNativeSeparators(folder),
                         QString::fromLatin1(kDocumentMasks), ScanTable::Documents, control);
}

} // namespace quenda
