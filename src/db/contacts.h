#pragma once
// The organizer's contacts, cnt_main: the lists the windows show, and the rows the vCard
// writers read.

#include "common/result.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quenda {

// ---- The contact export list: one row per contact, as the export window lists it.
struct ContactListRow {
    qint64 id = 0;
    QString category;
    QString subCategory;
    QString name;
    QString first;
    QString last;
    QString company;
    QString priority;
    QString homeWeb;
    QString workWeb;
};

// "All" in any of the three means no condition on that column.
struct ContactFilter {
    QString category = QStringLiteral("All");
    QString subCategory = QStringLiteral("All");
    QString priority = QStringLiteral("All");
};

Result<std::vector<ContactListRow>> contactListRows(QSqlDatabase &db, const ContactFilter &filter);
// The contacts of the given ids, in id order, whatever their number.
Result<std::vector<ContactListRow>> contactRowsByIds(QSqlDatabase &db, QList<qint64> ids);
// Distinct non-empty category1 values; distinct category2 values of one category.
Result<QStringList> contactCategories(QSqlDatabase &db);
Result<QStringList> contactSubCategories(QSqlDatabase &db, const QString &category);

// ---- The "Send Ipod" list: every contact's NAME, ordered by name (then by id), the order the
// name index gives. A null name is listed as "".
Result<QStringList> contactNames(QSqlDatabase &db);

// ---- What an import compares new contacts with: the columns holding a contact's own telephone
// numbers and e-mail addresses, and those of every stored contact that has a name.
const QStringList &contactPhoneColumns();
const QStringList &contactEmailColumns();
// sink sees each named contact's NAME, then its phone and e-mail columns in the order above
// (a null one as "").
Status readContactReach(QSqlDatabase &db,
                        const std::function<void(const QString &name, const QStringList &phones,
                                                 const QStringList &emails)> &sink);

// ---- Rows for the vCard writers: the columns a card needs, always in this order.
namespace card {
enum Field {
    ID,
    NAME,
    TITLE,
    FIRST,
    LAST,
    Nview,
    NICK,
    COMPANY,
    SPOUSE,
    W_PH1,
    W_PH2,
    W_PH3,
    H_PH1,
    H_PH2,
    H_PH3,
    MOBILE,
    FAX,
    W_ADD1,
    W_ADD2,
    W_CITY,
    W_STATE,
    W_PIN,
    W_COUNTRY,
    H_ADD1,
    H_ADD2,
    H_CITY,
    H_STATE,
    H_PIN,
    H_COUNTRY,
    B_ADD1,
    B_ADD2,
    B_CITY,
    B_STATE,
    B_PIN,
    B_COUNTRY,
    M_BD,
    H_EMAIL1,
    B_EMAIL1,
    H_WEB,
    // Read for the 3.0 and 4.0 cards only.
    JOB_TITLE,
    H_EMAIL2,
    B_EMAIL2,
    B_WEB,
    FieldCount
};
} // namespace card

struct CardRow {
    std::array<QString, card::FieldCount> field; // a null column reads as ""
    bool nameIsNull = false;
    const QString &operator[](card::Field f) const { return field[f]; }
};

// Reads card rows on one connection, preparing each statement once. The connection must
// outlive the reader.
class ContactCardReader {
public:
    explicit ContactCardReader(QSqlDatabase &db);
    ~ContactCardReader();
    ContactCardReader(const ContactCardReader &) = delete;
    ContactCardReader &operator=(const ContactCardReader &) = delete;

    // The contacts holding the ids, in the order the database gives them; sink sees each.
    Status readByIds(const QList<qint64> &ids, const std::function<void(const CardRow &)> &sink);
    // The first contact (lowest id) whose NAME is exactly name, letter case included.
    Result<bool> readFirstNamed(const QString &name, CardRow &row);
    // Every contact in the order of contactNames(); sink returns false to stop.
    Status readAllInNameOrder(const std::function<bool(const CardRow &)> &sink);

private:
    QSqlQuery *prepared(const QString &key, const QString &sql, Status &status);

    QSqlDatabase &m_db;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_queries;
};

} // namespace quenda

// ---- The contact import: the declared columns, the columns a select list reports, the preview
// of the contacts, and the writer that adds imported contacts.
struct sqlite3;
struct sqlite3_stmt;

