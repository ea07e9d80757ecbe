#include "common/QdGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace quenda {

// The legacy string model: cells are texts, a tick is the text "1" and a mark is the row's
// colour. Only windows not yet given a typed model of their own fill it.
struct GridRow {
    QStringList cells;
    QColor back;
    QColor fore;
};

class QdGridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::beginInsertRows;
    using QAbstractTableModel::beginRemoveRows;
    using QAbstractTableModel::beginResetModel;
    using QAbstractTableModel::endInsertRows;
    using QAbstractTableModel::endRemoveRows;
    using QAbstractTableModel::endResetModel;
    using QAbstractTableModel::QAbstractTableModel;

    std::vector<GridRow> rows;
    QStringList headers;
    std::vector<bool> checkCols;
    std::vector<bool> editCols;
    int colCount = 0;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows.size());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : colCount;
    }

    bool isCheckCol(int col) const
    {
        return col >= 0 && col < static_cast<int>(checkCols.size()) && checkCols[col];
    }

    static bool truthy(const QString &v)
    {
        return v == QLatin1String("1") || v == QLatin1String("-1") ||
               v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    }

    QString cell(int row, int col) const
    {
        const QStringList &c = rows[row].cells;
        return col < c.size() ? c[col] : QString();
    }

    void setCell(int row, int col, const QString &text)
    {
        QStringList &c = rows[row].cells;
        while (c.size() <= col)
            c.append(QString());
        c[col] = text;
    }

    static RowMark markOf(const GridRow &r)
    {
        if (r.back == QdGrid::markedBack())
            return RowMark::Marked;
        return r.back == QdGrid::unmarkedBack() ? RowMark::WasMarked : RowMark::None;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        const GridRow &r = rows[index.row()];
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return isCheckCol(index.column()) ? QVariant()
                                              : QVariant(cell(index.row(), index.column()));
        case Qt::CheckStateRole:
            if (isCheckCol(index.column()))
                return truthy(cell(index.row(), index.column())) ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::BackgroundRole:
            return r.back.isValid() ? QVariant(r.back) : QVariant();
        case Qt::ForegroundRole:
            return r.fore.isValid() ? QVariant(r.fore) : QVariant();
        case RowMarkRole:
            return static_cast<int>(markOf(r));
        default:
            return {};
        }
    }

    void setColors(int row, const QColor &back, const QColor &fore)
    {
        rows[row].back = back;
        rows[row].fore = fore;
        if (colCount > 0)
            Q_EMIT dataChanged(index(row, 0), index(row, colCount - 1));
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (!index.isValid())
            return false;
        if (role == Qt::CheckStateRole && isCheckCol(index.column())) {
            const bool on = value.toInt() == Qt::Checked;
            setCell(index.row(), index.column(), on ? QStringLiteral("1") : QStringLiteral("0"));
            Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
            return true;
        }
        if (role == Qt::EditRole) {
            setCell(index.row(), index.column(), value.toString());
            Q_EMIT dataChanged(index, index);
            return true;
        }
        if (role == RowMarkRole) {
            const auto mark = static_cast<RowMark>(value.toInt());
            if (mark == RowMark::None)
                setColors(index.row(), QColor(), QColor());
            else
                setColors(index.row(),
                          mark == RowMark::Marked ? QdGrid::markedBack() : QdGrid::unmarkedBack(),
                          QColor());
            return true;
        }
        return false;
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags f = QAbstractTableModel::flags(index);
        if (isCheckCol(index.column()))
            f |= Qt::ItemIsUserCheckable;
        else if (index.column() < static_cast<int>(editCols.size()) && editCols[index.column()])
            f |= Qt::ItemIsEditable;
        return f;
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole)
            return section < headers.size() ? headers[section] : QString();
        return QAbstractTableModel::headerData(section, o, role);
    }

    bool setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) override
    {
        if (o != Qt::Horizontal || section < 0 || role != Qt::EditRole)
            return false;
        ensureCols(section + 1);
        headers[section] = value.toString();
        Q_EMIT headerDataChanged(o, section, section);
        return true;
    }

    void ensureCols(int n)
    {
        if (n <= colCount)
            return;
        beginInsertColumns(QModelIndex(), colCount, n - 1);
        colCount = n;
        while (headers.size() < n)
            headers.append(QString());
        checkCols.resize(n, false);
        editCols.resize(n, false);
        endInsertColumns();
    }

    void refreshAll()
    {
        if (!rows.empty() && colCount > 0)
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, colCount - 1));
    }
};

