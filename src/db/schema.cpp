#include "db/schema.h"

#include "db/database.h"
#include "db/launcher.h"
#include "db/setup.h"

#include <QSqlQuery>

namespace quenda {

namespace {

// Version 1: the tables of the first release. Text compares without regard to case everywhere,
// as the organizer suite expects. Dates are ISO 8601 text and yes/no columns 0 and 1. Every
// statement leaves existing tables alone, so a database of the suite keeps its rows.
const char *const kVersion1Tables[] = {
    R"(CREATE TABLE IF NOT EXISTS QD_SETUP (Key TEXT COLLATE NOCASE))",
    R"(CREATE TABLE IF NOT EXISTS qd_tooltip (
         Code TEXT COLLATE NOCASE, Tooltip TEXT COLLATE NOCASE))",
    R"(CREATE TABLE IF NOT EXISTS cnt_main (
         ID INTEGER PRIMARY KEY AUTOINCREMENT,
         TITLE TEXT COLLATE NOCASE, FIRST TEXT COLLATE NOCASE, LAST TEXT COLLATE NOCASE,
         COMPANY TEXT COLLATE NOCASE, NAME TEXT COLLATE NOCASE, Nview TEXT COLLATE NOCASE,
         H_ADD1 TEXT COLLATE NOCASE, H_ADD2 TEXT COLLATE NOCASE, H_CITY TEXT COLLATE NOCASE,
         H_STATE TEXT COLLATE NOCASE, H_PIN TEXT COLLATE NOCASE, H_COUNTRY TEXT COLLATE NOCASE,
         H_ADD_DESC TEXT COLLATE NOCASE,
         W_ADD1 TEXT COLLATE NOCASE, W_ADD2 TEXT COLLATE NOCASE, W_CITY TEXT COLLATE NOCASE,
         W_STATE TEXT COLLATE NOCASE, W_PIN TEXT COLLATE NOCASE, W_COUNTRY TEXT COLLATE NOCASE,
         W_ADD_DESC TEXT COLLATE NOCASE, W_ADDTYPE TEXT COLLATE NOCASE,
         SP_MOBILE TEXT COLLATE NOCASE, MOBILE TEXT COLLATE NOCASE,
         H_STD TEXT COLLATE NOCASE, H_PH1 TEXT COLLATE NOCASE, H_PH2 TEXT COLLATE NOCASE,
         H_PH3 TEXT COLLATE NOCASE,
         W_STD TEXT COLLATE NOCASE, W_PH1 TEXT COLLATE NOCASE, W_PH2 TEXT COLLATE NOCASE,
         W_PH3 TEXT COLLATE NOCASE,
         H_EMAIL1 TEXT COLLATE NOCASE, H_EMAIL2 TEXT COLLATE NOCASE, H_WEB TEXT COLLATE NOCASE,
         M_BD TEXT, ANNIV TEXT, SPOUSE TEXT COLLATE NOCASE,
         CATEGORY1 TEXT COLLATE NOCASE, CATEGORY2 TEXT COLLATE NOCASE,
         priority TEXT COLLATE NOCASE,
         SP_BD TEXT, KID1 TEXT COLLATE NOCASE, KID1_BD TEXT, KID2 TEXT COLLATE NOCASE,
         KID2_BD TEXT, KID3 TEXT COLLATE NOCASE, KID3_BD TEXT,
         JOB_TITLE TEXT COLLATE NOCASE,
         B_PRODUCT TEXT COLLATE NOCASE, B_ADD_TYPE TEXT COLLATE NOCASE,
         B_ADD1 TEXT COLLATE NOCASE, B_ADD2 TEXT COLLATE NOCASE, B_CITY TEXT COLLATE NOCASE,
         B_STATE TEXT COLLATE NOCASE, B_COUNTRY TEXT COLLATE NOCASE, B_PIN TEXT COLLATE NOCASE,
         B_STD TEXT COLLATE NOCASE, B_PH1 TEXT COLLATE NOCASE, B_PH2 TEXT COLLATE NOCASE,
         B_PH3 TEXT COLLATE NOCASE, FAX TEXT COLLATE NOCASE,
         B_EMAIL1 TEXT COLLATE NOCASE, B_EMAIL2 TEXT COLLATE NOCASE, B_WEB TEXT COLLATE NOCASE,
         B_NOTE TEXT COLLATE NOCASE, ALTCONTACT TEXT COLLATE NOCASE,
         ALTTITLE TEXT COLLATE NOCASE, PRODUCT TEXT COLLATE NOCASE, SEX TEXT COLLATE NOCASE,
         NICK TEXT COLLATE NOCASE, EDUCATION TEXT COLLATE NOCASE,
         RELATION TEXT COLLATE NOCASE, REGION TEXT COLLATE NOCASE,
         RELIGION TEXT COLLATE NOCASE, HOBBIES TEXT COLLATE NOCASE))",
    R"(CREATE INDEX IF NOT EXISTS cnt_main_name ON cnt_main (NAME))",
    R"(CREATE TABLE IF NOT EXISTS qd_mapfields (
         SchemeName TEXT COLLATE NOCASE, FiledName TEXT COLLATE NOCASE, intRow INTEGER))",
    R"(CREATE INDEX IF NOT EXISTS qd_mapfields_scheme ON qd_mapfields (SchemeName))",
    R"(CREATE TABLE IF NOT EXISTS quenda_Ipod (
         FolderPath TEXT COLLATE NOCASE, FolderPath1 TEXT COLLATE NOCASE,
         FolderPath2 TEXT COLLATE NOCASE, FolderPath3 TEXT COLLATE NOCASE,
         FolderPath4 TEXT COLLATE NOCASE))",
    R"(CREATE TABLE IF NOT EXISTS Quenda_IpodScan (
         Application TEXT COLLATE NOCASE, Path TEXT COLLATE NOCASE, Type TEXT COLLATE NOCASE,
         size TEXT, Date TEXT))",
    R"(CREATE INDEX IF NOT EXISTS Quenda_IpodScan_path ON Quenda_IpodScan (Path))",
    R"(CREATE TABLE IF NOT EXISTS Quenda_IpodScanedtxt (
         Application TEXT COLLATE NOCASE, Path TEXT COLLATE NOCASE, Type TEXT COLLATE NOCASE,
         size TEXT, Date TEXT))",
    R"(CREATE INDEX IF NOT EXISTS Quenda_IpodScanedtxt_path ON Quenda_IpodScanedtxt (Path))",
    R"(CREATE TABLE IF NOT EXISTS qd_ScanFile (
         Application TEXT COLLATE NOCASE, Path TEXT COLLATE NOCASE, Type TEXT COLLATE NOCASE,
         FileSize TEXT, Date TEXT, SelectFile BOOLEAN NOT NULL DEFAULT 0))",
    R"(CREATE INDEX IF NOT EXISTS qd_ScanFile_path ON qd_ScanFile (Path))",
    R"(CREATE INDEX IF NOT EXISTS qd_ScanFile_application ON qd_ScanFile (Application))",
    R"(CREATE TABLE IF NOT EXISTS qd_ScanExe (
         Application TEXT COLLATE NOCASE, Path TEXT COLLATE NOCASE, Type TEXT COLLATE NOCASE,
         FileSize TEXT, Date TEXT, SelectFile BOOLEAN NOT NULL DEFAULT 0))",
    R"(CREATE TABLE IF NOT EXISTS ButtonLauncher (
         button_id INTEGER PRIMARY KEY, VISIBLE BOOLEAN NOT NULL DEFAULT 0,
         Title TEXT COLLATE NOCASE, Application TEXT COLLATE NOCASE, BGPIC TEXT COLLATE NOCASE,
         COLOUR TEXT COLLATE NOCASE, Type TEXT COLLATE NOCASE))",
    R"(CREATE TABLE IF NOT EXISTS qd_ScanFolder (
         FolderPath TEXT COLLATE NOCASE, FolderName TEXT COLLATE NOCASE, FolderSize INTEGER,
         SelectFolder BOOLEAN NOT NULL DEFAULT 0, ScheemeName TEXT COLLATE NOCASE))",
    R"(CREATE INDEX IF NOT EXISTS qd_ScanFolder_scheme ON qd_ScanFolder (ScheemeName, FolderPath))",
};