namespace quenda {

struct ContactColumnInfo {
    QString name;
    QString declaredType; // as the schema states it: "TEXT(255) COLLATE NOCASE" gives "TEXT(255)"
    QString defaultSql;   // the column's default as an SQL expression; "" when it has none
};

// The columns of cnt_main in table order, read from the schema.
Result<std::vector<ContactColumnInfo>> contactColumnTypes(QSqlDatabase &db);

// The names the database reports for "select <selectList> from cnt_main  where id=0".
Result<QStringList> contactFieldNames(QSqlDatabase &db, const QString &selectList);

// The contacts as " select <selectList> from cnt_main " gives them, each row after leadingCols
// empty cells, at most maxRows rows; fieldNames receives the reported names.
Result<std::vector<QStringList>> contactPreviewRows(QSqlDatabase &db, const QString &selectList,
                                                    int leadingCols, qsizetype maxRows,
                                                    QStringList &fieldNames);

// Adds contacts inside one transaction, so that an import lands whole or not at all: only
// commit() keeps the rows; destroying the writer before it rolls them back. No row is ever
// stored outside that transaction: when the database ends it on a fault of its own, every
// later addRow() and commit() fails. Rows go in a few dozen to a statement of the SQLite library
// itself, their values held in the writer's own storage until the statement runs: a hundred
// thousand single inserts through Qt's per-value binding cost several times what the database
// needs to store them. An import that outgrows the table it adds to sets the table's plain
// (not unique) indexes aside inside its transaction and builds them again before it commits:
// one sort costs less than keeping them row by row.
class ContactImportWriter {
public:
    explicit ContactImportWriter(QSqlDatabase &db);
    ~ContactImportWriter();
    ContactImportWriter(const ContactImportWriter &) = delete;
    ContactImportWriter &operator=(const ContactImportWriter &) = delete;

    // Takes the write lock and prepares the insert of the cnt_main columns.
    Status begin(const std::vector<ContactColumnInfo> &columns);

    // The values of the next row, by column in the order begin() was given; a column not set
    // is null. A null value leaves its column as a new row has it: empty, or the column's
    // default. setText copies the bytes, which must be UTF-8.
    void setNull(int column);
    void setInteger(int column, qint64 value);
    void setReal(int column, double value);
    void setText(int column, QByteArrayView utf8);
    // A value as Qt's driver would bind it: a null text is NULL, numbers stay numbers.
    void setValue(int column, const QVariant &value);
    // Adds the row set so far as one new contact. A row may be stored later, with the rows
    // after it: a refusal names its row through failedRow().
    Status addRow();

    // Stores the rows still held, then ends the transaction.
    Status commit();
    void rollback();
    qint64 added() const { return m_added; }
    // The row (counted from 1 over all rows added) the database refused for its values; 0 when
    // none was, as when the fault was the database's own (a full disk, an I/O error).
    qint64 failedRow() const { return m_failedRow; }

private:
    enum class Kind : quint8 { Null, Integer, Real, Text };
    struct Value {
        Kind kind = Kind::Null;
        qint64 integer = 0; // the number, or the text's offset in m_bytes
        double real = 0;
        int size = 0; // bytes of text
    };

    Value &slot(int column) { return m_values[static_cast<size_t>(m_rows * m_columns + column)]; }
    Status flush();
    Status setIndexesAside();
    Status rebuildIndexes();
    int bindRow(sqlite3_stmt *statement, int firstPosition, int row);
    int insertOne(int row);
    Status transactionLost(const Error &why);
    void clearPending();
    void finishStatements();

    QSqlDatabase &m_db;
    sqlite3 *m_handle = nullptr;
    sqlite3_stmt *m_insert = nullptr; // one row
    sqlite3_stmt *m_batch = nullptr;  // m_batchRows rows
    int m_columns = 0;
    int m_batchRows = 1;
    int m_rows = 0;              // rows held, not yet stored
    std::vector<Value> m_values; // m_batchRows rows of m_columns values; the row m_rows is built
    std::string m_bytes;         // the text of the rows held
    bool m_open = false;
    qint64 m_added = 0;
    qint64 m_failedRow = 0;
    qint64 m_rowsBefore = 0; // about: the highest id when the import began
    bool m_indexesAside = false;
    QStringList m_indexSql; // the statements that make the indexes set aside again
};

} // namespace quenda
