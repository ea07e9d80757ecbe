#include "db/batched_writer.h"

#include "db/database.h"

namespace quenda {

BatchedWriter::BatchedWriter(QSqlDatabase &db, const QString &sql, JobControl &control,
                             int rowsPerBatch)
    : m_db(db), m_control(control), m_insert(db),
      m_rowsPerBatch(rowsPerBatch > 0 ? rowsPerBatch : 1)
{
    if (!m_insert.prepare(sql))
        m_status = sqlError(m_insert);
}

BatchedWriter::~BatchedWriter()
{
    if (m_inTransaction)
        m_db.rollback();
}

bool BatchedWriter::begin()
{
    if (!m_inTransaction)
        m_inTransaction = m_db.transaction();
    return m_inTransaction;
}

Status BatchedWriter::execInBatch(const QString &sql)
{
    if (!begin())
        return sqlError(m_db);
    QSqlQuery q(m_db);
    if (!q.exec(sql))
        return sqlError(q);
    return {};
}

bool BatchedWriter::add(const QVariantList &values, const QString &label)
{
    if (!m_status) {
        m_control.fail(label, m_status.message());
        ++m_lost;
        return false;
    }
    if (!begin()) {
        m_control.fail(label, sqlError(m_db).message);
        ++m_lost;
        return false;
    }
    for (int i = 0; i < values.size(); ++i)
        m_insert.bindValue(i, values[i]);
    if (!m_insert.exec()) {
        m_control.fail(label, sqlError(m_insert).message);
        ++m_lost;
        return false;
    }
    m_pending.append(label);
    if (m_pending.size() >= m_rowsPerBatch)
        (void)commitBatch(); // a failure is reported row by row; the next batch starts anew
    return true;
}

Status BatchedWriter::finish()
{
    return commitBatch();
}

Status BatchedWriter::commitBatch()
{
    if (!m_inTransaction)
        return {};
    m_inTransaction = false;
    if (m_db.commit()) {
        m_committed += m_pending.size();
        m_pending.clear();
        return {};
    }
    const Error why = sqlError(m_db);
    m_db.rollback();
    const QString reason =
        QStringLiteral("not recorded, the database refused to save it: %1").arg(why.message);
    for (const QString &label : std::as_const(m_pending))
        m_control.fail(label, reason);
    m_lost += m_pending.size();
    m_pending.clear();
    return why;
}

} // namespace quenda