namespace {

// Paints a row's mark in the mark colours, and keeps a coloured row's colours when it is
// selected, so a mark is never hidden by the selection.
class MarkDelegate : public QStyledItemDelegate {
public:
    MarkDelegate(const QdGrid *grid) : QStyledItemDelegate(const_cast<QdGrid *>(grid)), m_grid(grid)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto mark = static_cast<RowMark>(index.data(RowMarkRole).toInt());
        bool coloured = index.data(Qt::BackgroundRole).isValid();
        if (mark == RowMark::Marked) {
            option->backgroundBrush = QdGrid::markedBack();
            option->palette.setColor(QPalette::Text, QdGrid::markedFore());
            coloured = true;
        } else if (mark == RowMark::WasMarked) {
            option->backgroundBrush = QdGrid::unmarkedBack();
            option->palette.setColor(QPalette::Text, m_grid->palette().color(QPalette::WindowText));
            coloured = true;
        }
        if (mark == RowMark::None && !index.data(Qt::ForegroundRole).isValid() &&
            m_grid->gridTextColor().isValid())
            option->palette.setColor(QPalette::Text, m_grid->gridTextColor());
        if (coloured && (option->state & QStyle::State_Selected)) {
            option->state &= ~QStyle::State_Selected;
            option->state |= QStyle::State_HasFocus;
        }
    }

private:
    const QdGrid *m_grid;
};

} // namespace

QdGrid::QdGrid(QWidget *parent) : QTableView(parent), m_legacy(new QdGridModel(this))
{
    setItemDelegate(new MarkDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    setWordWrap(false);
    setModel(m_legacy);
}

void QdGrid::setModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &link : std::as_const(m_modelLinks))
        disconnect(link);
    m_modelLinks.clear();
    QTableView::setModel(model ? model : m_legacy);
    QAbstractItemModel *m = QTableView::model();
    const auto spans = [this] { updateSpans(); };
    m_modelLinks << connect(m, &QAbstractItemModel::modelReset, this, spans)
                 << connect(m, &QAbstractItemModel::rowsInserted, this, spans)
                 << connect(m, &QAbstractItemModel::rowsRemoved, this, spans);
    m_modelLinks << connect(
        m, &QAbstractItemModel::dataChanged, this,
        [this](const QModelIndex &tl, const QModelIndex &br, const QList<int> &roles) {
            bool merged = false;
            for (int c = tl.column(); c <= br.column(); ++c)
                merged = merged || (c < static_cast<int>(m_mergeCols.size()) && m_mergeCols[c]);
            if (merged && (roles.isEmpty() || roles.contains(Qt::DisplayRole)))
                updateSpans();
            if (!roles.contains(Qt::CheckStateRole))
                return;
            for (int r = tl.row(); r <= br.row(); ++r)
                for (int c = tl.column(); c <= br.column(); ++c)
                    Q_EMIT checkToggled(r + 1, c, isChecked(r + 1, c));
        });
    m_modelLinks << connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                            [this](const QModelIndex &current, const QModelIndex &) {
                                Q_EMIT currentRowNumberChanged(current.isValid() ? current.row() + 1
                                                                                 : 0);
                            });
    updateSpans();
}

bool QdGrid::legacy() const
{
    return model() == m_legacy;
}

QModelIndex QdGrid::cellIndex(int row, int col) const
{
    if (row < 1 || row > dataRows() || col < 0 || col >= cols())
        return {};
    return model()->index(row - 1, col);
}

void QdGrid::setFormatString(const QString &format)
{
    const QStringList parts = format.split(QLatin1Char('|'));
    if (legacy())
        m_legacy->ensureCols(static_cast<int>(parts.size()));
    const QFontMetrics fm = horizontalHeader()->fontMetrics();
    for (int c = 0; c < parts.size() && c < cols(); ++c) {
        QString header = parts[c];
        if (!header.isEmpty() && QStringLiteral("<^>").contains(header.front()))
            header.remove(0, 1);
        model()->setHeaderData(c, Qt::Horizontal, header.trimmed(), Qt::EditRole);
        if (!isColumnHidden(c))
            setColumnWidth(c, header.isEmpty() ? 12 : fm.horizontalAdvance(header) + 10);
    }
}

