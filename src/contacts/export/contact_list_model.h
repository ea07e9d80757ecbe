#pragma once
// The contacts the export window lists, one typed row each; the marked ones are exported.

#include "common/row_table_model.h"
#include "db/contacts.h"

namespace quenda {

class ContactListModel : public RowTableModel<ContactListRow> {
public:
    // A blank leading column, then the list's fields headed by their database names until the
    // window's layout renames them.
    explicit ContactListModel(QObject *parent = nullptr);

    static constexpr int kIdColumn = 1;

    // The ids of the marked rows, in row order.
    QList<qint64> markedIds() const;
};

// The "Send Ipod" list: every contact's name, in the order the cards are written.
struct ContactNameRow {
    QString name;
};

class ContactNameModel : public RowTableModel<ContactNameRow> {
public:
    explicit ContactNameModel(QObject *parent = nullptr);
    void setNames(const QStringList &names);
    QStringList names() const;
};

} // namespace quenda
