#include "filecopier/office_list_model.h"

namespace quenda {

namespace {

using Col = RowColumn<OfficeListRow>;

std::vector<Col> officeColumns()
{
    return {
        Col::text(QStringLiteral("App"), QStringLiteral("Application"),
                  &OfficeListRow::application),
        Col::text(QStringLiteral("Path"), QStringLiteral("Path"), &OfficeListRow::path),
        Col::tick(QStringLiteral("SelectFile"), QStringLiteral("SelectFile"),
                  &OfficeListRow::selected),
        Col::text(QStringLiteral("Type"), QStringLiteral("Type"), &OfficeListRow::type),
        Col::text(QStringLiteral("FileSize"), QStringLiteral("FileSize"), &OfficeListRow::size)};
}

} // namespace

std::vector<OfficeListRow> officeListRows(const std::vector<QStringList> &records)
{
    std::vector<OfficeListRow> rows;
    rows.reserve(records.size());
    for (const QStringList &r : records)
        rows.push_back({r.value(kOfficeApplication), r.value(kOfficePath),
                        r.value(kOfficeSelect) == QLatin1String("1"), r.value(kOfficeType),
                        r.value(kOfficeSize)});
    return rows;
}

OfficeListModel::OfficeListModel(QObject *parent)
    : RowTableModel<OfficeListRow>(officeColumns(), parent)
{
}

void OfficeListModel::setSelected(const QString &path, bool selected)
{
    for (int r = 0; r < rowCount(); ++r)
        if (row(r).path == path)
            updateRow(r, [selected](OfficeListRow &row) { row.selected = selected; });
}

void OfficeListModel::setAllSelected(bool selected)
{
    for (int r = 0; r < rowCount(); ++r)
        updateRow(r, [selected](OfficeListRow &row) { row.selected = selected; });
}

void OfficeListModel::removePath(const QString &path)
{
    std::vector<OfficeListRow> kept;
    for (const OfficeListRow &r : rows())
        if (r.path != path)
            kept.push_back(r);
    if (kept.size() != rows().size())
        setRows(std::move(kept));
}

QStringList OfficeListModel::selectedPaths() const
{
    QStringList paths;
    for (const OfficeListRow &r : rows())
        if (r.selected)
            paths << r.path;
    return paths;
}

std::vector<std::pair<QString, bool>> OfficeListModel::selectionStates() const
{
    std::vector<std::pair<QString, bool>> states;
    states.reserve(rows().size());
    for (const OfficeListRow &r : rows())
        states.emplace_back(r.path, r.selected);
    return states;
}

} // namespace quenda
