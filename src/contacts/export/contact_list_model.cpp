#include "contacts/export/contact_list_model.h"

namespace quenda {

namespace {

using Col = RowColumn<ContactListRow>;

std::vector<Col> contactColumns()
{
    return {
        Col::blank(),
        Col::computed(QStringLiteral("id"), QStringLiteral("id"),
                      [](const ContactListRow &r) { return QVariant(QString::number(r.id)); }),
        Col::text(QStringLiteral("category1"), QStringLiteral("category1"),
                  &ContactListRow::category),
        Col::text(QStringLiteral("category2"), QStringLiteral("category2"),
                  &ContactListRow::subCategory),
        Col::text(QStringLiteral("name"), QStringLiteral("name"), &ContactListRow::name),
        Col::text(QStringLiteral("first"), QStringLiteral("first"), &ContactListRow::first),
        Col::text(QStringLiteral("last"), QStringLiteral("last"), &ContactListRow::last),
        Col::text(QStringLiteral("company"), QStringLiteral("company"), &ContactListRow::company),
        Col::text(QStringLiteral("priority"), QStringLiteral("priority"),
                  &ContactListRow::priority),
        Col::text(QStringLiteral("h_web"), QStringLiteral("h_web"), &ContactListRow::homeWeb),
        Col::text(QStringLiteral("b_web"), QStringLiteral("b_web"), &ContactListRow::workWeb)};
}

} // namespace

ContactListModel::ContactListModel(QObject *parent)
    : RowTableModel<ContactListRow>(contactColumns(), parent)
{
}

QList<qint64> ContactListModel::markedIds() const
{
    QList<qint64> ids;
    for (int r : markedRows())
        ids.append(row(r).id);
    return ids;
}

ContactNameModel::ContactNameModel(QObject *parent)
    : RowTableModel<ContactNameRow>(
          {RowColumn<ContactNameRow>::blank(),
           RowColumn<ContactNameRow>::text(QStringLiteral("Name"), QStringLiteral("Name"),
                                           &ContactNameRow::name)},
          parent)
{
}

void ContactNameModel::setNames(const QStringList &names)
{
    std::vector<ContactNameRow> rows;
    rows.reserve(names.size());
    for (const QString &name : names)
        rows.push_back({name});
    setRows(std::move(rows));
}

QStringList ContactNameModel::names() const
{
    QStringList out;
    out.reserve(rowCount());
    for (const ContactNameRow &r : rows())
        out.append(r.name);
    return out;
}

} // namespace quenda
