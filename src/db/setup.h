#pragma once
// The setup table QD_SETUP (the start-up keyword the suite leaves for the module) and the
// help texts of qd_tooltip.

#include "common/result.h"

#include <QSqlDatabase>
#include <QString>

namespace quenda {

// The start-up keyword: lower-cased, "" for null.
Result<QString> readStartupKeyword(QSqlDatabase &db);
Status clearStartupKeyword(QSqlDatabase &db);
Status writeStartupKeyword(QSqlDatabase &db, const QString &keyword);

// The help text stored under a code; "" when there is none.
Result<QString> tooltipText(QSqlDatabase &db, const QString &code);

// Rows a new database needs: the one setup row, and the help texts of the module's windows.
Status addSetupRowWhenMissing(QSqlDatabase &db);
Status addHelpTextsWhenMissing(QSqlDatabase &db);

} // namespace quenda

// ---- Where each window was last shown ----------------------------------------------------------

namespace quenda {

// The geometry a window last closed with (Qt's saveGeometry bytes); empty when none is kept.
Result<QByteArray> windowPlace(QSqlDatabase &db, const QString &window);
Status saveWindowPlace(QSqlDatabase &db, const QString &window, const QByteArray &geometry);

} // namespace quenda
