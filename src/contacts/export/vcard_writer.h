#pragma once
// vCard 2.1 cards written from rows of cnt_main: the combined card, the home card ("-H") and
// the work card ("-W ", blank included). Writers never ask or tell the user anything; they
// return what they wrote and what failed, and the caller decides what to show.

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;

namespace quenda {

enum class CardKind { Combined, Home, Work };

struct CardFailure {
    QString name; // the contact's NAME as stored
    QString reason;
};

struct CardResult {
    QStringList written; // paths in the order written; a path written twice appears twice
    std::vector<CardFailure> failures;
    QList<qint64> missingIds; // ids asked for that no contact holds
    QString error;            // the id list or the query was unusable: nothing was written

    bool hasProblems() const { return !failures.empty() || !error.isEmpty(); }
};

// Ids in the form an SQL IN list takes ("17", "17,", "3, 5"); one trailing comma is dropped.
// nullopt when an item is not a whole number, so nothing reaches the query unchecked.
std::optional<QList<qint64>> parseIdList(const QString &idList);

// NAME + suffix + ".vcf"; empty, with the reason, when NAME would leave the target folder.
QString cardFileName(const QString &name, CardKind kind, QString *reason = nullptr);

// Keeps one prepared statement per id-list length on one connection, so writing many cards
// prepares once. The connection must outlive the writer.
class VCardWriter {
public:
    explicit VCardWriter(QSqlDatabase db);
    ~VCardWriter();
    VCardWriter(const VCardWriter &) = delete;
    VCardWriter &operator=(const VCardWriter &) = delete;

    // One query for the ids, one file per contact found in folder; results add to into.
    void write(CardKind kind, const QString &idList, const QString &folder, CardResult &into);
    void write(CardKind kind, const QList<qint64> &ids, const QString &folder, CardResult &into);

private:
    struct Prepared;
    Prepared *preparedFor(int idCount, QString *error);

    QSqlDatabase m_db;
    std::map<int, std::unique_ptr<Prepared>> m_prepared;
};

CardResult SaveAsVCF(QSqlDatabase db, const QString &idList, const QString &folder);
CardResult SaveAsVCFHome(QSqlDatabase db, const QString &idList, const QString &folder);
CardResult SaveAsVCFWork(QSqlDatabase db, const QString &idList, const QString &folder);

// The second message a window shows after its own when cards failed; "" when none did.
QString cardFailureMessage(const CardResult &result);

} // namespace quenda
