#include "notes/notes_scan.h"

#include "common/file_search.h"
#include "notes/note_names.h"

#include <QFile>
#include <QFileInfo>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace quenda {

QString scanTableName(ScanTable table)
{
    return table == ScanTable::Documents ? QStringLiteral("Quenda_IpodScan")
                                         : QStringLiteral("Quenda_IpodScanedtxt");
}

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

ScanEntry describeDocument(const QString &fullPath, NoteDateFormatter &dates)
{
    ScanEntry entry{stripfilename(fullPath), fullPath, typeToken(fullPath), QString(), QString()};
#if defined(__linux__) && defined(STATX_BTIME)
    // One statx gives size and birth time; a scan of a large tree pays one call per file.
    struct statx st {};
    const QByteArray native = QFile::encodeName(fullPath);
    if (statx(AT_FDCWD, native.constData(), AT_STATX_SYNC_AS_STAT,
              STATX_SIZE | STATX_BTIME | STATX_MTIME, &st) == 0) {
        entry.size = QString::number(static_cast<qint64>(st.stx_size));
        const auto &when = (st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_mtime;
        entry.date =
            dates.format(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(when.tv_sec)).date());
    }
    return entry;
#else
    const QFileInfo info(fullPath);
    if (info.exists()) {
        entry.size = QString::number(info.size());
        const QDateTime born = info.birthTime();
        entry.date = dates.format(born.isValid() ? born.date() : info.lastModified().date());
    }
    return entry;
#endif
}

ScanRecorder::ScanRecorder(QSqlDatabase &db, ScanTable table, int batchSize)
    : m_db(db), m_table(table), m_insert(db), m_batchSize(batchSize > 0 ? batchSize : 1)
{
    // Both tables share the columns; the converted-notes insert names its table in its own case.
    const QString target = table == ScanTable::Documents ? QStringLiteral("Quenda_IpodScan")
                                                         : QStringLiteral("Quenda_IpodScanedTxt");
    m_prepared =
        m_insert.prepare(QStringLiteral("Insert Into %1(Application,Path,Type,size,[Date]) "
                                        "values(?,?,?,?,?)")
                             .arg(target));
}

ScanRecorder::~ScanRecorder()
{
    flush();
}

void ScanRecorder::begin()
{
    if (!m_inTransaction)
        m_inTransaction = m_db.transaction();
}

bool ScanRecorder::clearTable()
{
    begin();
    QSqlQuery del(m_db);
    return del.exec(QStringLiteral("Delete from %1").arg(scanTableName(m_table)));
}

bool ScanRecorder::record(const ScanEntry &entry)
{
    if (!m_prepared) {
        ++m_failures;
        return false;
    }
    begin();
    m_insert.bindValue(0, entry.application);
    m_insert.bindValue(1, entry.path);
    m_insert.bindValue(2, entry.type);
    m_insert.bindValue(3, entry.size);
    m_insert.bindValue(4, entry.date);
    const bool ok = m_insert.exec();
    if (!ok)
        ++m_failures;
    if (++m_pending >= m_batchSize)
        flush();
    return ok;
}

bool ScanRecorder::flush()
{
    m_pending = 0;
    if (!m_inTransaction)
        return true;
    m_inTransaction = false;
    if (m_db.commit())
        return true;
    m_db.rollback();
    return false;
}

ScanSummary scanIntoTable(QSqlDatabase &db, const QString &folder, const QString &masks,
                          ScanTable table, const ScanProgress &progress)
{
    ScanSummary summary;
    ScanRecorder recorder(db, table);
    recorder.clearTable();

    std::vector<FoundFile> found;
    searchFiles(folder, masks, true, [&](const FoundFile &file) {
        found.push_back(file);
        if (progress.searching)
            progress.searching();
        return true;
    });
    summary.found = static_cast<int>(found.size());
    if (progress.started)
        progress.started(summary.found);

    NoteDateFormatter dates;
    int number = 0;
    for (const FoundFile &file : found) {
        const ScanEntry entry = describeDocument(file.fullPath(), dates);
        recorder.record(entry);
        if (progress.recorded)
            progress.recorded(++number, entry);
    }
    recorder.flush();
    summary.failures = recorder.failures();
    return summary;
}

} // namespace quenda