void QdGrid::setCols(int count)
{
    if (legacy())
        m_legacy->ensureCols(count);
}

int QdGrid::cols() const
{
    return model()->columnCount();
}

void QdGrid::setColHeader(int col, const QString &text)
{
    model()->setHeaderData(col, Qt::Horizontal, text, Qt::EditRole);
}

QString QdGrid::colHeader(int col) const
{
    return col >= 0 && col < cols() ? model()->headerData(col, Qt::Horizontal).toString()
                                    : QString();
}

void QdGrid::setColKey(int col, const QString &key)
{
    if (col < 0)
        return;
    while (m_keys.size() <= col)
        m_keys.append(QString());
    m_keys[col] = key;
}

QString QdGrid::colKey(int col) const
{
    if (col >= 0 && col < m_keys.size() && !m_keys[col].isEmpty())
        return m_keys[col];
    const auto *rows = dynamic_cast<const RowModelBase *>(model());
    return rows ? rows->columnKey(col) : QString();
}

int QdGrid::colIndex(const QString &key) const
{
    if (key.isEmpty())
        return -1;
    if (const qsizetype at = m_keys.indexOf(key); at >= 0)
        return static_cast<int>(at);
    const auto *rows = dynamic_cast<const RowModelBase *>(model());
    return rows ? rows->columnOf(key) : -1;
}

void QdGrid::setColWidthTwips(int col, int twips)
{
    if (legacy())
        m_legacy->ensureCols(col + 1);
    if (twips <= 0) {
        setColumnHidden(col, true);
        return;
    }
    setColumnHidden(col, false);
    setColumnWidth(col, twips / 15);
}

void QdGrid::setColHidden(int col, bool hidden)
{
    if (legacy())
        m_legacy->ensureCols(col + 1);
    setColumnHidden(col, hidden);
}

void QdGrid::setCheckColumn(int col, bool isCheck)
{
    if (!legacy())
        return;
    m_legacy->ensureCols(col + 1);
    m_legacy->checkCols[col] = isCheck;
    m_legacy->refreshAll();
}

void QdGrid::setColMerge(int col, bool merge)
{
    if (col < 0)
        return;
    if (static_cast<int>(m_mergeCols.size()) <= col)
        m_mergeCols.resize(col + 1, false);
    m_mergeCols[col] = merge;
    updateSpans();
}

void QdGrid::setColEditable(int col, bool editable)
{
    if (!legacy())
        return;
    m_legacy->ensureCols(col + 1);
    m_legacy->editCols[col] = editable;
}

int QdGrid::rows() const
{
    return dataRows() + 1;
}

int QdGrid::dataRows() const
{
    return model()->rowCount();
}

void QdGrid::clearRows()
{
    if (!legacy())
        return;
    m_legacy->beginResetModel();
    m_legacy->rows.clear();
    m_legacy->endResetModel();
}

int QdGrid::addRow(const QStringList &cells)
{
    if (!legacy())
        return 0;
    const int at = dataRows();
    m_legacy->ensureCols(static_cast<int>(cells.size()));
    m_legacy->beginInsertRows(QModelIndex(), at, at);
    m_legacy->rows.push_back(GridRow{cells, {}, {}});
    m_legacy->endInsertRows();
    return at + 1;
}

void QdGrid::removeRow(int row)
{
    if (!legacy() || row < 1 || row > dataRows())
        return;
    m_legacy->beginRemoveRows(QModelIndex(), row - 1, row - 1);
    m_legacy->rows.erase(m_legacy->rows.begin() + (row - 1));
    m_legacy->endRemoveRows();
}

QString QdGrid::text(int row, int col) const
{
    if (row == 0)
        return colHeader(col);
    if (legacy())
        return row >= 1 && row <= dataRows() && col >= 0 ? m_legacy->cell(row - 1, col) : QString();
    return cellIndex(row, col).data(Qt::DisplayRole).toString();
}

QString QdGrid::text(int row, const QString &key) const
{
    return text(row, colIndex(key));
}

