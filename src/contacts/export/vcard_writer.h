#pragma once
// vCards written from rows of cnt_main: the combined card, the home card ("-H") and the work
// card ("-W ", blank included), in version 2.1 (what the iPod reads, the default) or 3.0 or 4.0
// (for phones and address books, see vcard_modern.h); the file names are the same for every
// version. Writers never ask or tell the user anything: what failed goes to the JobControl,
// named by the contact's NAME, and the caller decides what to show.

#include "common/result.h"
#include "db/contacts.h"
#include "jobs/job_control.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quenda {

enum class CardKind { Combined, Home, Work };
enum class CardVersion { V21, V30, V40 };

// "2.1", "3.0", "4.0".
QString cardVersionText(CardVersion version);
// The inverse of cardVersionText(); nullopt for any other text.
std::optional<CardVersion> parseCardVersion(const QString &text);

// The version the export window, the Send Ipod tab and the command line use: the one last
// chosen, 2.1 until one is.
Result<CardVersion> rememberedCardVersion(QSqlDatabase &db);
Status rememberCardVersion(QSqlDatabase &db, CardVersion version);

// Ids in the form an SQL IN list takes ("17", "17,", "3, 5"); one trailing comma is dropped.
// nullopt when an item is not a whole number, so nothing reaches the query unchecked.
std::optional<QList<qint64>> parseIdList(const QString &idList);

// NAME + suffix + ".vcf"; a failure when NAME would leave the target folder.
Result<QString> cardFileName(const QString &name, CardKind kind);

// The bytes of one card. A 2.1 card is Windows-1252 when every line fits, else UTF-8 with the
// lines that need it marked; 3.0 and 4.0 cards are UTF-8. Lines end in CR LF.
QByteArray cardBytes(const CardRow &row, CardKind kind, CardVersion version = CardVersion::V21);

// Writes cards into one folder. The cards are made on the caller's thread and written, in the
// order given, by a thread of the writer's own, so that reading the contacts and making the
// cards goes on while the file system works. A card that cannot be written is reported under
// the contact's NAME.
class CardWriter {
public:
    CardWriter(const QString &folder, JobControl &control, CardVersion version = CardVersion::V21);
    // Writes what is still queued.
    ~CardWriter();
    CardWriter(const CardWriter &) = delete;
    CardWriter &operator=(const CardWriter &) = delete;

    void write(const CardRow &row, CardKind kind);
    // Waits until every card given so far is written; returns the cards written.
    int finish();

private:
    struct Card {
        QString contact;
        QString fileName;
        std::string bytes;
    };
    void pass(bool last);
    void writeQueued();

    QString m_folder;
    JobControl &m_control;
    CardVersion m_version;
    std::vector<Card> m_batch; // made, not yet handed to the writing thread
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<Card>> m_queue;
    bool m_closing = false;
    std::thread m_thread;
    std::atomic<int> m_written{0};
};

// One query for the ids, one card of kind per contact found; an id no contact holds is
// reported.
void writeCards(ContactCardReader &reader, CardWriter &writer, CardKind kind,
                const QList<qint64> &ids, JobControl &control);

// The writers by their old names: an id list as an IN list takes it, the folder, one query.
int SaveAsVCF(QSqlDatabase &db, const QString &idList, const QString &folder, JobControl &control);
int SaveAsVCFHome(QSqlDatabase &db, const QString &idList, const QString &folder,
                  JobControl &control);
int SaveAsVCFWork(QSqlDatabase &db, const QString &idList, const QString &folder,
                  JobControl &control);

// The export job of the contact window: the combined card of each id list, in order, on a
// connection of its own. Returns the cards written.
int runCardExport(const QString &databasePath, const QStringList &idLists, const QString &folder,
                  JobControl &control, CardVersion version = CardVersion::V21);

// The second message a window shows after its own when cards failed; "" when none did.
QString cardFailureMessage(const JobReport &report);

} // namespace quenda
