#include "contacts/export/contact_list.h"

#include "db/database.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace quenda {

namespace {

const QString kBase = QStringLiteral(
    "Select id,category1,category2,name,first,last,company,priority,h_web,b_web from Cnt_Main");

// Well under SQLite's cap on bound values per statement.
constexpr qsizetype kIdsPerQuery = 500;

bool appendRows(QSqlQuery &q, int leadingCols, std::vector<QStringList> &rows)
{
    q.setForwardOnly(true);
    if (!q.exec())
        return false;
    appendQueryRows(q, leadingCols, rows);
    return true;
}

QStringList firstColumn(QSqlQuery &q)
{
    QStringList out;
    while (q.next())
        if (!q.value(0).isNull())
            out.append(q.value(0).toString());
    return out;
}

} // namespace

QStringList contactListFields()
{
    return {QStringLiteral("id"),      QStringLiteral("category1"), QStringLiteral("category2"),
            QStringLiteral("name"),    QStringLiteral("first"),     QStringLiteral("last"),
            QStringLiteral("company"), QStringLiteral("priority"),  QStringLiteral("h_web"),
            QStringLiteral("b_web")};
}

BoundQuery contactListQuery(const ContactFilter &filter)
{
    const QString all = QStringLiteral("All");
    QStringList conditions;
    BoundQuery out;
    if (filter.category != all) {
        conditions << QStringLiteral("category1 =?");
        out.values << filter.category;
    }
    if (filter.subCategory != all) {
        conditions << QStringLiteral("category2=?");
        out.values << filter.subCategory;
    }
    if (filter.priority != all) {
        conditions << QStringLiteral("priority=?");
        out.values << filter.priority;
    }
    out.sql = kBase;
    if (!conditions.isEmpty())
        out.sql += QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
    return out;
}

std::optional<std::vector<QStringList>> contactListRows(QSqlDatabase db, const BoundQuery &query,
                                                        int leadingCols, QString *error)
{
    QSqlQuery q(db);
    std::vector<QStringList> rows;
    if (!q.prepare(query.sql)) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt;
    }
    for (qsizetype i = 0; i < query.values.size(); ++i)
        q.bindValue(static_cast<int>(i), query.values[i]);
    if (!appendRows(q, leadingCols, rows)) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt;
    }
    return rows;
}

std::optional<std::vector<QStringList>> contactRowsByIds(QSqlDatabase db, QList<qint64> ids,
                                                         int leadingCols, QString *error)
{
    // One IN list returns rows by id; chunks of sorted ids keep that order.
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<QStringList> rows;
    for (qsizetype start = 0; start < ids.size(); start += kIdsPerQuery) {
        const QList<qint64> chunk = ids.mid(start, kIdsPerQuery);
        QStringList marks;
        for (qsizetype i = 0; i < chunk.size(); ++i)
            marks << QStringLiteral("?");
        BoundQuery query{kBase + QStringLiteral(" where id in ( %1)").arg(marks.join(',')), {}};
        for (qint64 id : chunk)
            query.values << id;
        auto part = contactListRows(db, query, leadingCols, error);
        if (!part)
            return std::nullopt;
        std::move(part->begin(), part->end(), std::back_inserter(rows));
    }
    return rows;
}

QStringList contactCategories(QSqlDatabase db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("Select Distinct category1 from cnt_main where category1 is not "
                               "null and category1 <>''")))
        return {};
    return firstColumn(q);
}

QStringList contactSubCategories(QSqlDatabase db, const QString &category)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("Select distinct category2 from cnt_main where category1=?"));
    q.addBindValue(category);
    if (!q.exec())
        return {};
    return firstColumn(q);
}

} // namespace quenda
