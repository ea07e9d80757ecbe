#include "db/schema.h"

#include "db/database.h"
#include "db/launcher.h"
#include "db/setup.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>

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

Status run(QSqlDatabase &db, const QString &sql);

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

// Version 2: cnt_main's text columns get defined sizes, which the import cuts its values to, and
// the date columns a date type. A table whose columns already state sizes keeps its own; a table
// without them (the first release's) is rebuilt with every row, id and index kept.
struct ContactColumnDefinition {
    const char *name;
    const char *type;
};

constexpr const char *kText = "TEXT(255) COLLATE NOCASE";
// "DATE" alone would give the column numeric affinity, which turns a stored text such as "1.50"
// into the number 1.5; the word TEXT keeps every stored value as it was written.
constexpr const char *kDate = "DATE TEXT";

const ContactColumnDefinition kSizedContactColumns[] = {
    {"ID", "INTEGER PRIMARY KEY AUTOINCREMENT"},
    {"TITLE", kText},
    {"FIRST", kText},
    {"LAST", kText},
    {"COMPANY", kText},
    {"NAME", kText},
    {"Nview", kText},
    {"H_ADD1", kText},
    {"H_ADD2", kText},
    {"H_CITY", kText},
    {"H_STATE", kText},
    {"H_PIN", kText},
    {"H_COUNTRY", kText},
    {"H_ADD_DESC", kText},
    {"W_ADD1", kText},
    {"W_ADD2", kText},
    {"W_CITY", kText},
    {"W_STATE", kText},
    {"W_PIN", kText},
    {"W_COUNTRY", kText},
    {"W_ADD_DESC", kText},
    {"W_ADDTYPE", kText},
    {"SP_MOBILE", kText},
    {"MOBILE", kText},
    {"H_STD", kText},
    {"H_PH1", kText},
    {"H_PH2", kText},
    {"H_PH3", kText},
    {"W_STD", kText},
    {"W_PH1", kText},
    {"W_PH2", kText},
    {"W_PH3", kText},
    {"H_EMAIL1", kText},
    {"H_EMAIL2", kText},
    // Web addresses and notes run longer than a name or a line of an address.
    {"H_WEB", "TEXT(2048) COLLATE NOCASE"},
    {"M_BD", kDate},
    {"ANNIV", kDate},
    {"SPOUSE", kText},
    {"CATEGORY1", kText},
    {"CATEGORY2", kText},
    {"priority", kText},
    {"SP_BD", kDate},
    {"KID1", kText},
    {"KID1_BD", kDate},
    {"KID2", kText},
    {"KID2_BD", kDate},
    {"KID3", kText},
    {"KID3_BD", kDate},
    {"JOB_TITLE", kText},
    {"B_PRODUCT", kText},
    {"B_ADD_TYPE", kText},
    {"B_ADD1", kText},
    {"B_ADD2", kText},
    {"B_CITY", kText},
    {"B_STATE", kText},
    {"B_COUNTRY", kText},
    {"B_PIN", kText},
    {"B_STD", kText},
    {"B_PH1", kText},
    {"B_PH2", kText},
    {"B_PH3", kText},
    {"FAX", kText},
    {"B_EMAIL1", kText},
    {"B_EMAIL2", kText},
    {"B_WEB", "TEXT(2048) COLLATE NOCASE"},
    {"B_NOTE", "TEXT(65535) COLLATE NOCASE"},
    {"ALTCONTACT", kText},
    {"ALTTITLE", kText},
    {"PRODUCT", kText},
    {"SEX", kText},
    {"NICK", kText},
    {"EDUCATION", kText},
    {"RELATION", kText},
    {"REGION", kText},
    {"RELIGION", kText},
    {"HOBBIES", kText},
};

struct ExistingColumn {
    QString name;
    QString type;
    bool notNull = false;
    QVariant defaultValue;
    int primaryKey = 0;
};

Result<std::vector<ExistingColumn>> existingContactColumns(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(cnt_main)")))
        return sqlError(q);
    std::vector<ExistingColumn> columns;
    while (q.next())
        columns.push_back({q.value(1).toString(), q.value(2).toString(), q.value(3).toInt() != 0,
                           q.value(4), q.value(5).toInt()});
    return columns;
}

