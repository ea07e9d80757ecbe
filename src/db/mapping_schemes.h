#pragma once
// The saved field mappings of the contact import, qd_mapfields: one row per mapped contact
// column (FiledName) and grid row (intRow) under a scheme name.

#include "common/result.h"

#include <QSqlDatabase>
#include <QStringList>

namespace quenda {

// The scheme names, each once, in the order of their first row.
Result<QStringList> mappingSchemeNames(QSqlDatabase &db);

} // namespace quenda
