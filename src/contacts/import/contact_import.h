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

#include <functional>
#include <memory>
#include <vector>

namespace quenda {

// Opens the source's reader on the calling thread. "Item Not Selected" when no file (or, for a
// database, no table) has been chosen. cancelled, when given, is asked now and then while an
// Access database is read, so that Cancel ends its helper process.
Result<std::unique_ptr<TableReader>> openImportSource(const ImportSource &source,
                                                      std::function<bool()> cancelled = {});

// The field names of the source, in its order.
Result<QStringList> importSourceFields(const ImportSource &source);

// What the window shows of a chosen source. Listing an Access database's tables takes the first
// one when the source names none; fields may fail on their own after a good listing.
struct SourceShape {
    QStringList tables; // listed only when asked
    ImportSource source;
    Result<QStringList> fields = QStringList();
};
// Fails only when the tables were asked for and could not be listed. Reads files and may run
// the Access helper: call it from a job.
Result<SourceShape> readSourceShape(const ImportSource &source, bool listTables);

struct SourcePreview {
    QStringList fields;
    std::vector<QStringList> rows; // each after leadingCols empty cells
    qint64 total = 0;              // the records of the source, those past the rows given too
    Status counted;                // ok unless a fault ended the count past the rows given
};

// What the preview says under its rows when it shows fewer than the source holds: "showing the
// first 200,000 of 250,000 rows"; "" when it shows them all.
QString previewExtentText(const SourcePreview &preview);

// The first maxRows records as text, read on the calling thread, and the number of all records,
// counted on without keeping them; a cancel stops reading.
Result<SourcePreview> readSourcePreview(const ImportSource &source, qsizetype maxRows,
                                        int leadingCols, JobControl &control);

struct ImportOutcome {
    qint64 added = 0;
    qint64 blankSkipped = 0; // records whose every field was empty or blank
    qint64 duplicates = 0;   // records found to be stored contacts already, added or skipped
};

// What becomes of a record that is a stored contact already: one whose NAME equals the
// contact's (ignoring letter case and surrounding blanks) and that shares a phone number (its
// digits) or an e-mail address (ignoring letter case) with it. Only the contacts stored before
// the import are compared with, not the records it adds.
enum class DuplicatePolicy { Import, Skip };

// Imports every record of reader as a new contact, but for a record whose every field is empty
// or blank, which is skipped and counted. Pairs are applied in order, so a column named twice
// takes the later field. Before anything is written, a field the source does not have and a
// column the contact table does not have are reported by name. Any fault after that (a record
// that cannot be read or stored, a full disk, a cancel) leaves the contacts as they were, and
// the message names the record, and the field when one is to blame. Duplicates of stored
// contacts are counted, and skipped when the policy says so.
Result<ImportOutcome> importContacts(QSqlDatabase &db, TableReader &reader,
                                     const std::vector<ImportPair> &pairs, JobControl &control,
                                     const QLocale &locale = QLocale::system(),
                                     DuplicatePolicy duplicates = DuplicatePolicy::Import);

struct DuplicateScan {
    qint64 count = 0;
    QStringList firstNames; // the names of the first few, in the order of the source
};

// Reads the source through the mapping as an import would and counts the records that are stored
// contacts already, writing nothing: what the window asks about before it imports.
Result<DuplicateScan> scanForDuplicates(QSqlDatabase &db, TableReader &reader,
                                        const std::vector<ImportPair> &pairs, JobControl &control,
                                        int namesKept = 5);
Result<DuplicateScan> runDuplicateScan(const QString &databasePath, const ImportSource &source,
                                       const std::vector<ImportPair> &pairs, JobControl &control);
// The window's question: Yes imports them all the same, No skips them.
QString duplicatesQuestion(const DuplicateScan &scan);

// The job the window and the command line run: the source is opened on this thread and the
// organizer database on a connection of its own. "Fields Not Selected" without a pair.
Result<ImportOutcome> runContactImport(const QString &databasePath, const ImportSource &source,
                                       const std::vector<ImportPair> &pairs, JobControl &control,
                                       DuplicatePolicy duplicates = DuplicatePolicy::Import);

// What a cancelled import says: it keeps nothing.
QString cancelledImportMessage();
// What an import says of the blank records it skipped.
QString blankRecordsMessage(qint64 skipped);
// What an import says of the duplicates it found: imported anyway or skipped.
QString duplicatesMessage(qint64 count, DuplicatePolicy policy);

} // namespace quenda