QString quotedName(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

Result<QVariant> scalarOf(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        return sqlError(q);
    return q.next() ? q.value(0) : QVariant();
}

Status sizeContactColumns(QSqlDatabase &db)
{
    const auto existing = existingContactColumns(db);
    if (!existing)
        return existing.error();
    bool integerKey = false;
    for (const ExistingColumn &c : *existing) {
        if (c.type.contains(QLatin1Char('(')))
            return {}; // sizes chosen by whoever made the table stay
        if (c.primaryKey == 1 && c.name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0 &&
            c.type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
            integerKey = true;
    }
    // Ids that are not whole-number keys could not be copied into one: such a table stays.
    if (existing->empty() || !integerKey)
        return {};

    QStringList definitions;
    QStringList known;
    for (const ContactColumnDefinition &c : kSizedContactColumns) {
        known << QString::fromLatin1(c.name);
        definitions << QStringLiteral("%1 %2").arg(QString::fromLatin1(c.name),
                                                   QString::fromLatin1(c.type));
    }
    QStringList copied;
    for (const ExistingColumn &c : *existing) {
        copied << quotedName(c.name);
        if (known.contains(c.name, Qt::CaseInsensitive))
            continue;
        // A column the suite or the user added keeps its type, constraint and default.
        QString definition = quotedName(c.name) + QLatin1Char(' ') + c.type;
        if (c.notNull)
            definition += QStringLiteral(" NOT NULL");
        if (!c.defaultValue.isNull())
            definition += QStringLiteral(" DEFAULT ") + c.defaultValue.toString();
        definitions << definition;
    }

    QStringList dependents; // the table's indexes and triggers, made again after the rebuild
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE tbl_name = 'cnt_main' "
                                   "COLLATE NOCASE AND type IN ('index', 'trigger') AND sql IS "
                                   "NOT NULL")))
            return sqlError(q);
        while (q.next())
            dependents << q.value(0).toString();
    }
    const Result<QVariant> oldSequence =
        scalarOf(db, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'cnt_main'"));
    if (!oldSequence)
        return oldSequence.error();

    const QString columns = copied.join(QLatin1Char(','));
    const QString steps[] = {
        QStringLiteral("DROP TABLE IF EXISTS cnt_main_sized"),
        QStringLiteral("CREATE TABLE cnt_main_sized (%1)").arg(definitions.join(QLatin1Char(','))),
        QStringLiteral("INSERT INTO cnt_main_sized (%1) SELECT %1 FROM cnt_main").arg(columns),
        QStringLiteral("DROP TABLE cnt_main"),
        // Views that name cnt_main are neither checked nor rewritten by the rename: they find
        // the new table under the old name.
        QStringLiteral("PRAGMA legacy_alter_table = ON"),
        QStringLiteral("ALTER TABLE cnt_main_sized RENAME TO cnt_main"),
        QStringLiteral("PRAGMA legacy_alter_table = OFF"),
    };
    for (const QString &sql : steps) {
        if (Status s = run(db, sql); !s) {
            (void)run(db, QStringLiteral("PRAGMA legacy_alter_table = OFF"));
            return s;
        }
    }
    for (const QString &sql : std::as_const(dependents)) {
        if (Status s = run(db, sql); !s)
            return s;
    }
    // Ids of deleted contacts are never given out again: the counter goes on where it was.
    const Result<QVariant> highest = scalarOf(db, QStringLiteral("SELECT max(ID) FROM cnt_main"));
    if (!highest)
        return highest.error();
    const qint64 sequence = std::max(oldSequence->toLongLong(), highest->toLongLong());
    if (sequence > 0) {
        if (Status s =
                run(db, QStringLiteral("DELETE FROM sqlite_sequence WHERE name = 'cnt_main'"));
            !s)
            return s;
        if (Status s = execBound(db,
                                 QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES "
                                                "('cnt_main', ?)"),
                                 {sequence});
            !s)
            return s;
    }
    return {};
}

// Version 3: where each window was last shown, so it opens there again.
Status addWindowPlaces(QSqlDatabase &db)
{
    return run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS qd_WindowPlace ("
                                  "WindowName TEXT PRIMARY KEY, Geometry BLOB)"));
}

// Version 4: choices kept between runs, one value under a name.
Status addSettings(QSqlDatabase &db)
{
    return run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS qd_Setting ("
                                  "Name TEXT PRIMARY KEY COLLATE NOCASE, Value TEXT)"));
}

const SchemaStep kSteps[] = {
    {1, createVersion1},
    {2, sizeContactColumns},
    {3, addWindowPlaces},
    {4, addSettings},
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
        // A database that has the step needs no write lock at all, so opening it works beside
        // another program that holds a read transaction.
        if (*found >= step.version)
            continue;
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
