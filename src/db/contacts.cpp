#include "db/contacts.h"

#include "db/database.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <algorithm>

#include <sqlite3.h>

namespace quenda {

namespace {

const QString kListBase = QStringLiteral(
    "Select id,category1,category2,name,first,last,company,priority,h_web,b_web from Cnt_Main");

// Well under SQLite's cap on bound values per statement.
constexpr qsizetype kIdsPerQuery = 500;

// The card columns in card::Field order.
const QString kCardColumns = QStringLiteral(
    "ID,NAME,TITLE,FIRST,LAST,Nview,NICK,COMPANY,SPOUSE,W_PH1,W_PH2,W_PH3,H_PH1,H_PH2,H_PH3,"
    "MOBILE,FAX,W_ADD1,W_ADD2,W_CITY,W_STATE,W_PIN,W_COUNTRY,H_ADD1,H_ADD2,H_CITY,H_STATE,"
    "H_PIN,H_COUNTRY,B_ADD1,B_ADD2,B_CITY,B_STATE,B_PIN,B_COUNTRY,M_BD,H_EMAIL1,B_EMAIL1,H_WEB,"
    "JOB_TITLE,H_EMAIL2,B_EMAIL2,B_WEB");

// NAME compares without case (its collation), ties in id order: the order of the name index.
const QString kNameOrder = QStringLiteral(" order by NAME, ID");

Result<std::vector<ContactListRow>> listRows(QSqlDatabase &db, const QString &sql,
                                             const QVariantList &values)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (Status s = execBound(q, sql, values); !s)
        return s.error();
    std::vector<ContactListRow> rows;
    while (q.next()) {
        rows.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                        q.value(3).toString(), q.value(4).toString(), q.value(5).toString(),
                        q.value(6).toString(), q.value(7).toString(), q.value(8).toString(),
                        q.value(9).toString()});
    }
    if (q.lastError().isValid())
        return sqlError(q);
    return rows;
}

Result<QStringList> firstColumn(QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (Status s = execBound(q, sql, values); !s)
        return s.error();
    QStringList out;
    while (q.next())
        if (!q.value(0).isNull())
            out.append(q.value(0).toString());
    return out;
}

void readCardRow(const QSqlQuery &q, CardRow &row)
{
    for (int c = 0; c < card::FieldCount; ++c)
        row.field[c] = q.value(c).toString();
    row.nameIsNull = q.isNull(card::NAME);
}

QString placeholders(qsizetype count)
{
    QString marks;
    marks.reserve(count * 2);
    for (qsizetype i = 0; i < count; ++i)
        marks += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return marks;
}

} // namespace

Result<std::vector<ContactListRow>> contactListRows(QSqlDatabase &db, const ContactFilter &filter)
{
    const QString all = QStringLiteral("All");
    QStringList conditions;
    QVariantList values;
    if (filter.category != all) {
        conditions << QStringLiteral("category1 =?");
        values << filter.category;
    }
    if (filter.subCategory != all) {
        conditions << QStringLiteral("category2=?");
        values << filter.subCategory;
    }
    if (filter.priority != all) {
        conditions << QStringLiteral("priority=?");
        values << filter.priority;
    }
    QString sql = kListBase;
    if (!conditions.isEmpty())
        sql += QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
    return listRows(db, sql, values);
}

Result<std::vector<ContactListRow>> contactRowsByIds(QSqlDatabase &db, QList<qint64> ids)
{
    // One IN list returns rows by id; chunks of sorted ids keep that order.
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<ContactListRow> rows;
    for (qsizetype start = 0; start < ids.size(); start += kIdsPerQuery) {
        const QList<qint64> chunk = ids.mid(start, kIdsPerQuery);
        QVariantList values;
        for (qint64 id : chunk)
            values << id;
        auto part = listRows(
            db, kListBase + QStringLiteral(" where id in ( %1)").arg(placeholders(chunk.size())),
            values);
        if (!part)
            return part.error();
        std::move(part->begin(), part->end(), std::back_inserter(rows));
    }
    return rows;
}

Result<QStringList> contactCategories(QSqlDatabase &db)
{
    return firstColumn(db,
                       QStringLiteral("Select Distinct category1 from cnt_main where category1 "
                                      "is not null and category1 <>''"),
                       {});
}

Result<QStringList> contactSubCategories(QSqlDatabase &db, const QString &category)
{
    return firstColumn(db,
                       QStringLiteral("Select distinct category2 from cnt_main where category1=?"),
                       {category});
}

