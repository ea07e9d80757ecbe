#include "contacts/export/contact_send.h"

#include "contacts/export/vcard_writer.h"
#include "db/database.h"

namespace quenda {

namespace {

// Each name's cards, from the row the name stands for.
class Sender {
public:
    Sender(QSqlDatabase &db, const QString &folder, JobControl &control, CardVersion version)
        : m_reader(db), m_writer(folder, control, version), m_control(control)
    {
    }

    void send(const CardRow &row)
    {
        m_writer.write(row, CardKind::Home);
        m_writer.write(row, CardKind::Work);
        m_writer.write(row, CardKind::Combined);
    }

    // The lookup of one name on its own, the way every name was once sent.
    void sendNamed(const QString &name)
    {
        CardRow row;
        const Result<bool> found = m_reader.readFirstNamed(name, row);
        if (!found)
            m_control.fail(name, found.message());
        else if (*found)
            send(row);
        else
            m_control.fail(name.isEmpty() ? kNoName : name,
                           QStringLiteral("no contact has this name as text; no card was written"));
    }

    // A name the lookup cannot find (a null name with no contact named "", or one that is not
    // text) writes nothing, and says so.
    static inline const QString kNoName = QStringLiteral("A contact without a name");

    ContactCardReader &reader() { return m_reader; }
    int finish() { return m_writer.finish(); }

private:
    ContactCardReader m_reader;
    CardWriter m_writer;
    JobControl &m_control;
};

} // namespace

int sendContacts(QSqlDatabase &db, const QStringList &names, const QString &folder,
                 JobControl &control, CardVersion version)
{
    Sender sender(db, folder, control, version);
    control.setTotal(names.size());
    qsizetype next = 0; // the first name not sent yet
    // Rows come in list order: row i normally is the contact that name i finds. The names of
    // the current group of equal-without-case names are kept, so a twin (the second "Ann")
    // can be told from the first one, whose cards it must get again.
    QString groupName;
    QStringList groupNames;
    bool inStep = true;
    const Status read = sender.reader().readAllInNameOrder([&](const CardRow &row) {
        if (control.isCancelled() || next >= names.size())
            return false;
        const QString &name = names.at(next);
        // Equal names without regard to case stand together in the list, so a twin lies in the
        // group at hand; a comparison that folds more than the database does only widens it.
        if (groupName.compare(row[card::NAME], Qt::CaseInsensitive) != 0) {
            groupName = row[card::NAME];
            groupNames.clear();
        }
        const bool twin = groupNames.contains(row[card::NAME]);
        if (!twin)
            groupNames.append(row[card::NAME]);
        control.setItem(name);
        if (!row.nameIsNull && !twin && row[card::NAME] == name) {
            sender.send(row);
        } else {
            // Not the row the name finds: from here on every name is looked up on its own.
            inStep = row[card::NAME] == name;
            sender.sendNamed(name);
        }
        ++next;
        control.advance();
        return inStep;
    });
    if (!read) {
        control.abort(QStringLiteral("The contacts cannot be read: %1").arg(read.message()));
        return sender.finish();
    }
    for (; next < names.size() && !control.isCancelled(); ++next) {
        control.setItem(names.at(next));
        sender.sendNamed(names.at(next));
        control.advance();
    }
    return sender.finish();
}

int runContactSend(const QString &databasePath, const QStringList &names, const QString &folder,
                   JobControl &control, CardVersion version)
{
    Connection connection(databasePath);
    if (Status open = connection.status(); !open) {
        control.abort(open.message());
        return 0;
    }
    return sendContacts(connection.db(), names, folder, control, version);
}

} // namespace quenda
