#include "common/QdGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace quenda {

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
    QStringList keys;
    std::vector<bool> checkCols;
    std::vector<bool> mergeCols;
    std::vector<bool> editCols;
    QColor textColor;
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
            if (r.fore.isValid())
                return r.fore;
            return textColor.isValid() ? QVariant(textColor) : QVariant();
        default:
            return {};
        }
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

    void ensureCols(int n)
    {
        if (n <= colCount)
            return;
        beginInsertColumns(QModelIndex(), colCount, n - 1);
        colCount = n;
        while (headers.size() < n)
            headers.append(QString());
        while (keys.size() < n)
            keys.append(QString());
        checkCols.resize(n, false);
        mergeCols.resize(n, false);
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

// Coloured rows keep their colours when selected, so a mark is never hidden by the selection.
class MarkDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(Qt::BackgroundRole).isValid() && (option->state & QStyle::State_Selected)) {
            option->state &= ~QStyle::State_Selected;
            option->state |= QStyle::State_HasFocus;
        }
    }
};

} // namespace

QdGrid::QdGrid(QWidget *parent) : QTableView(parent), m_model(new QdGridModel(this))
{
    setModel(m_model);
    setItemDelegate(new MarkDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    setWordWrap(false);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current, const QModelIndex &) {
                Q_EMIT currentRowNumberChanged(current.isValid() ? current.row() + 1 : 0);
            });
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &tl, const QModelIndex &br, const QList<int> &roles) {
                if (!roles.contains(Qt::CheckStateRole))
                    return;
                for (int r = tl.row(); r <= br.row(); ++r)
                    for (int c = tl.column(); c <= br.column(); ++c)
                        Q_EMIT checkToggled(r + 1, c, isChecked(r + 1, c));
            });
}

void QdGrid::setFormatString(const QString &format)
{
    const QStringList parts = format.split(QLatin1Char('|'));
    m_model->ensureCols(static_cast<int>(parts.size()));
    const QFontMetrics fm = horizontalHeader()->fontMetrics();
    for (int c = 0; c < parts.size(); ++c) {
        QString header = parts[c];
        if (!header.isEmpty() && QStringLiteral("<^>").contains(header.front()))
            header.remove(0, 1);
        m_model->headers[c] = header.trimmed();
        if (!isColumnHidden(c))
            setColumnWidth(c, header.isEmpty() ? 12 : fm.horizontalAdvance(header) + 10);
    }
    Q_EMIT m_model->headerDataChanged(Qt::Horizontal, 0, m_model->colCount - 1);
}

void QdGrid::setCols(int count)
{
    m_model->ensureCols(count);
}

int QdGrid::cols() const
{
    return m_model->colCount;
}

void QdGrid::setColHeader(int col, const QString &text)
{
    m_model->ensureCols(col + 1);
    m_model->headers[col] = text;
    Q_EMIT m_model->headerDataChanged(Qt::Horizontal, col, col);
}

QString QdGrid::colHeader(int col) const
{
    return col >= 0 && col < m_model->headers.size() ? m_model->headers[col] : QString();
}

void QdGrid::setColKey(int col, const QString &key)
{
    m_model->ensureCols(col + 1);
    m_model->keys[col] = key;
}

QString QdGrid::colKey(int col) const
{
    return col >= 0 && col < m_model->keys.size() ? m_model->keys[col] : QString();
}

int QdGrid::colIndex(const QString &key) const
{
    return static_cast<int>(m_model->keys.indexOf(key));
}

void QdGrid::setColWidthTwips(int col, int twips)
{
    m_model->ensureCols(col + 1);
    if (twips <= 0) {
        setColumnHidden(col, true);
        return;
    }
    setColumnHidden(col, false);
    setColumnWidth(col, twips / 15);
}

void QdGrid::setColHidden(int col, bool hidden)
{
    m_model->ensureCols(col + 1);
    setColumnHidden(col, hidden);
}

void QdGrid::setCheckColumn(int col, bool isCheck)
{
    m_model->ensureCols(col + 1);
    m_model->checkCols[col] = isCheck;
    m_model->refreshAll();
}

void QdGrid::setColMerge(int col, bool merge)
{
    m_model->ensureCols(col + 1);
    m_model->mergeCols[col] = merge;
    updateSpans();
}

void QdGrid::setColEditable(int col, bool editable)
{
    m_model->ensureCols(col + 1);
    m_model->editCols[col] = editable;
}

int QdGrid::rows() const
{
    return dataRows() + 1;
}

int QdGrid::dataRows() const
{
    return static_cast<int>(m_model->rows.size());
}

void QdGrid::clearRows()
{
    m_model->beginResetModel();
    m_model->rows.clear();
    m_model->endResetModel();
    updateSpans();
}