void QdGrid::setText(int row, int col, const QString &value)
{
    if (col < 0)
        return;
    if (row == 0) {
        setColHeader(col, value);
        return;
    }
    if (!legacy() || row < 1 || row > dataRows())
        return;
    m_legacy->ensureCols(col + 1);
    m_legacy->setCell(row - 1, col, value);
    const QModelIndex idx = m_legacy->index(row - 1, col);
    Q_EMIT m_legacy->dataChanged(idx, idx);
}

void QdGrid::setText(int row, const QString &key, const QString &value)
{
    setText(row, colIndex(key), value);
}

bool QdGrid::isChecked(int row, int col) const
{
    if (legacy())
        return QdGridModel::truthy(text(row, col));
    return cellIndex(row, col).data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

void QdGrid::setChecked(int row, int col, bool checked)
{
    if (const QModelIndex idx = cellIndex(row, col); idx.isValid())
        model()->setData(idx, checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

void QdGrid::setRowsData(std::vector<QStringList> rows)
{
    if (!legacy())
        return;
    int widest = 0;
    for (const QStringList &r : rows)
        widest = std::max(widest, static_cast<int>(r.size()));
    m_legacy->ensureCols(widest);
    m_legacy->beginResetModel();
    m_legacy->rows.clear();
    m_legacy->rows.reserve(rows.size());
    for (QStringList &r : rows)
        m_legacy->rows.push_back(GridRow{std::move(r), {}, {}});
    m_legacy->endResetModel();
}

void QdGrid::setRowColors(int row, const QColor &back, const QColor &fore)
{
    if (legacy() && row >= 1 && row <= dataRows())
        m_legacy->setColors(row - 1, back, fore);
}

QColor QdGrid::rowBackColor(int row) const
{
    return legacy() && row >= 1 && row <= dataRows() ? m_legacy->rows[row - 1].back : QColor();
}

void QdGrid::setRowMarked(int row, bool marked)
{
    if (const QModelIndex idx = cellIndex(row, 0); idx.isValid())
        model()->setData(idx, static_cast<int>(marked ? RowMark::Marked : RowMark::WasMarked),
                         RowMarkRole);
}

void QdGrid::toggleRowMark(int row)
{
    setRowMarked(row, !isRowMarked(row));
}

bool QdGrid::isRowMarked(int row) const
{
    return static_cast<RowMark>(cellIndex(row, 0).data(RowMarkRole).toInt()) == RowMark::Marked;
}

void QdGrid::setAllRowsMarked(bool marked)
{
    if (auto *rows = dynamic_cast<RowModelBase *>(model())) {
        rows->setAllMarked(marked);
        return;
    }
    for (int row = 1; row <= dataRows(); ++row)
        setRowMarked(row, marked);
}

void QdGrid::setGridTextColor(const QColor &color)
{
    m_textColor = color;
    viewport()->update();
}

int QdGrid::currentRowNumber() const
{
    const QModelIndex idx = currentIndex();
    return idx.isValid() ? idx.row() + 1 : 0;
}

void QdGrid::setCurrentRowNumber(int row)
{
    if (row < 1 || row > dataRows()) {
        setCurrentIndex(QModelIndex());
        return;
    }
    int col = 0;
    while (col < cols() - 1 && isColumnHidden(col))
        ++col;
    setCurrentIndex(model()->index(row - 1, col));
}

void QdGrid::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex idx = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
    Q_EMIT rowPressed(idx.isValid() ? idx.row() + 1 : 0, event->button(), event->modifiers());
}

void QdGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex idx = indexAt(event->position().toPoint());
    QTableView::mouseDoubleClickEvent(event);
    if (idx.isValid())
        Q_EMIT rowDoubleClicked(idx.row() + 1);
}

void QdGrid::updateSpans()
{
    if (std::none_of(m_mergeCols.begin(), m_mergeCols.end(), [](bool m) { return m; }))
        return;
    clearSpans();
    const int n = dataRows();
    const int columns = std::min(cols(), static_cast<int>(m_mergeCols.size()));
    for (int c = 0; c < columns; ++c) {
        if (!m_mergeCols[c])
            continue;
        int start = 0;
        QString startText = n > 0 ? text(1, c) : QString();
        for (int r = 1; r <= n; ++r) {
            const QString here = r < n ? text(r + 1, c) : QString();
            if (r == n || here != startText) {
                if (r - start > 1)
                    setSpan(start, c, r - start, 1);
                start = r;
                startText = here;
            }
        }
    }
}

} // namespace quenda
