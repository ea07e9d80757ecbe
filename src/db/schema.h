#pragma once
// The schema of the organizer database, versioned by PRAGMA user_version. Each step brings a
// database from one version to the next inside its own transaction, so a failed step leaves the
// database as it was. A database of version 0 is one made by the suite (the module's tables may
// be missing) or by the first release of the module; both are brought up without losing rows.
// A new version is one more function and one more line in the step table.

#include "common/result.h"

#include <QSqlDatabase>

#include <span>

namespace quenda {

struct SchemaStep {
    int version; // the version the database has after the step
    Status (*apply)(QSqlDatabase &db);
};

// The program's steps, in order; the last one's version is the program's schema version.
std::span<const SchemaStep> schemaSteps();
int currentSchemaVersion();

Result<int> schemaVersion(QSqlDatabase &db);

// Runs the steps the database has not had yet. A database of a later version than the steps
// know is refused: this program cannot tell what that version changed.
Status upgradeSchema(QSqlDatabase &db);
Status upgradeSchema(QSqlDatabase &db, std::span<const SchemaStep> steps);

} // namespace quenda
