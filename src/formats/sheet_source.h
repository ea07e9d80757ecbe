#pragma once
// What each spreadsheet format gives the shared reader: the rows of the active sheet, in order,
// each with its non-empty cells as shown text. Rows are produced one at a time while the file
// is read, so the caller decides how much of a sheet is ever looked at.

#include "common/result.h"

#include <QString>

#include <memory>
#include <vector>

class QIODevice;

namespace quenda {

// The most characters a spreadsheet cell can show; a longer cell text is refused.
constexpr qsizetype kMaxCellText = 32767;
// The most text one row may hold at once (UTF-16 units): a row of thousands of cells that all
// show one long shared string must not take gigabytes.
constexpr qint64 kMaxRowText = 16LL * 1024 * 1024;

// What reading one workbook may cost beyond its own bytes, in UTF-16 units: the shared strings
// and number formats kept for the whole read, and every expansion a few bytes can ask for
// (repeated spaces, rows and columns). Past the limit the workbook is refused, so that a small
// file can take neither gigabytes nor hours.
class SheetBudget {
public:
    static constexpr qint64 kLimit = 64LL * 1024 * 1024;

    // False, now and from then on, once the units asked for go past the limit.
    bool spend(qint64 units)
    {
        if (units < 0 || units > m_left) {
            m_left = -1;
            return false;
        }
        m_left -= units;
        return true;
    }
    bool exhausted() const { return m_left < 0; }
    static QString exceededMessage()
    {
        return QStringLiteral("its text expands to more than %1 MiB (repeated spaces, rows or "
                              "shared strings), more than this program reads")
            .arg(kLimit * 2 / (1024 * 1024));
    }
    static QString rowTooLongMessage()
    {
        return QStringLiteral("a row holds more than %1 MiB of text")
            .arg(kMaxRowText * 2 / (1024 * 1024));
    }
    static QString cellTooLongMessage()
    {
        return QStringLiteral("a cell holds more than %1 characters, more than a spreadsheet "
                              "cell can show")
            .arg(kMaxCellText);
    }

private:
    qint64 m_left = kLimit;
};

// The shared strings of a workbook in one block of text, so that millions of short strings cost
// their characters and an offset each rather than an allocation each.
class SharedStrings {
public:
    // False when the budget does not cover the string (then it is not kept).
    bool add(QStringView text, SheetBudget &budget)
    {
        if (!budget.spend(text.size() + 4))
            return false;
        m_text.append(text);
        m_ends.push_back(quint32(m_text.size()));
        return true;
    }
    size_t size() const { return m_ends.size(); }
    QString at(size_t i) const
    {
        const quint32 begin = i == 0 ? 0 : m_ends[i - 1];
        return m_text.mid(begin, m_ends[i] - begin);
    }

private:
    QString m_text;
    std::vector<quint32> m_ends;
};

struct SheetCell {
    int column = 0; // from 0
    QString text;
};

struct SheetRow {
    int index = 0;                // from 0
    std::vector<SheetCell> cells; // non-empty cells, in file order
};

class SheetSource {
public:
    virtual ~SheetSource() = default;

    // The next row holding at least one non-empty cell. False at the end of the sheet, or on a
    // fault: then status() says why (without the file name).
    virtual bool nextRow(SheetRow &row) = 0;
    virtual Status status() const = 0;
    virtual QString sheetName() const = 0;
    // True when the message of status() is already a whole sentence naming the file.
    virtual bool errorNamesFile() const { return false; }
    // From now on cells at or right of this column are not stored.
    void setMaxColumns(int columns) { m_maxColumns = columns; }
    // The Windows code page of the sheet's text bytes (1200 for UTF-16, 65001 for UTF-8).
    virtual int codePage() const = 0;

protected:
    explicit SheetSource(int maxColumns) : m_maxColumns(maxColumns) {}
    // Counts the text of the row being built; false once it passes kMaxRowText.
    bool rowTextFits(qsizetype units)
    {
        m_rowUnits += units;
        return m_rowUnits <= kMaxRowText;
    }
    void startRow(SheetRow &row)
    {
        row.cells.clear();
        m_rowUnits = 0;
    }

    int m_maxColumns;
    SheetBudget m_budget;

private:
    qint64 m_rowUnits = 0;
};

class ZipArchive;

// Cells at or right of maxColumns are never stored. The error says why a sheet cannot be
// read. The device or archive stays with the source.
Result<std::unique_ptr<SheetSource>> openXlsSource(std::unique_ptr<QIODevice> file, int maxColumns);
Result<std::unique_ptr<SheetSource>> openXlsxSource(std::unique_ptr<ZipArchive> zip,
                                                    int maxColumns);
Result<std::unique_ptr<SheetSource>> openOdsSource(std::unique_ptr<ZipArchive> zip, int maxColumns);

} // namespace quenda
