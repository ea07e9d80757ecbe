#include "contacts/import/field_mapping.h"

#include "contacts/import/field_catalogue.h"
#include "db/contacts.h"

namespace quenda {

QStringList reportedColumns(QSqlDatabase &db, const QString &selectList)
{
    if (Result<QStringList> names = contactFieldNames(db, selectList); names)
        return *names;
    return columnsOfList(selectList);
}

std::vector<MappingRow> mappingRows(const QStringList &columns)
{
    std::vector<MappingRow> rows;
    rows.reserve(columns.size());
    for (const QString &column : columns) {
        const QString entry = desret(column);
        rows.push_back({spltdesc(1, entry), column, spltdesc(0, entry)});
    }
    return rows;
}

std::vector<ImportPair> schemePairs(const QStringList &importantColumns,
                                    const std::vector<SchemeRow> &rows)
{
    std::vector<ImportPair> pairs;
    for (const SchemeRow &row : rows) {
        if (row.row < 1 || row.row > importantColumns.size() || row.field.isEmpty())
            continue;
        pairs.push_back({importantColumns[row.row - 1], row.field});
    }
    return pairs;
}

QString findColumn(const QStringList &columns, const QString &name)
{
    for (const QString &column : columns) {
        if (column.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return column;
    }
    return {};
}

} // namespace quenda
