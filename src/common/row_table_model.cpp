#include "common/row_table_model.h"

namespace quenda {

int RowModelBase::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_marks.size());
}

RowMark RowModelBase::mark(int row) const
{
    return row >= 0 && row < rowCount() ? m_marks[static_cast<size_t>(row)] : RowMark::None;
}

void RowModelBase::setMark(int row, RowMark mark)
{
    if (row < 0 || row >= rowCount() || m_marks[static_cast<size_t>(row)] == mark)
        return;
    m_marks[static_cast<size_t>(row)] = mark;
    rowChanged(row);
}

void RowModelBase::toggleMark(int row)
{
    setMark(row, isMarked(row) ? RowMark::WasMarked : RowMark::Marked);
}

void RowModelBase::setAllMarked(bool marked)
{
    if (m_marks.empty())
        return;
    m_marks.assign(m_marks.size(), marked ? RowMark::Marked : RowMark::WasMarked);
    if (columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {RowMarkRole});
}

std::vector<int> RowModelBase::markedRows() const
{
    std::vector<int> out;
    for (size_t r = 0; r < m_marks.size(); ++r)
        if (m_marks[r] == RowMark::Marked)
            out.push_back(static_cast<int>(r));
    return out;
}

bool RowModelBase::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                                 int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount() ||
        (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    while (m_headers.size() <= section)
        m_headers.append(QString());
    m_headers[section] = value.toString();
    Q_EMIT headerDataChanged(orientation, section, section);
    return true;
}

QVariant RowModelBase::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < columnCount())
        return section < m_headers.size() && !m_headers[section].isNull() ? m_headers[section]
                                                                          : columnHeader(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

int RowModelBase::columnOf(const QString &key) const
{
    if (key.isEmpty())
        return -1;
    for (int c = 0; c < columnCount(); ++c)
        if (columnKey(c) == key)
            return c;
    return -1;
}

void RowModelBase::rowChanged(int row)
{
    if (columnCount() > 0)
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1), {RowMarkRole});
}

} // namespace quenda
