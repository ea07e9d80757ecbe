#pragma once
// The grid every window lists its rows in: a view over any item model, drawn in the old grid's
// shape. It speaks the windows' vocabulary: row 0 is the header and data rows count from 1;
// columns are addressed by number or by a key; a layout is a format text of headers separated
// by "|" whose trailing blanks set the column widths; equal neighbouring cells of a column may
// be merged. What a row holds, whether it is ticked (Qt::CheckStateRole) and whether it is
// marked (RowMarkRole) are the model's to say; the grid turns a mark into the mark colours.

#include "common/row_table_model.h"

#include <QColor>
#include <QStringList>
#include <QTableView>

#include <vector>

namespace quenda {

class QdGrid : public QTableView {
    Q_OBJECT
public:
    // A marked or ticked row: white on RGB 47, 103, 159.
    static QColor markedBack() { return QColor(47, 103, 159); }
    static QColor markedFore() { return QColor(255, 255, 255); }
    // A row that was marked and is no longer: RGB 175, 189, 205 on the window-text colour.
    static QColor unmarkedBack() { return QColor(175, 189, 205); }

    explicit QdGrid(QWidget *parent = nullptr);

    // The model whose rows the grid draws; until one is set the grid is empty.
    void setModel(QAbstractItemModel *model) override;

    // --- layout
    // Headers go to the model's setHeaderData; parts beyond the model's columns are ignored.
    void setFormatString(const QString &format);
    int cols() const;
    void setColHeader(int col, const QString &text);
    QString colHeader(int col) const;
    void setColKey(int col, const QString &key);
    QString colKey(int col) const;
    int colIndex(const QString &key) const;    // -1 when no column has the key
    void setColWidthTwips(int col, int twips); // 15 twips to a pixel; 0 hides the column
    void setColHidden(int col, bool hidden);
    void setColMerge(int col, bool merge = true);

    // --- data (row 0 is the header); read through any model
    int rows() const; // data rows + 1
    int dataRows() const;
    QString text(int row, int col) const;
    QString text(int row, const QString &key) const;
    bool isChecked(int row, int col) const;
    void setChecked(int row, int col, bool checked);

    // --- marks: asked of and told to the model's RowMarkRole
    void setRowMarked(int row, bool marked);
    void toggleRowMark(int row);
    bool isRowMarked(int row) const;
    void setAllRowsMarked(bool marked);
    // Unmarked rows without a colour of their own are written in this colour.
    void setGridTextColor(const QColor &color);
    QColor gridTextColor() const { return m_textColor; }

    // --- current row
    int currentRowNumber() const; // 0 when there is none
    void setCurrentRowNumber(int row);

Q_SIGNALS:
    void rowDoubleClicked(int row);
    void rowPressed(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void currentRowNumberChanged(int row);
    void checkToggled(int row, int col, bool checked);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QModelIndex cellIndex(int row, int col) const; // invalid outside the data rows
    void updateSpans();
    QStringList m_keys;
    std::vector<bool> m_mergeCols;
    QColor m_textColor;
    QList<QMetaObject::Connection> m_modelLinks;
};

} // namespace quenda
