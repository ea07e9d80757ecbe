#pragma once
// The grid every window lists its rows in. It speaks the windows' vocabulary: row 0 is the
// header and data rows count from 1; columns are addressed by number or by a key; a layout is a
// format text of headers separated by "|" whose trailing blanks set the column widths; a row
// is marked by its colours; tick-box columns hold a checked state; equal neighbouring cells of
// a column may be merged. Data lives in a plain model, so a hundred thousand rows load at once.

#include <QColor>
#include <QStringList>
#include <QTableView>

#include <vector>

namespace quenda {

class QdGridModel;

class QdGrid : public QTableView {
    Q_OBJECT
public:
    // A marked or ticked row: white on RGB 47, 103, 159.
    static QColor markedBack() { return QColor(47, 103, 159); }
    static QColor markedFore() { return QColor(255, 255, 255); }
    // A row that was marked and is no longer: RGB 175, 189, 205 on the window-text colour.
    static QColor unmarkedBack() { return QColor(175, 189, 205); }

    explicit QdGrid(QWidget *parent = nullptr);

    // --- layout
    void setFormatString(const QString &format); // also sets the column count when larger
    void setCols(int count);
    int cols() const;
    void setColHeader(int col, const QString &text);
    QString colHeader(int col) const;
    void setColKey(int col, const QString &key);
    QString colKey(int col) const;
    int colIndex(const QString &key) const;    // -1 when no column has the key
    void setColWidthTwips(int col, int twips); // 15 twips to a pixel; 0 hides the column
    void setColHidden(int col, bool hidden);
    void setCheckColumn(int col, bool isCheck = true);
    void setColMerge(int col, bool merge = true);
    // Cells of an editable column take the view's edit triggers; no column is editable at first.
    void setColEditable(int col, bool editable = true);

    // --- data (row 0 is the header)
    int rows() const; // data rows + 1
    int dataRows() const;
    void clearRows();
    int addRow(const QStringList &cells = QStringList()); // returns the new row's number
    void removeRow(int row);
    QString text(int row, int col) const;
    QString text(int row, const QString &key) const;
    void setText(int row, int col, const QString &text);
    void setText(int row, const QString &key, const QString &text);
    bool isChecked(int row, int col) const;
    void setChecked(int row, int col, bool checked);
    // Replaces the data rows; the rows come from src/db, never from a query made here.
    void setRowsData(std::vector<QStringList> rows);

    // --- marks and colours
    void setRowColors(int row, const QColor &back, const QColor &fore);
    void setRowMarked(int row, bool marked);
    void toggleRowMark(int row);
    bool isRowMarked(int row) const; // the row's back colour is the marked colour
    void setAllRowsMarked(bool marked);
    QColor rowBackColor(int row) const;         // invalid for a row never coloured
    void setGridTextColor(const QColor &color); // rows without colours of their own

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
    void updateSpans();
    QdGridModel *m_model;
};

} // namespace quenda
