#pragma once
// Choices the program keeps between runs (the card version of the export windows ...), one text
// value under a name in qd_Setting.

#include "common/result.h"

#include <QSqlDatabase>
#include <QString>

namespace quenda {

// The value kept under name; "" when none is.
Result<QString> settingValue(QSqlDatabase &db, const QString &name);
Status saveSetting(QSqlDatabase &db, const QString &name, const QString &value);

} // namespace quenda
