#include "db/database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace quenda {

namespace {

// Text compares without regard to case everywhere, as the organizer suite expects. Dates are
// ISO 8601 text and yes/no columns 0 and 1.
const char *const kTables[] = {
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

struct HelpText {
    const char *code;
    const char *text;
};

const HelpText kHelpTexts[] = {
    {"LS0017",
     "Import contacts from another database, a delimited text file or a dBASE/FoxPro table. "
     "Pick the source on Step 1, match its fields to the contact fields on Step 2 (save the "
     "matching as a scheme to reuse it), check the preview, then import. The tab Send Ipod "
     "writes every contact as vCard files into the Ipod folder on your Desktop."},
    {"LS0027",
     "Narrow the list by category, sub-category and priority. Double-click a contact, or "
     "Ctrl+click it, to mark or unmark it; Ctrl+A marks all. View Selected shows the marked "
     "contacts alone. Send to Desktop writes one vCard file per marked contact into the Ipod "
     "folder on your Desktop, ready to copy to the device."},
    {"UTL0038",
     "Choose how the copied files are arranged: by file type, by year or month of creation, "
     "or a combination. Pick the destination folder, then press Create folder and copy file; "
     "the ticked files are copied into a File Copier folder built that way."},
};

constexpr int kFreeLauncherButtons = 12;

bool run(QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    return true;
}

int countRows(QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) || !q.next())
        return -1;
    return q.value(0).toInt();
}

} // namespace

bool createSchema(QSqlDatabase &db, QString *error)
{
    if (!db.transaction()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    for (const char *sql : kTables) {
        if (!run(db, QString::fromUtf8(sql), error)) {
            db.rollback();
            return false;
        }
    }
    if (countRows(db, QStringLiteral("QD_SETUP")) == 0 &&
        !run(db, QStringLiteral("INSERT INTO QD_SETUP (Key) VALUES (NULL)"), error)) {
        db.rollback();
        return false;
    }
    if (countRows(db, QStringLiteral("qd_tooltip")) == 0) {
        for (const HelpText &h : kHelpTexts) {
            if (!execBound(db,
                           QStringLiteral("INSERT INTO qd_tooltip (Code, Tooltip) VALUES (?, ?)"),
                           {QString::fromLatin1(h.code), QString::fromUtf8(h.text)}, error)) {
                db.rollback();
                return false;
            }
        }
    }
    if (countRows(db, QStringLiteral("ButtonLauncher")) == 0) {
        for (int id = 1; id <= kFreeLauncherButtons; ++id) {
            if (!execBound(db,
                           QStringLiteral("INSERT INTO ButtonLauncher (button_id, VISIBLE, Title, "
                                          "Application, BGPIC, COLOUR, Type) "
                                          "VALUES (?, 0, '', '', '', '', '')"),
                           {id}, error)) {
                db.rollback();
                return false;
            }
        }
    }
    if (!db.commit()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    return true;
}

} // namespace quenda
