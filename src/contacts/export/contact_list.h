#pragma once
// The rows the contact export window lists: all contacts, a filtered set, or the marked ones.

#include <QSqlDatabase>
#include <QStringList>
#include <QVariantList>

#include <optional>
#include <vector>

namespace quenda {

// Field names of the list, in query order: id, category1, category2, name, first, last,
// company, priority, h_web, b_web.
QStringList contactListFields();

// "All" in any of the three means no condition on that column.
struct ContactFilter {
    QString category;
    QString subCategory;
    QString priority;
};

struct BoundQuery {
    QString sql;
    QVariantList values;
};

BoundQuery contactListQuery(const ContactFilter &filter = {QStringLiteral("All"),
                                                           QStringLiteral("All"),
                                                           QStringLiteral("All")});

// Each row holds leadingCols empty cells, then the list fields; nullopt with the driver's text
// when the query fails.
std::optional<std::vector<QStringList>> contactListRows(QSqlDatabase db, const BoundQuery &query,
                                                        int leadingCols, QString *error);
// The contacts of the given ids, in id order, whatever their number.
std::optional<std::vector<QStringList>> contactRowsByIds(QSqlDatabase db, QList<qint64> ids,
                                                         int leadingCols, QString *error);

// Distinct non-empty category1 values; distinct category2 values of one category.
QStringList contactCategories(QSqlDatabase db);
QStringList contactSubCategories(QSqlDatabase db, const QString &category);

} // namespace quenda
