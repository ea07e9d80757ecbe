#pragma once
// Turns a cell's number (or text) into what a spreadsheet shows for it under the cell's number
// format code: "0.00", "#,##0", "yyyy-mm-dd", "[$€-407]#,##0.00", "0.00E+00", "# ?/?" and
// so on. Shown as under the English (USA) locale: "." before decimals, "," between thousands,
// English month and day names, AM/PM. Colours, fills and widths have no place in plain text and
// are dropped.

#include <QHash>
#include <QString>

#include <memory>

namespace quenda {

struct CompiledNumberFormat;

// The codes of the built-in formats 0 to 49 as they show under the English (USA) locale;
// "General" for an id that has none.
QString builtinNumberFormat(int id);

// The "General" text of a number: up to 15 significant digits without trailing zeros, plain
// between 1E-9 and 1E+16, otherwise scientific ("1.5E+20").
QString formatGeneral(double value);

class NumberFormatter {
public:
    // date1904: serial day 0 is 1904-01-01 rather than the 1900 system's day 0.
    explicit NumberFormatter(bool date1904 = false);
    ~NumberFormatter();

    void setDate1904(bool on) { m_date1904 = on; }
    bool date1904() const { return m_date1904; }

    QString formatNumber(double value, const QString &code);
    // A text cell under a format with a text section ("@" or a fourth section).
    QString formatText(const QString &text, const QString &code);

private:
    const CompiledNumberFormat &compiled(const QString &code);

    bool m_date1904 = false;
    QHash<QString, std::shared_ptr<CompiledNumberFormat>> m_cache;
};

} // namespace quenda
