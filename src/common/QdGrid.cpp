#include "common/QdGrid.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace quenda {

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

QdGrid::QdGrid(QWidget *parent) : QTableView(parent)
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
}

void QdGrid::setModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &link : std::as_const(m_modelLinks))
        disconnect(link);
    m_modelLinks.clear();
    QTableView::setModel(model);
    if (!model) {
        clearSpans();
        return;
    }
    const auto spans = [this] { updateSpans(); };
    m_modelLinks << connect(model, &QAbstractItemModel::modelReset, this, spans)
                 << connect(model, &QAbstractItemModel::rowsInserted, this, spans)
                 << connect(model, &QAbstractItemModel::rowsRemoved, this, spans);
    m_modelLinks << connect(
        model, &QAbstractItemModel::dataChanged, this,
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

QModelIndex QdGrid::cellIndex(int row, int col) const
{
    if (row < 1 || row > dataRows() || col < 0 || col >= cols())
        return {};
    return model()->index(row - 1, col);
}

void QdGrid::setFormatString(const QString &format)
{
    const QStringList parts = format.split(QLatin1Char('|'));
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

int QdGrid::cols() const
{
    return model() ? model()->columnCount() : 0;
}

void QdGrid::setColHeader(int col, const QString &text)
{
    if (model())
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
    if (twips <= 0) {
        setColumnHidden(col, true);
        return;
    }
    setColumnHidden(col, false);
    setColumnWidth(col, twips / 15);
}

void QdGrid::setColHidden(int col, bool hidden)
{
    setColumnHidden(col, hidden);
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

int QdGrid::rows() const
{
    return dataRows() + 1;
}

int QdGrid::dataRows() const
{
    return model() ? model()->rowCount() : 0;
}

QString QdGrid::text(int row, int col) const
{
    if (row == 0)
        return colHeader(col);
    return cellIndex(row, col).data(Qt::DisplayRole).toString();
}

QString QdGrid::text(int row, const QString &key) const
{
    return text(row, colIndex(key));
}

bool QdGrid::isChecked(int row, int col) const
{
    return cellIndex(row, col).data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

void QdGrid::setChecked(int row, int col, bool checked)
{
    if (const QModelIndex idx = cellIndex(row, col); idx.isValid())
        model()->setData(idx, checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
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