int QdGrid::addRow(const QStringList &cells)
{
    const int at = dataRows();
    m_model->ensureCols(static_cast<int>(cells.size()));
    m_model->beginInsertRows(QModelIndex(), at, at);
    m_model->rows.push_back(GridRow{cells, {}, {}});
    m_model->endInsertRows();
    updateSpans();
    return at + 1;
}

void QdGrid::removeRow(int row)
{
    if (row < 1 || row > dataRows())
        return;
    m_model->beginRemoveRows(QModelIndex(), row - 1, row - 1);
    m_model->rows.erase(m_model->rows.begin() + (row - 1));
    m_model->endRemoveRows();
    updateSpans();
}

QString QdGrid::text(int row, int col) const
{
    if (row == 0)
        return colHeader(col);
    if (row < 1 || row > dataRows() || col < 0)
        return QString();
    return m_model->cell(row - 1, col);
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
    if (row < 1 || row > dataRows())
        return;
    m_model->ensureCols(col + 1);
    m_model->setCell(row - 1, col, value);
    const QModelIndex idx = m_model->index(row - 1, col);
    Q_EMIT m_model->dataChanged(idx, idx);
    if (col < static_cast<int>(m_model->mergeCols.size()) && m_model->mergeCols[col])
        updateSpans();
}

void QdGrid::setText(int row, const QString &key, const QString &value)
{
    setText(row, colIndex(key), value);
}

bool QdGrid::isChecked(int row, int col) const
{
    return QdGridModel::truthy(text(row, col));
}

void QdGrid::setChecked(int row, int col, bool checked)
{
    if (row < 1 || row > dataRows() || col < 0)
        return;
    m_model->setData(m_model->index(row - 1, col), checked ? Qt::Checked : Qt::Unchecked,
                     Qt::CheckStateRole);
}

void QdGrid::setRowsData(std::vector<QStringList> rows)
{
    int widest = 0;
    for (const QStringList &r : rows)
        widest = std::max(widest, static_cast<int>(r.size()));
    m_model->ensureCols(widest);
    m_model->beginResetModel();
    m_model->rows.clear();
    m_model->rows.reserve(rows.size());
    for (QStringList &r : rows)
        m_model->rows.push_back(GridRow{std::move(r), {}, {}});
    m_model->endResetModel();
    updateSpans();
}

void QdGrid::setRowColors(int row, const QColor &back, const QColor &fore)
{
    if (row < 1 || row > dataRows())
        return;
    GridRow &r = m_model->rows[row - 1];
    r.back = back;
    r.fore = fore;
    if (m_model->colCount > 0)
        Q_EMIT m_model->dataChanged(m_model->index(row - 1, 0),
                                    m_model->index(row - 1, m_model->colCount - 1));
}

void QdGrid::setRowMarked(int row, bool marked)
{
    setRowColors(row, marked ? markedBack() : unmarkedBack(),
                 marked ? markedFore() : palette().color(QPalette::WindowText));
}

void QdGrid::toggleRowMark(int row)
{
    setRowMarked(row, !isRowMarked(row));
}

bool QdGrid::isRowMarked(int row) const
{
    return row >= 1 && row <= dataRows() && m_model->rows[row - 1].back == markedBack();
}

void QdGrid::setAllRowsMarked(bool marked)
{
    const QColor back = marked ? markedBack() : unmarkedBack();
    const QColor fore = marked ? markedFore() : palette().color(QPalette::WindowText);
    for (GridRow &r : m_model->rows) {
        r.back = back;
        r.fore = fore;
    }
    m_model->refreshAll();
}

QColor QdGrid::rowBackColor(int row) const
{
    return row >= 1 && row <= dataRows() ? m_model->rows[row - 1].back : QColor();
}

void QdGrid::setGridTextColor(const QColor &color)
{
    m_model->textColor = color;
    m_model->refreshAll();
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
    setCurrentIndex(m_model->index(row - 1, col));
}

void QdGrid::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex idx = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
    if (idx.isValid())
        Q_EMIT rowPressed(idx.row() + 1, event->button(), event->modifiers());
    else
        Q_EMIT rowPressed(0, event->button(), event->modifiers());
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
    bool any = false;
    for (bool m : m_model->mergeCols)
        any = any || m;
    if (!any)
        return;
    clearSpans();
    const int n = dataRows();
    for (int c = 0; c < m_model->colCount; ++c) {
        if (!m_model->mergeCols[c])
            continue;
        int start = 0;
        for (int r = 1; r <= n; ++r) {
            if (r == n || m_model->cell(r, c) != m_model->cell(start, c)) {
                if (r - start > 1)
                    setSpan(start, c, r - start, 1);
                start = r;
            }
        }
    }
}

} // namespace quenda
