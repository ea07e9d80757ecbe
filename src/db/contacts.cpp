#include "db/contacts.h"

#include "db/database.h"

#include <QSqlError>
#include <QSqlRecord>

#include <algorithm>

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
    "H_PIN,H_COUNTRY,B_ADD1,B_ADD2,B_CITY,B_STATE,B_PIN,B_COUNTRY,M_BD,H_EMAIL1,B_EMAIL1,H_WEB");

// NAME compares without case (its collation), ties in id order: the order of the name index.
const QString kNameOrder = QStringLiteral(" order by NAME, ID");

Result<std::vector<QStringList>> boundRows(QSqlDatabase &db, const QString &sql,
                                           const QVariantList &values, int leadingCols)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (Status s = execBound(q, sql, values); !s)
        return s.error();
    return readRows(q, leadingCols);
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

QStringList contactListFields()
{
    return {QStringLiteral("id"),      QStringLiteral("category1"), QStringLiteral("category2"),
            QStringLiteral("name"),    QStringLiteral("first"),     QStringLiteral("last"),
            QStringLiteral("company"), QStringLiteral("priority"),  QStringLiteral("h_web"),
            QStringLiteral("b_web")};
}

Result<std::vector<QStringList>> contactListRows(QSqlDatabase &db, const ContactFilter &filter,
                                                 int leadingCols)
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
    return boundRows(db, sql, values, leadingCols);
}

Result<std::vector<QStringList>> contactRowsByIds(QSqlDatabase &db, QList<qint64> ids,
                                                  int leadingCols)
{
    // One IN list returns rows by id; chunks of sorted ids keep that order.
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<QStringList> rows;
    for (qsizetype start = 0; start < ids.size(); start += kIdsPerQuery) {
        const QList<qint64> chunk = ids.mid(start, kIdsPerQuery);
        QVariantList values;
        for (qint64 id : chunk)
            values << id;
        auto part = boundRows(
            db, kListBase + QStringLiteral(" where id in ( %1)").arg(placeholders(chunk.size())),
            values, leadingCols);
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
    if (Status s = runStatement(m_db, QStringLiteral("BEGIN IMMEDIATE")); !s)
        return s;
    m_open = true;
    QStringList names;
    QStringList values;
    for (const ContactColumnInfo &column : columns) {
        names << quotedName(column.name);
        // The default comes from the table's own schema, so it may stand in the statement.
        values << (column.defaultSql.isEmpty()
                       ? QStringLiteral("?")
                       : QStringLiteral("coalesce(?, (%1))").arg(column.defaultSql));
    }
    m_insert = std::make_unique<QSqlQuery>(m_db);
    if (!m_insert->prepare(QStringLiteral("INSERT INTO cnt_main (%1) VALUES (%2)")
                               .arg(names.join(QLatin1Char(',')), values.join(QLatin1Char(','))))) {
        const Error why = sqlError(*m_insert);
        rollback();
        return why;
    }
    return {};
}

Status ContactImportWriter::add(const QVariantList &values)
{
    if (!m_open || !m_insert)
        return fail(QStringLiteral("The import has no open transaction."));
    for (int i = 0; i < values.size(); ++i)
        m_insert->bindValue(i, values[i]);
    if (!m_insert->exec())
        return sqlError(*m_insert);
    ++m_added;
    return {};
}

Status ContactImportWriter::commit()
{
    if (!m_open)
        return fail(QStringLiteral("The import has no open transaction."));
    if (m_insert)
        m_insert->finish();
    if (Status s = runStatement(m_db, QStringLiteral("COMMIT")); !s) {
        rollback();
        return s;
    }
    m_open = false;
    m_insert.reset();
    return {};
}

void ContactImportWriter::rollback()
{
    m_insert.reset();
    if (!m_open)
        return;
    (void)runStatement(m_db, QStringLiteral("ROLLBACK"));
    m_open = false;
    m_added = 0;
}

} // namespace quenda
