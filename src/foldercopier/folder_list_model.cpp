#include "foldercopier/folder_list_model.h"

#include <QDir>
#include <QFont>

namespace quenda {

namespace {

using Col = RowColumn<SchemeFolderRow>;

std::vector<Col> folderColumns()
{
    return {Col::blank(),
            Col::computed(QStringLiteral("FolderPath"), QStringLiteral("FolderPath"),
                          [](const SchemeFolderRow &r) {
                              return QVariant(QDir::toNativeSeparators(r.path));
                          }),
            Col::text(QStringLiteral("FolderName"), QStringLiteral("FolderName"),
                      &SchemeFolderRow::name),
            Col::computed(QStringLiteral("FolderSize"), QStringLiteral("FolderSize"),
                          [](const SchemeFolderRow &r) {
                              return QVariant(r.size ? QString::number(*r.size) : QString());
                          }),
            Col::tick(QStringLiteral("SelectFolder"), QStringLiteral("SelectFolder"),
                      &SchemeFolderRow::ticked),
            Col::text(QStringLiteral("ScheemeName"), QStringLiteral("ScheemeName"),
                      &SchemeFolderRow::scheme)};
}

} // namespace

FolderListModel::FolderListModel(QObject *parent)
    : RowTableModel<SchemeFolderRow>(folderColumns(), parent)
{
}

QVariant FolderListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const bool ticked = row(index.row()).ticked;
    if (role == RowMarkRole)
        return static_cast<int>(ticked ? RowMark::Marked : RowMark::None);
    if (role == Qt::FontRole && ticked) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    return RowTableModel<SchemeFolderRow>::data(index, role);
}

bool FolderListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    // Marking a row ticks it: the two never disagree.
    if (role == RowMarkRole) {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid))
            return false;
        setTicked(index.row(), static_cast<RowMark>(value.toInt()) == RowMark::Marked);
        return true;
    }
    const bool changed = RowTableModel<SchemeFolderRow>::setData(index, value, role);
    // The whole row takes the tick's colours.
    if (changed && role == Qt::CheckStateRole)
        Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1),
                           {RowMarkRole, Qt::FontRole});
    return changed;
}

void FolderListModel::setTicked(int r, bool ticked)
{
    if (row(r).ticked == ticked)
        return;
    updateRow(r, [ticked](SchemeFolderRow &folder) { folder.ticked = ticked; });
}

void FolderListModel::setAllTicked(bool ticked)
{
    for (int r = 0; r < rowCount(); ++r)
        setTicked(r, ticked);
}

QStringList FolderListModel::tickedPaths() const
{
    QStringList paths;
    for (const SchemeFolderRow &r : rows())
        if (r.ticked)
            paths << r.path;
    return paths;
}

std::vector<std::pair<QString, bool>> FolderListModel::ticks() const
{
    std::vector<std::pair<QString, bool>> list;
    list.reserve(rows().size());
    for (const SchemeFolderRow &r : rows())
        list.emplace_back(r.path, r.ticked);
    return list;
}

QHash<QString, bool> FolderListModel::ticksOfScheme(const QString &scheme) const
{
    QHash<QString, bool> out;
    for (const SchemeFolderRow &r : rows())
        if (r.scheme == scheme)
            out.insert(r.path, r.ticked);
    return out;
}

void FolderListModel::restoreTicks(const QHash<QString, bool> &ticks)
{
    for (int r = 0; r < rowCount(); ++r)
        if (const auto it = ticks.constFind(row(r).path); it != ticks.constEnd())
            setTicked(r, *it);
}

} // namespace quenda