Result<QStringList> contactNames(QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("Select Name from cnt_main") + kNameOrder))
        return sqlError(q);
    QStringList names;
    while (q.next())
        names.append(q.value(0).toString());
    return names;
}

const QStringList &contactPhoneColumns()
{
    static const QStringList columns = {
        QStringLiteral("MOBILE"), QStringLiteral("H_PH1"), QStringLiteral("H_PH2"),
        QStringLiteral("H_PH3"),  QStringLiteral("W_PH1"), QStringLiteral("W_PH2"),
        QStringLiteral("W_PH3"),  QStringLiteral("B_PH1"), QStringLiteral("B_PH2"),
        QStringLiteral("B_PH3"),  QStringLiteral("FAX")};
    return columns;
}

const QStringList &contactEmailColumns()
{
    static const QStringList columns = {QStringLiteral("H_EMAIL1"), QStringLiteral("H_EMAIL2"),
                                        QStringLiteral("B_EMAIL1"), QStringLiteral("B_EMAIL2")};
    return columns;
}

Status readContactReach(QSqlDatabase &db,
                        const std::function<void(const QString &name, const QStringList &phones,
                                                 const QStringList &emails)> &sink)
{
    const QStringList &phones = contactPhoneColumns();
    const QStringList &emails = contactEmailColumns();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("Select NAME,%1,%2 from cnt_main where trim(NAME) <> ''")
                    .arg(phones.join(QLatin1Char(',')), emails.join(QLatin1Char(',')))))
        return sqlError(q);
    QStringList phoneValues, emailValues;
    while (q.next()) {
        phoneValues.clear();
        emailValues.clear();
        for (qsizetype i = 0; i < phones.size(); ++i)
            phoneValues << q.value(int(1 + i)).toString();
        for (qsizetype i = 0; i < emails.size(); ++i)
            emailValues << q.value(int(1 + phones.size() + i)).toString();
        sink(q.value(0).toString(), phoneValues, emailValues);
    }
    if (q.lastError().isValid())
        return sqlError(q);
    return {};
}

ContactCardReader::ContactCardReader(QSqlDatabase &db) : m_db(db) {}

ContactCardReader::~ContactCardReader() = default;

QSqlQuery *ContactCardReader::prepared(const QString &key, const QString &sql, Status &status)
{
    auto found = m_queries.find(key);
    if (found != m_queries.end())
        return found->second.get();
    auto query = std::make_unique<QSqlQuery>(m_db);
    query->setForwardOnly(true);
    if (!query->prepare(sql)) {
        status = sqlError(*query);
        return nullptr;
    }
    return m_queries.emplace(key, std::move(query)).first->second.get();
}

Status ContactCardReader::readByIds(const QList<qint64> &ids,
                                    const std::function<void(const CardRow &)> &sink)
{
    CardRow row;
    for (qsizetype start = 0; start < ids.size(); start += kIdsPerQuery) {
        const QList<qint64> chunk = ids.mid(start, kIdsPerQuery);
        Status status;
        QSqlQuery *q = prepared(QStringLiteral("ids%1").arg(chunk.size()),
                                QStringLiteral("Select %1 from cnt_main where id in ( %2)")
                                    .arg(kCardColumns, placeholders(chunk.size())),
                                status);
        if (!q)
            return status;
        for (int i = 0; i < chunk.size(); ++i)
            q->bindValue(i, chunk[i]);
        if (!q->exec())
            return sqlError(*q);
        while (q->next()) {
            readCardRow(*q, row);
            sink(row);
        }
        if (q->lastError().isValid())
            return sqlError(*q);
        q->finish();
    }
    return {};
}

Result<bool> ContactCardReader::readFirstNamed(const QString &name, CardRow &row)
{
    // NAME compares without case, so the binary test keeps "Ann" and "ANN" (two files on
    // this file system) apart while the index still serves the lookup.
    Status status;
    QSqlQuery *q = prepared(QStringLiteral("name"),
                            QStringLiteral("Select %1 from cnt_main where NAME = ? and NAME = ? "
                                           "COLLATE BINARY order by ID limit 1")
                                .arg(kCardColumns),
                            status);
    if (!q)
        return status.error();
    // A name read from a null column is empty text here: it finds the contacts named "".
    const QString exact = name.isNull() ? QStringLiteral("") : name;
    q->bindValue(0, exact);
    q->bindValue(1, exact);
    if (!q->exec())
        return sqlError(*q);
    const bool found = q->next();
    if (found)
        readCardRow(*q, row);
    q->finish();
    return found;
}

