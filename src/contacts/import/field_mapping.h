#pragma once
// The rows of the mapping grids and the pairs an import works from: which contact column takes
// which source field.

#include "db/mapping_schemes.h"

#include <QSqlDatabase>
#include <QStringList>

#include <vector>

namespace quenda {

struct MappingRow {
    QString group;   // "Main", "Home" ...
    QString column;  // the cnt_main column as the database reports it
    QString display; // the name the user knows the column by
};

// The columns of a select list as the database reports them, or, when the contact table cannot
// answer, as the list names them.
QStringList reportedColumns(QSqlDatabase &db, const QString &selectList);

// One row per column, with its catalogue group and display name.
std::vector<MappingRow> mappingRows(const QStringList &columns);

struct ImportPair {
    QString column; // a cnt_main column
    QString field;  // a field of the source
    bool operator==(const ImportPair &) const = default;
};

// The pairs a saved scheme gives: row r of the scheme feeds importantColumns[r - 1]; rows with
// no field or beyond the list are passed over.
std::vector<ImportPair> schemePairs(const QStringList &importantColumns,
                                    const std::vector<SchemeRow> &rows);

// The column of the list that a name given in any letter case means; "" when none.
QString findColumn(const QStringList &columns, const QString &name);

} // namespace quenda
