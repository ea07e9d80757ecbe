#pragma once
// Access (Jet) databases, .mdb and .accdb, read through the helper quenda-mdb-reader in a child
// process: a damaged file can crash or hang the helper, never the program. The records arrive as
// a stream in batches that the reader asks for one at a time, so a table of any size costs the
// memory of one batch.
//
// A helper that crashes, exits with an error, writes something garbled or stays silent for the
// silence limit (then it is killed) ends reading with "The database file <path> cannot be read",
// followed by the reason when one is known.
//
// The reader runs its helper through QProcess, so it must be used from the thread that opened
// it; a job opens its own reader. The helper never outlives the program: it dies with the
// thread that started it, gives up after five minutes of processor time, and is killed when
// the reader is destroyed or cancelled.

#include "common/result.h"
#include "formats/table_reader.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace quenda {

struct AccessOptions {
    QString helperPath;         // empty: accessHelperPath()
    int silenceLimitMs = 30000; // a helper that writes nothing for this long is stopped
    // Asked every tenth of a second while the helper is awaited: true stops it at once, and
    // reading ends with "reading was cancelled" (a job passes its cancel state here).
    std::function<bool()> cancelled;
};

// The helper: the program QUENDA_MDB_READER names, else quenda-mdb-reader beside the
// executable, else on the PATH.
QString accessHelperPath();

// The tables of the database in its own order, without the engine's system tables and without
// any name whose first four characters are "MSys" (compared with case).
Result<QStringList> accessTables(const QString &path, const AccessOptions &options = {});

class AccessReader final : public TableReader {
public:
    // A file that is not an Access database fails with kErrorWrongFormat before any helper runs.
    static Result<std::unique_ptr<AccessReader>> open(const QString &path, const QString &table,
                                                      const AccessOptions &options = {});
    ~AccessReader() override;

    const std::vector<FieldInfo> &fields() const override;
    bool next(QVariantList &values) override;
    Status status() const override;
    // 1200 for Jet 4 and later (text stored as UTF-16), 1252 for Jet 3.
    int codePage() const override;
    qint64 recordNumber() const override;

    // Kills the helper now; from any thread, as long as the reader lives. The next call of
    // next() then returns false with "reading was cancelled".
    void cancel();

private:
    struct Impl;
    explicit AccessReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace quenda
