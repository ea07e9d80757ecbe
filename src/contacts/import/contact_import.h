#pragma once
// The import run: every record of the source becomes a new contact, through the pairs of the
// mapping, in one transaction: an import lands whole or not at all. Also what the window shows
// of a source: its tables, its fields and its first records.

#include "common/result.h"
#include "contacts/import/field_mapping.h"
#include "contacts/import/import_source.h"
#include "formats/table_reader.h"
#include "jobs/job_control.h"

#include <QLocale>
#include <QSqlDatabase>
#include <QStringList>

#include <memory>
#include <vector>

namespace quenda {

// Opens the source's reader on the calling thread. "Item Not Selected" when no file (or, for a
// database, no table) has been chosen.
Result<std::unique_ptr<TableReader>> openImportSource(const ImportSource &source);

// The field names of the source, in its order.
Result<QStringList> importSourceFields(const ImportSource &source);

struct SourcePreview {
    QStringList fields;
    std::vector<QStringList> rows; // each after leadingCols empty cells
    bool complete = true;          // false when the source holds more than the rows given
};

// The first maxRows records as text, read on the calling thread; a cancel stops reading.
Result<SourcePreview> readSourcePreview(const ImportSource &source, qsizetype maxRows,
                                        int leadingCols, JobControl &control);

// Imports every record of reader as a new contact. Pairs are applied in order, so a column
// named twice takes the later field. Before anything is written, a field the source does not
// have and a column the contact table does not have are reported by name. Any fault after that
// (a record that cannot be read or stored, a cancel) rolls the whole import back, and the
// message names the record, and the field when one is to blame. Returns the contacts added.
Result<qint64> importContacts(QSqlDatabase &db, TableReader &reader,
                              const std::vector<ImportPair> &pairs, JobControl &control,
                              const QLocale &locale = QLocale::system());

// The job the window and the command line run: the source is opened on this thread and the
// organizer database on a connection of its own. "Fields Not Selected" without a pair.
Result<qint64> runContactImport(const QString &databasePath, const ImportSource &source,
                                const std::vector<ImportPair> &pairs, JobControl &control);

} // namespace quenda