Status ContactCardReader::readAllInNameOrder(const std::function<bool(const CardRow &)> &sink)
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("Select %1 from cnt_main").arg(kCardColumns) + kNameOrder))
        return sqlError(q);
    CardRow row;
    while (q.next()) {
        readCardRow(q, row);
        if (!sink(row))
            return {};
    }
    if (q.lastError().isValid())
        return sqlError(q);
    return {};
}

} // namespace quenda

// ---- The contact import.
namespace quenda {

namespace {

Status runStatement(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        return sqlError(q);
    return {};
}

// The connection's own SQLite handle; null for any other driver.
sqlite3 *sqliteHandle(QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

Error handleError(sqlite3 *handle)
{
    return fail(QString::fromUtf8(sqlite3_errmsg(handle)));
}

QString quotedName(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// "TEXT(255) COLLATE NOCASE" -> "TEXT(255)": PRAGMA table_info gives the type as declared.
QString typeWithoutClauses(const QString &declared)
{
    QString type = declared.trimmed();
    const qsizetype collate = type.indexOf(QLatin1String(" COLLATE"), 0, Qt::CaseInsensitive);
    if (collate >= 0)
        type.truncate(collate);
    return type.trimmed();
}

// The faults that lie in a row's values; any other fault (a full disk, an I/O error, a lock)
// is the database's, and no row is to blame for it.
bool refusesTheRow(int rc)
{
    const int primary = rc & 0xff;
    return primary == SQLITE_CONSTRAINT || primary == SQLITE_MISMATCH || primary == SQLITE_TOOBIG;
}

// Rows an import adds before its indexes may be set aside: a small import keeps them as they are.
constexpr qint64 kRowsBeforeIndexesAside = 4096;

// The first column of the first row of a statement without parameters; 0 when it gives none.
qint64 firstInteger(sqlite3 *handle, const char *sql, int *rc)
{
    sqlite3_stmt *statement = nullptr;
    *rc = sqlite3_prepare_v2(handle, sql, -1, &statement, nullptr);
    qint64 value = 0;
    if (*rc == SQLITE_OK) {
        *rc = sqlite3_step(statement);
        if (*rc == SQLITE_ROW)
            value = sqlite3_column_int64(statement, 0);
        if (*rc == SQLITE_ROW || *rc == SQLITE_DONE)
            *rc = SQLITE_OK;
    }
    sqlite3_finalize(statement);
    return value;
}

} // namespace

Result<std::vector<ContactColumnInfo>> contactColumnTypes(QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("PRAGMA table_info(cnt_main)")))
        return sqlError(q);
    std::vector<ContactColumnInfo> columns;
    while (q.next())
        columns.push_back({q.value(1).toString(), typeWithoutClauses(q.value(2).toString()),
                           q.value(4).toString()});
    if (columns.empty())
        return fail(QStringLiteral("The organizer database has no contact table cnt_main."));
    return columns;
}

Result<QStringList> contactFieldNames(QSqlDatabase &db, const QString &selectList)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select ") + selectList +
                QStringLiteral(" from cnt_main  where id=0")))
        return sqlError(q);
    QStringList names;
    const QSqlRecord record = q.record();
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

Result<std::vector<QStringList>> contactPreviewRows(QSqlDatabase &db, const QString &selectList,
                                                    int leadingCols, qsizetype maxRows,
                                                    QStringList &fieldNames)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(" select ") + selectList + QStringLiteral(" from cnt_main ")))
        return sqlError(q);
    const QSqlRecord record = q.record();
    fieldNames.clear();
    for (int i = 0; i < record.count(); ++i)
        fieldNames << record.fieldName(i);
    std::vector<QStringList> rows;
    while (static_cast<qsizetype>(rows.size()) < maxRows && q.next()) {
        QStringList cells;
        cells.reserve(leadingCols + record.count());
        for (int c = 0; c < leadingCols; ++c)
            cells.append(QString());
        for (int f = 0; f < record.count(); ++f)
            cells.append(q.value(f).toString());
        rows.push_back(std::move(cells));
    }
    if (q.lastError().isValid())
        return sqlError(q);
    return rows;
}

ContactImportWriter::ContactImportWriter(QSqlDatabase &db) : m_db(db) {}

ContactImportWriter::~ContactImportWriter()
{
    rollback();
}

