#pragma once
// A table model over a vector of typed rows. Each list a window shows is a short row struct and
// a few column lines; the view (QdGrid) only draws what the model answers. Ticks are
// Qt::CheckStateRole, a row's mark is RowMarkRole, and a window reads a row back as its struct,
// never by parsing a cell's text.

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace quenda {

// What the grid paints a row as: plain, marked, or marked once and then unmarked.
enum class RowMark : quint8 { None, Marked, WasMarked };

// The role a model answers with a RowMark (as an int) for every cell of a row.
inline constexpr int RowMarkRole = Qt::UserRole + 0x4d4b;

// One column: a key windows and tests name it by, the header shown, and how the cell reads and
// writes its row. A column with `checked` is a tick box; with `set` its text is editable.
template <class Row> struct RowColumn {
    QString key;
    QString header;
    std::function<QVariant(const Row &)> get;
    std::function<void(Row &, const QString &)> set;
    std::function<bool(const Row &)> checked;
    std::function<void(Row &, bool)> setChecked;

    // The blank leading column of the old grids' look.
    static RowColumn blank() { return {}; }
    // A read-only column showing what `get` makes of the row.
    static RowColumn computed(QString key, QString header, std::function<QVariant(const Row &)> get)
    {
        RowColumn c;
        c.key = std::move(key);
        c.header = std::move(header);
        c.get = std::move(get);
        return c;
    }
    static RowColumn text(QString key, QString header, QString Row::*member)
    {
        return computed(std::move(key), std::move(header),
                        [member](const Row &r) { return QVariant(r.*member); });
    }
    static RowColumn editable(QString key, QString header, QString Row::*member)
    {
        RowColumn c = text(std::move(key), std::move(header), member);
        c.set = [member](Row &r, const QString &v) { r.*member = v; };
        return c;
    }
    static RowColumn tick(QString key, QString header, bool Row::*member)
    {
        RowColumn c;
        c.key = std::move(key);
        c.header = std::move(header);
        c.checked = [member](const Row &r) { return r.*member; };
        c.setChecked = [member](Row &r, bool on) { r.*member = on; };
        return c;
    }
};

// What every row model shares without knowing its row type: the marks, header texts a view
// overrides, and column keys.
class RowModelBase : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;

    RowMark mark(int row) const;
    bool isMarked(int row) const { return mark(row) == RowMark::Marked; }
    void setMark(int row, RowMark mark);
    // Marked becomes WasMarked and anything else Marked, as a double-click does.
    void toggleMark(int row);
    void setAllMarked(bool marked);
    std::vector<int> markedRows() const;

    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    virtual QString columnKey(int column) const = 0;
    int columnOf(const QString &key) const; // -1 when no column has the key

protected:
    virtual QString columnHeader(int column) const = 0;
    void resetMarks(size_t rows) { m_marks.assign(rows, RowMark::None); }
    std::vector<RowMark> m_marks;

private:
    void rowChanged(int row);
    QStringList m_headers; // set by the view's layout; an empty entry keeps the column's own
};

template <class Row> class RowTableModel : public RowModelBase {
public:
    explicit RowTableModel(std::vector<RowColumn<Row>> columns, QObject *parent = nullptr)
        : RowModelBase(parent), m_columns(std::move(columns))
    {
    }

    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
    }

    // Replaces every row in one reset, however many there are; marks start over.
    void setRows(std::vector<Row> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        resetMarks(m_rows.size());
        endResetModel();
    }
    // Replaces the columns and the rows together, for lists whose columns come from the data.
    void setColumnsAndRows(std::vector<RowColumn<Row>> columns, std::vector<Row> rows)
    {
        beginResetModel();
        m_columns = std::move(columns);
        m_rows = std::move(rows);
        resetMarks(m_rows.size());
        endResetModel();
    }
    const std::vector<Row> &rows() const { return m_rows; }
    const Row &row(int r) const { return m_rows[static_cast<size_t>(r)]; }
    // Changes one row in place and tells the views.
    template <class F> void updateRow(int r, F &&change)
    {
        change(m_rows[static_cast<size_t>(r)]);
        Q_EMIT dataChanged(index(r, 0), index(r, columnCount() - 1));
    }

    QString columnKey(int column) const override
    {
        return validColumn(column) ? m_columns[static_cast<size_t>(column)].key : QString();
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid))
            return {};
        const RowColumn<Row> &c = m_columns[static_cast<size_t>(index.column())];
        const Row &r = row(index.row());
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return c.get ? c.get(r) : QVariant();
        case Qt::CheckStateRole:
            return c.checked ? QVariant(c.checked(r) ? Qt::Checked : Qt::Unchecked) : QVariant();
        case RowMarkRole:
            return static_cast<int>(mark(index.row()));
        default:
            return {};
        }
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid))
            return false;
        const RowColumn<Row> &c = m_columns[static_cast<size_t>(index.column())];
        Row &r = m_rows[static_cast<size_t>(index.row())];
        if (role == Qt::CheckStateRole && c.setChecked) {
            c.setChecked(r, value.toInt() == Qt::Checked);
            Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
            return true;
        }
        if (role == Qt::EditRole && c.set) {
            c.set(r, value.toString());
            Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
            return true;
        }
        if (role == RowMarkRole) {
            setMark(index.row(), static_cast<RowMark>(value.toInt()));
            return true;
        }
        return false;
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags f = QAbstractTableModel::flags(index);
        if (!index.isValid())
            return f;
        const RowColumn<Row> &c = m_columns[static_cast<size_t>(index.column())];
        if (c.setChecked)
            f |= Qt::ItemIsUserCheckable;
        if (c.set)
            f |= Qt::ItemIsEditable;
        return f;
    }

protected:
    QString columnHeader(int column) const override
    {
        return validColumn(column) ? m_columns[static_cast<size_t>(column)].header : QString();
    }

private:
    bool validColumn(int column) const
    {
        return column >= 0 && column < static_cast<int>(m_columns.size());
    }

    std::vector<RowColumn<Row>> m_columns;
    std::vector<Row> m_rows;
};

} // namespace quenda
