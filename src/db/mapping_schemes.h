#pragma once
// The saved field mappings of the contact import, qd_mapfields: under a scheme name, one row per
// row of the important fields' grid (intRow) with the source field chosen there (FiledName).

#include "common/result.h"

#include <QSqlDatabase>
#include <QStringList>

#include <vector>

namespace quenda {

// The scheme names, each once, in the order of their first row.
Result<QStringList> mappingSchemeNames(QSqlDatabase &db);

} // namespace quenda

// ---- Saving and recalling a scheme.
namespace quenda {

struct SchemeRow {
    int row = 0;   // the row of the important fields' grid, from 1
    QString field; // the source field chosen there; "" when none
};

// The rows saved under a name (compared without regard to case), in the order they were saved.
Result<std::vector<SchemeRow>> mappingSchemeRows(QSqlDatabase &db, const QString &name);

// Replaces the scheme of that name with one row per entry: fieldsByRow[0] is row 1. The old
// rows go and the new ones come in one transaction, so a failed save leaves the old scheme.
Status saveMappingScheme(QSqlDatabase &db, const QString &name, const QStringList &fieldsByRow);

} // namespace quenda