Status ContactImportWriter::begin(const std::vector<ContactColumnInfo> &columns)
{
    if (columns.empty())
        return fail(QStringLiteral("No contact column was given to import into."));
    m_handle = sqliteHandle(m_db);
    if (!m_handle)
        return fail(QStringLiteral("The organizer database is not an SQLite database."));
    if (Status s = runStatement(m_db, QStringLiteral("BEGIN IMMEDIATE")); !s)
        return s;
    m_open = true;
    m_added = 0;
    m_failedRow = 0;
    m_indexesAside = false;
    m_indexSql.clear();
    int rc = SQLITE_OK;
    m_rowsBefore = firstInteger(m_handle, "SELECT max(rowid) FROM cnt_main", &rc);
    if (rc != SQLITE_OK) {
        const Error why = handleError(m_handle);
        rollback();
        return why;
    }
    QStringList names;
    QStringList values;
    for (const ContactColumnInfo &column : columns) {
        names << quotedName(column.name);
        // The default comes from the table's own schema, so it may stand in the statement.
        values << (column.defaultSql.isEmpty()
                       ? QStringLiteral("?")
                       : QStringLiteral("coalesce(?, (%1))").arg(column.defaultSql));
    }
    m_columns = static_cast<int>(columns.size());
    // 999 is the smallest limit of bound values an SQLite library may have been built with.
    m_batchRows = std::clamp(999 / m_columns, 1, 64);
    const QString head =
        QStringLiteral("INSERT INTO cnt_main (%1) VALUES ").arg(names.join(QLatin1Char(',')));
    const QString row = QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')');
    QStringList rows;
    for (int r = 0; r < m_batchRows; ++r)
        rows << row;
    const QByteArray one = (head + row).toUtf8();
    const QByteArray many = (head + rows.join(QLatin1Char(','))).toUtf8();
    if (sqlite3_prepare_v2(m_handle, one.constData(), static_cast<int>(one.size()), &m_insert,
                           nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(m_handle, many.constData(), static_cast<int>(many.size()), &m_batch,
                           nullptr) != SQLITE_OK) {
        const Error why = handleError(m_handle);
        rollback();
        return why;
    }
    m_values.assign(static_cast<size_t>(m_columns * m_batchRows), Value());
    m_bytes.clear();
    m_rows = 0;
    return {};
}

void ContactImportWriter::setNull(int column)
{
    slot(column).kind = Kind::Null;
}

void ContactImportWriter::setInteger(int column, qint64 value)
{
    Value &v = slot(column);
    v.kind = Kind::Integer;
    v.integer = value;
}

void ContactImportWriter::setReal(int column, double value)
{
    Value &v = slot(column);
    v.kind = Kind::Real;
    v.real = value;
}

void ContactImportWriter::setText(int column, QByteArrayView utf8)
{
    Value &v = slot(column);
    v.kind = Kind::Text;
    v.integer = static_cast<qint64>(m_bytes.size());
    v.size = static_cast<int>(utf8.size());
    if (!utf8.isEmpty())
        m_bytes.append(utf8.data(), static_cast<size_t>(utf8.size()));
}

void ContactImportWriter::setValue(int column, const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return setNull(column);
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
        return setInteger(column, value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return setReal(column, value.toDouble());
    default: {
        const QString text = value.toString();
        if (text.isNull())
            return setNull(column);
        return setText(column, text.toUtf8());
    }
    }
}

// Text is bound where the writer holds it: m_bytes does not change until the statement has run.
int ContactImportWriter::bindRow(sqlite3_stmt *statement, int firstPosition, int row)
{
    const Value *values = &m_values[static_cast<size_t>(row * m_columns)];
    int rc = SQLITE_OK;
    for (int i = 0; i < m_columns && rc == SQLITE_OK; ++i) {
        const Value &v = values[i];
        const int position = firstPosition + i;
        switch (v.kind) {
        case Kind::Null:
            rc = sqlite3_bind_null(statement, position);
            break;
        case Kind::Integer:
            rc = sqlite3_bind_int64(statement, position, v.integer);
            break;
        case Kind::Real:
            rc = sqlite3_bind_double(statement, position, v.real);
            break;
        case Kind::Text:
            rc = sqlite3_bind_text(statement, position, m_bytes.data() + v.integer, v.size,
                                   SQLITE_STATIC);
            break;
        }
    }
    return rc;
}

int ContactImportWriter::insertOne(int row)
{
    int rc = bindRow(m_insert, 1, row);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(m_insert);
    sqlite3_reset(m_insert);
    return rc;
}

void ContactImportWriter::clearPending()
{
    m_rows = 0;
    m_bytes.clear();
}