Status createVersion1(QSqlDatabase &db)
{
    for (const char *sql : kVersion1Tables) {
        QSqlQuery q(db);
        if (!q.exec(QString::fromUtf8(sql)))
            return sqlError(q);
    }
    if (Status s = addSetupRowWhenMissing(db); !s)
        return s;
    if (Status s = addHelpTextsWhenMissing(db); !s)
        return s;
    return addFreeLauncherButtonsWhenMissing(db);
}

const SchemaStep kSteps[] = {
    {1, createVersion1},
};

Status run(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        return sqlError(q);
    return {};
}

} // namespace

std::span<const SchemaStep> schemaSteps()
{
    return kSteps;
}

int currentSchemaVersion()
{
    return schemaSteps().back().version;
}

Result<int> schemaVersion(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return sqlError(q);
    return q.value(0).toInt();
}

Status upgradeSchema(QSqlDatabase &db)
{
    return upgradeSchema(db, schemaSteps());
}

Status upgradeSchema(QSqlDatabase &db, std::span<const SchemaStep> steps)
{
    const Result<int> found = schemaVersion(db);
    if (!found)
        return found.error();
    const int known = steps.empty() ? 0 : steps.back().version;
    if (*found > known)
        return fail(QStringLiteral("it was made by a later release of the program (schema "
                                   "version %1; this release knows up to %2).")
                        .arg(*found)
                        .arg(known));
    for (const SchemaStep &step : steps) {
        // The write lock is taken first, so two programs starting together cannot both run a
        // step: the second one finds the version already raised and passes on.
        if (Status s = run(db, QStringLiteral("BEGIN IMMEDIATE")); !s)
            return s;
        Status done;
        const Result<int> version = schemaVersion(db);
        if (!version) {
            done = version.error();
        } else if (*version < step.version) {
            done = step.apply(db);
            if (done)
                done = run(db, QStringLiteral("PRAGMA user_version = %1").arg(step.version));
        }
        if (done)
            done = run(db, QStringLiteral("COMMIT"));
        if (!done) {
            (void)run(db, QStringLiteral("ROLLBACK"));
            return fail(QStringLiteral("upgrading it to schema version %1 failed: %2")
                            .arg(step.version)
                            .arg(done.message()));
        }
    }
    return {};
}

} // namespace quenda
