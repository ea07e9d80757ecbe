#pragma once
// Bulk inserts through one prepared statement, committed every few thousand rows: ten thousand
// rows cost milliseconds, the write lock is held only briefly, and a job that stops keeps what
// it committed. A row the database refuses, and every row of a batch whose commit fails, is
// reported to the JobControl by its label (a path, a name) with the database's reason.

#include "common/result.h"
#include "jobs/job_control.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

namespace quenda {

class BatchedWriter {
public:
    static constexpr int kRowsPerBatch = 5000;

    BatchedWriter(QSqlDatabase &db, const QString &sql, JobControl &control,
                  int rowsPerBatch = kRowsPerBatch);
    // Rows added after the last finish() are rolled back: only finish() commits.
    ~BatchedWriter();
    BatchedWriter(const BatchedWriter &) = delete;
    BatchedWriter &operator=(const BatchedWriter &) = delete;

    // Fails when the statement could not be prepared; every add() then fails too.
    Status status() const { return m_status; }

    // Runs a statement inside the current batch, such as the delete that empties a table
    // before it is filled again, so that both land in one commit.
    Status execInBatch(const QString &sql);
    // values are bound in order; false when the row was refused (it is reported).
    bool add(const QVariantList &values, const QString &label);
    // Commits what is pending. A failed commit reports each row of the batch and is returned.
    Status finish();

    qint64 committed() const { return m_committed; }
    qint64 lost() const { return m_lost; }

private:
    bool begin();
    Status commitBatch();

    QSqlDatabase &m_db;
    JobControl &m_control;
    QSqlQuery m_insert;
    Status m_status;
    int m_rowsPerBatch;
    bool m_inTransaction = false;
    QStringList m_pending; // labels of the rows waiting for the commit
    qint64 m_committed = 0;
    qint64 m_lost = 0;
};

} // namespace quenda