// SQLite ends the whole transaction by itself on some faults (a full disk, a trigger's
// RAISE(ROLLBACK)); the import must then stop, never go on storing rows outside of it.
Status ContactImportWriter::transactionLost(const Error &why)
{
    finishStatements();
    clearPending();
    m_indexSql.clear();
    m_open = false;
    m_added = 0;
    return why;
}

Status ContactImportWriter::flush()
{
    if (m_rows == 0)
        return {};
    if (sqlite3_get_autocommit(m_handle))
        return transactionLost(fail(QStringLiteral("the database ended the import's transaction")));
    int rc = SQLITE_OK;
    if (m_rows == m_batchRows) {
        for (int r = 0; r < m_batchRows && rc == SQLITE_OK; ++r)
            rc = bindRow(m_batch, r * m_columns + 1, r);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(m_batch);
        sqlite3_reset(m_batch);
        if (rc == SQLITE_DONE) {
            m_added += m_batchRows;
            clearPending();
            if (!m_indexesAside && m_added >= std::max(kRowsBeforeIndexesAside, m_rowsBefore))
                return setIndexesAside();
            return {};
        }
        const Error why = handleError(m_handle);
        if (sqlite3_get_autocommit(m_handle))
            return transactionLost(why);
        if (!refusesTheRow(rc)) {
            clearPending();
            return why;
        }
    }
    // A refused statement takes back only its own rows: storing them one by one finds the row
    // to blame, and the import is rolled back after all.
    const int rows = m_rows;
    for (int r = 0; r < rows; ++r) {
        rc = insertOne(r);
        if (rc != SQLITE_DONE) {
            const Error why = handleError(m_handle);
            if (sqlite3_get_autocommit(m_handle))
                return transactionLost(why);
            if (refusesTheRow(rc))
                m_failedRow = m_added + 1;
            clearPending();
            return why;
        }
        ++m_added;
    }
    clearPending();
    return {};
}

// The plain indexes go while the rows come; the rows added so far leave with them and come back
// when they are built again. A unique index stays, so that a row it refuses is named as such.
Status ContactImportWriter::setIndexesAside()
{
    m_indexesAside = true;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT i.name, m.sql FROM pragma_index_list('cnt_main') i "
                               "JOIN sqlite_master m ON m.type = 'index' AND m.name = i.name "
                               "WHERE i.\"unique\" = 0 AND i.origin = 'c' AND m.sql IS NOT NULL")))
        return sqlError(q);
    QStringList names;
    while (q.next()) {
        names << q.value(0).toString();
        m_indexSql << q.value(1).toString();
    }
    if (q.lastError().isValid())
        return sqlError(q);
    q.finish();
    for (const QString &name : std::as_const(names))
        if (Status s = runStatement(m_db, QStringLiteral("DROP INDEX %1").arg(quotedName(name)));
            !s)
            return s;
    return {};
}

Status ContactImportWriter::rebuildIndexes()
{
    for (const QString &sql : std::as_const(m_indexSql))
        if (Status s = runStatement(m_db, sql); !s)
            return s;
    m_indexSql.clear();
    return {};
}

Status ContactImportWriter::addRow()
{
    if (!m_open || !m_insert)
        return fail(QStringLiteral("The import has no open transaction."));
    if (++m_rows < m_batchRows) {
        // The next row starts with every column null.
        std::fill_n(m_values.begin() + m_rows * m_columns, m_columns, Value());
        return {};
    }
    Status s = flush();
    std::fill_n(m_values.begin(), m_columns, Value());
    return s;
}

Status ContactImportWriter::commit()
{
    if (!m_open)
        return fail(QStringLiteral("The import has no open transaction."));
    if (Status s = flush(); !s) {
        rollback();
        return s;
    }
    finishStatements();
    if (Status s = rebuildIndexes(); !s) {
        rollback();
        return s;
    }
    if (Status s = runStatement(m_db, QStringLiteral("COMMIT")); !s) {
        rollback();
        return s;
    }
    m_open = false;
    return {};
}

void ContactImportWriter::rollback()
{
    finishStatements();
    clearPending();
    m_indexSql.clear(); // the rollback brings them back
    if (m_open) {
        (void)runStatement(m_db, QStringLiteral("ROLLBACK"));
        m_open = false;
        m_added = 0;
    }
}

void ContactImportWriter::finishStatements()
{
    for (sqlite3_stmt **statement : {&m_insert, &m_batch}) {
        if (*statement)
            sqlite3_finalize(*statement);
        *statement = nullptr;
    }
}

} // namespace quenda
