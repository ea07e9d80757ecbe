#include "filecopier/office_scan.h"

#include "common/note_names.h"
#include "db/database.h"
#include "db/scans.h"
#include "filecopier/scan_dates.h"
#include "fs/native_path.h"
#include "fs/tree_scan.h"

#include <QDir>

namespace quenda {

namespace {

class OfficeRecorder {
public:
    OfficeRecorder(OfficeFileWriter &writer, const QLocale &locale, OfficeScanOutcome &outcome)
        : m_writer(writer), m_dates(locale), m_outcome(outcome)
    {
    }

    bool record(const ScanEntry &entry)
    {
        EntryMeta meta = entry.meta;
        if (meta.kind == EntryKind::Link) {
            // A link to a file counts as that file, as in every search of the program.
            const Result<EntryMeta> target = statEntry(entry.path(), true);
            if (!target || target->kind != EntryKind::File)
                return true;
            meta = *target;
        } else if (meta.kind != EntryKind::File) {
            return true;
        }
        // The entries of one folder share its path: decode it once per folder.
        if (m_folder.isNull() || entry.nativeFolder != QByteArrayView(m_nativeFolder)) {
            m_nativeFolder = entry.nativeFolder.toByteArray();
            m_folder = fromNativePath(m_nativeFolder);
            if (!m_folder.endsWith(QLatin1Char('/')))
                m_folder += QLatin1Char('/');
        }
        const QString name = entry.name();
        const QString path = m_folder + name;
        const FileTime &created = meta.birth.valid ? meta.birth : meta.modified;
        ++m_outcome.found;
        // A refused row is reported by the writer; the scan goes on.
        // The token comes from the name: a "." in a folder's name is no extension.
        (void)m_writer.add(OfficeFileRow{name, path, typeToken(name), QString::number(meta.size),
                                         m_dates.format(created.toDateTime().date())});
        return true;
    }

private:
    OfficeFileWriter &m_writer;
    ScanDateFormatter m_dates;
    OfficeScanOutcome &m_outcome;
    QByteArray m_nativeFolder;
    QString m_folder;
};

} // namespace

OfficeScanOutcome scanOfficeFiles(QSqlDatabase &db, const QStringList &folders, bool clearFirst,
                                  JobControl &control, const QLocale &locale, bool otherMounts)
{
    OfficeScanOutcome outcome;
    OfficeFileWriter writer(db, control);
    if (Status ready = writer.status(); !ready) {
        control.abort(ready.message());
        return outcome;
    }
    if (clearFirst) {
        if (Status cleared = writer.clear(); !cleared) {
            control.abort(QStringLiteral("The list of office files cannot be emptied: %1")
                              .arg(cleared.message()));
            return outcome;
        }
    }

    ScanOptions options;
    options.masks = NameMasks::fromText(QString::fromLatin1(kOfficeMasks));
    options.order = ScanOrder::ByName;
    options.metadata = true;
    options.otherMounts = otherMounts;
    OfficeRecorder recorder(writer, locale, outcome);
    for (const QString &folder : folders) {
        if (control.isCancelled())
            break;
        if (folder.trimmed().isEmpty())
            continue;
        outcome.lastFolder = folder;
        const Result<ScanSummary> walked =
            scanTree(QDir::fromNativeSeparators(folder), options, control,
                     [&](const ScanEntry &entry) { return recorder.record(entry); });
        if (!walked)
            control.fail(folder, systemErrorText(walked.code()));
    }
    // A failed commit reports each row it held; the earlier commits stand.
    (void)writer.finish();
    outcome.recorded = writer.committed();
    return outcome;
}

OfficeScanOutcome runOfficeScan(const QString &databasePath, const QStringList &folders,
                                bool clearFirst, JobControl &control, bool otherMounts)
{
    Connection connection(databasePath);
    if (Status open = connection.status(); !open) {
        control.abort(open.message());
        return {};
    }
    return scanOfficeFiles(connection.db(), folders, clearFirst, control, QLocale(), otherMounts);
}

} // namespace quenda
