// Office Open XML workbooks (.xlsx): the package relations lead to the workbook, the workbook
// names its sheets and the active one, the styles give each cell its number format, and the
// active sheet's rows are parsed as they are asked for.

#include "formats/sheet_numfmt.h"
#include "formats/sheet_source.h"
#include "formats/sheet_zip.h"

#include <QDateTime>
#include <QHash>
#include <QXmlStreamReader>

#include <cmath>
#include <optional>
#include <vector>

namespace quenda {

namespace {

constexpr qint64 kMaxSmallPart = 64LL * 1024 * 1024;
constexpr int kMaxRow = 1 << 24;

struct Relation {
    QString target;  // the part's name
    QString written; // the target as the relation gives it
    QString type;
    bool outside = false; // the name climbs out of the package
};

// The part that target names, seen from the folder base. Nullopt when the name climbs out of
// the package: there is nothing above its root.
std::optional<QString> resolve(const QString &base, QString target)
{
    target.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList parts;
    if (!target.startsWith(QLatin1Char('/')))
        parts = base.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &p : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (p == QLatin1String("..")) {
            if (parts.isEmpty())
                return std::nullopt;
            parts.removeLast();
        } else if (p != QLatin1String(".")) {
            parts << p;
        }
        if (parts.size() > 64)
            return std::nullopt;
    }
    return parts.join(QLatin1Char('/'));
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

QString relationsPath(const QString &partPath)
{
    const QString folder = folderOf(partPath);
    return (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QStringLiteral("_rels/") +
           partPath.mid(folder.isEmpty() ? 0 : folder.size() + 1) + QStringLiteral(".rels");
}

// The part a relation leads to, or why the workbook is damaged when it leads out of the package.
std::optional<QString> partOf(const Relation &r, const QString &partPath, QString *error)
{
    if (!r.outside)
        return r.target;
    *error = QStringLiteral("it is damaged: the part name \"%1\" in \"%2\" lies outside the "
                            "package")
                 .arg(r.written, relationsPath(partPath));
    return std::nullopt;
}

// The relations of a part by id. Links to outside resources (hyperlinks, linked files) are no
// parts and are left out.
QHash<QString, Relation> readRelations(const ZipArchive &zip, const QString &partPath,
                                       SheetBudget &budget)
{
    QHash<QString, Relation> out;
    const QString folder = folderOf(partPath);
    const Result<QByteArray> bytes = zip.readAll(relationsPath(partPath), kMaxSmallPart);
    if (!bytes)
        return out;
    QXmlStreamReader xml(*bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.name() != QLatin1String("Relationship"))
            continue;
        const auto a = xml.attributes();
        if (a.value(QLatin1String("TargetMode"))
                .compare(QLatin1String("External"), Qt::CaseInsensitive) == 0)
            continue;
        const QString written = a.value(QLatin1String("Target")).toString();
        const std::optional<QString> target = resolve(folder, written);
        Relation r{target.value_or(QString()), written, a.value(QLatin1String("Type")).toString(),
                   !target};
        if (!budget.spend(r.target.size() + r.written.size() + r.type.size() + 16))
            break;
        out.insert(a.value(QLatin1String("Id")).toString(), std::move(r));
    }
    return out;
}

// "B12" into column 1 and row 11; false for anything else.
bool parseReference(QStringView ref, int *column, int *row)
{
    qsizetype i = 0;
    int col = 0;
    while (i < ref.size() && ref[i].isLetter() && i < 4) {
        col = col * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
        ++i;
    }
    if (i == 0 || i > 3 || col <= 0)
        return false;
    bool ok = false;
    const int r = ref.mid(i).toInt(&ok);
    if (!ok || r <= 0 || r > kMaxRow)
        return false;
    *column = col - 1;
    *row = r - 1;
    return true;
}

// Control characters are written as _xHHHH_ in Office Open XML text.
QString unescapeOoxml(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('_') && i + 6 < text.size() && text[i + 1] == QLatin1Char('x') &&
            text[i + 6] == QLatin1Char('_')) {
            bool ok = false;
            const uint code = text.mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// A <t> without xml:space="preserve" shows its text without the blanks, tabs and line ends
// around it, as the XML rules for element content have it.
bool preservesSpace(const QXmlStreamAttributes &a)
{
    for (const QXmlStreamAttribute &attr : a)
        if (attr.name() == QLatin1String("space") &&
            (attr.prefix() == QLatin1String("xml") ||
             attr.namespaceUri() == QLatin1String("http://www.w3.org/XML/1998/namespace")))
            return attr.value() == QLatin1String("preserve");
    return false;
}

QString trimXmlSpace(const QString &text)
{
    auto blank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
               c == QLatin1Char('\n');
    };
    qsizetype b = 0, e = text.size();
    while (b < e && blank(text[b]))
        ++b;
    while (e > b && blank(text[e - 1]))
        --e;
    return b == 0 && e == text.size() ? text : text.mid(b, e - b);
}

// An ISO date and time into a serial day number.
std::optional<double> isoToSerial(const QString &text, bool date1904)
{
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        if (!d.isValid())
            return std::nullopt;
        dt = QDateTime(d, QTime(0, 0));
    }
    const QDate date = dt.date();
    double serial = double((date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30)).daysTo(date));
    if (!date1904 && date < QDate(1900, 3, 1))
        serial -= 1; // the 1900 system counts a 29 February 1900 after these days
    serial += double(dt.time().msecsSinceStartOfDay()) / 86400000.0;
    return serial;
}

class XlsxSource final : public SheetSource {
public:
    XlsxSource(std::unique_ptr<ZipArchive> zip, int maxColumns)
        : SheetSource(maxColumns), m_zip(std::move(zip))
    {
    }
    bool open(QString *error);
    bool nextRow(SheetRow &row) override;
    Status status() const override { return faultStatus(m_error); }
    QString sheetName() const override { return m_sheetName; }
    int codePage() const override { return 65001; }

private:
    bool readWorkbook(const QString &path, QString *sheetPath, QString *error);
    bool readStyles(const QString &path, QString *error);
    bool readSharedStrings(const QString &path, QString *error);
    bool readText(QString *text, bool *tooLong);
    QString formatCode(int style) const;
    QString cellText(const QString &type, int style, const QString &value);
    bool readCell(SheetRow &row, int *nextColumn);
    bool stop(const QString &why);

    std::unique_ptr<ZipArchive> m_zip;
    NumberFormatter m_formatter;
    QHash<int, QString> m_formats;
    std::vector<int> m_styleFormat;
    SharedStrings m_strings;
    QString m_sheetName;
    std::unique_ptr<XmlFeed> m_sheet;
    bool m_inData = false;
    bool m_done = false;
    int m_lastRow = -1;
    QString m_error;
};

bool XlsxSource::stop(const QString &why)
{
    m_done = true;
    m_error = why;
    return false;
}

bool XlsxSource::readWorkbook(const QString &path, QString *sheetPath, QString *error)
{
    const Result<QByteArray> read = m_zip->readAll(path, kMaxSmallPart);
    if (!read) {
        *error = read.message();
        return false;
    }
    const QByteArray &bytes = *read;
    struct Sheet {
        QString name, id;
    };
    std::vector<Sheet> sheets;
    int active = 0;
    bool viewSeen = false;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("sheet")) {
            QString id;
            for (const QXmlStreamAttribute &attr : a)
                if (attr.name() == QLatin1String("id"))
                    id = attr.value().toString();
            Sheet sheet{a.value(QLatin1String("name")).toString(), id};
            if (!m_budget.spend(sheet.name.size() + sheet.id.size() + 16)) {
                *error = SheetBudget::exceededMessage();
                return false;
            }
            sheets.push_back(std::move(sheet));
        } else if (xml.name() == QLatin1String("workbookView") && !viewSeen) {
            viewSeen = true;
            active = a.value(QLatin1String("activeTab")).toInt();
        } else if (xml.name() == QLatin1String("workbookPr")) {
            const auto v = a.value(QLatin1String("date1904"));
            m_formatter.setDate1904(v == QLatin1String("1") || v == QLatin1String("true"));
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("its workbook part is damaged (%1)").arg(xml.errorString());
        return false;
    }
    const QHash<QString, Relation> rels = readRelations(*m_zip, path, m_budget);
    if (m_budget.exhausted()) {
        *error = SheetBudget::exceededMessage();
        return false;
    }
    auto isWorksheet = [&](const Sheet &s) {
        const auto it = rels.constFind(s.id);
        return it != rels.constEnd() && it->type.endsWith(QLatin1String("/worksheet"));
    };
    const Sheet *chosen = nullptr;
    if (active >= 0 && size_t(active) < sheets.size() && isWorksheet(sheets[size_t(active)]))
        chosen = &sheets[size_t(active)];
    for (size_t i = 0; !chosen && i < sheets.size(); ++i)
        if (isWorksheet(sheets[i]))
            chosen = &sheets[i];
    if (!chosen) {
        *error = QStringLiteral("it holds no worksheet");
        return false;
    }
    m_sheetName = chosen->name;
    const std::optional<QString> sheet = partOf(rels.value(chosen->id), path, error);
    if (!sheet)
        return false;
    *sheetPath = *sheet;
    for (const Relation &r : rels) {
        const bool styles = r.type.endsWith(QLatin1String("/styles"));
        const bool strings = r.type.endsWith(QLatin1String("/sharedStrings"));
        if (!styles && !strings)
            continue;
        const std::optional<QString> part = partOf(r, path, error);
        if (!part || (styles && !readStyles(*part, error)) ||
            (strings && !readSharedStrings(*part, error)))
            return false;
    }
    return true;
}

bool XlsxSource::readStyles(const QString &path, QString *error)
{
    const Result<QByteArray> bytes = m_zip->readAll(path, kMaxSmallPart);
    if (!bytes)
        return true; // without styles every number shows as General
    QXmlStreamReader xml(*bytes);
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        const auto t = xml.readNext();
        if (t == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs"))
            inCellXfs = false;
        if (t != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        qint64 cost = 0;
        if (xml.name() == QLatin1String("numFmt")) {
            const QString code = a.value(QLatin1String("formatCode")).toString();
            cost = code.size() + 16;
            m_formats.insert(a.value(QLatin1String("numFmtId")).toInt(), code);
        } else if (xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = true;
        } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
            cost = 2;
            m_styleFormat.push_back(a.value(QLatin1String("numFmtId")).toInt());
        }
        if (!m_budget.spend(cost)) {
            *error = SheetBudget::exceededMessage();
            return false;
        }
    }
    return true;
}

// The text of the <t> element whose start was just read, its blanks trimmed unless it keeps
// them; *tooLong when it passes what a cell can show.
bool XlsxSource::readText(QString *text, bool *tooLong)
{
    const bool preserve = preservesSpace(m_sheet->xml().attributes());
    QString t = m_sheet->elementText();
    if (m_sheet->failed())
        return false;
    *text += preserve ? t : trimXmlSpace(t);
    *tooLong = text->size() > kMaxCellText;
    return true;
}

bool XlsxSource::readSharedStrings(const QString &path, QString *error)
{
    auto entry = m_zip->open(path);
    if (!entry) {
        *error = entry.message();
        return false;
    }
    XmlFeed feed(std::move(*entry));
    QString current;
    bool inItem = false;
    int phonetic = 0; // depth inside <rPh>: reading aids, not the text
    for (;;) {
        const auto t = feed.next();
        if (t == QXmlStreamReader::EndDocument)
            break;
        if (t == QXmlStreamReader::Invalid) {
            *error = feed.status().message();
            return false;
        }
        const QXmlStreamReader &xml = feed.xml();
        if (t == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("si")) {
                inItem = true;
                current.clear();
            } else if (xml.name() == QLatin1String("rPh")) {
                ++phonetic;
            } else if (xml.name() == QLatin1String("t") && inItem && phonetic == 0) {
                const bool preserve = preservesSpace(xml.attributes());
                const QString text = feed.elementText();
                current += preserve ? text : trimXmlSpace(text);
                if (current.size() > kMaxCellText) {
                    *error = SheetBudget::cellTooLongMessage();
                    return false;
                }
            }
        } else if (t == QXmlStreamReader::EndElement) {
            if (xml.name() == QLatin1String("si")) {
                if (!m_strings.add(unescapeOoxml(current), m_budget)) {
                    *error = SheetBudget::exceededMessage();
                    return false;
                }
                inItem = false;
            } else if (xml.name() == QLatin1String("rPh")) {
                --phonetic;
            }
        }
    }
    return true;
}

QString XlsxSource::formatCode(int style) const
{
    const int id =
        style >= 0 && size_t(style) < m_styleFormat.size() ? m_styleFormat[size_t(style)] : 0;
    const auto it = m_formats.constFind(id);
    return it != m_formats.constEnd() ? *it : builtinNumberFormat(id);
}

QString XlsxSource::cellText(const QString &type, int style, const QString &value)
{
    if (type == QLatin1String("s")) {
        bool ok = false;
        const qlonglong i = value.toLongLong(&ok);
        if (!ok || i < 0 || size_t(i) >= m_strings.size())
            return QString();
        return m_formatter.formatText(m_strings.at(size_t(i)), formatCode(style));
    }
    if (type == QLatin1String("str") || type == QLatin1String("inlineStr"))
        return m_formatter.formatText(unescapeOoxml(value), formatCode(style));
    if (type == QLatin1String("b"))
        return value.trimmed() == QLatin1String("1") || value.trimmed() == QLatin1String("true")
                   ? QStringLiteral("TRUE")
                   : QStringLiteral("FALSE");
    if (type == QLatin1String("e"))
        return value;
    if (value.isEmpty())
        return QString();
    if (type == QLatin1String("d")) {
        const auto serial = isoToSerial(value.trimmed(), m_formatter.date1904());
        return serial ? m_formatter.formatNumber(*serial, formatCode(style)) : value;
    }
    bool ok = false;
    const double v = value.trimmed().toDouble(&ok);
    return ok ? m_formatter.formatNumber(v, formatCode(style)) : value;
}

bool XlsxSource::open(QString *error)
{
    QString workbook = QStringLiteral("xl/workbook.xml");
    for (const Relation &r : readRelations(*m_zip, QString(), m_budget)) {
        if (!r.type.endsWith(QLatin1String("/officeDocument")))
            continue;
        const std::optional<QString> part = partOf(r, QString(), error);
        if (!part)
            return false;
        workbook = *part;
    }
    QString sheetPath;
    if (!readWorkbook(workbook, &sheetPath, error))
        return false;
    auto entry = m_zip->open(sheetPath);
    if (!entry) {
        *error = entry.message();
        return false;
    }
    m_sheet = std::make_unique<XmlFeed>(std::move(*entry));
    return true;
}

// Reads one <c> element whose start was just read; adds its text to the row. False when reading
// stops, with m_error set when the reason is the cell's own.
bool XlsxSource::readCell(SheetRow &row, int *nextColumn)
{
    const auto a = m_sheet->xml().attributes();
    int column = *nextColumn, rowIndex = row.index;
    const auto ref = a.value(QLatin1String("r"));
    if (!ref.isEmpty() && !parseReference(ref, &column, &rowIndex))
        column = -1;
    const QString type = a.value(QLatin1String("t")).toString();
    const int style = a.value(QLatin1String("s")).toInt();
    if (column >= 0)
        *nextColumn = column + 1;
    QString value, inlineText;
    bool hasInline = false, tooLong = false;
    int depth = 1;
    while (depth > 0) {
        const auto t = m_sheet->next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument)
            return false;
        if (t == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (t != QXmlStreamReader::StartElement)
            continue;
        const auto name = m_sheet->xml().name();
        if (name == QLatin1String("v")) {
            value = m_sheet->elementText();
            tooLong = value.size() > kMaxCellText;
        } else if (name == QLatin1String("is")) {
            // Inline rich text: the runs' texts, without the reading aids.
            hasInline = true;
            int inner = 1;
            while (inner > 0 && !tooLong) {
                const auto u = m_sheet->next();
                if (u == QXmlStreamReader::Invalid || u == QXmlStreamReader::EndDocument)
                    return false;
                if (u == QXmlStreamReader::EndElement) {
                    --inner;
                } else if (u == QXmlStreamReader::StartElement) {
                    const auto n = m_sheet->xml().name();
                    if (n == QLatin1String("t")) {
                        if (!readText(&inlineText, &tooLong))
                            return false;
                    } else if (n == QLatin1String("rPh")) {
                        if (!m_sheet->skipElement())
                            return false;
                    } else {
                        ++inner;
                    }
                }
            }
        } else if (!m_sheet->skipElement()) {
            return false;
        }
        if (tooLong)
            return stop(SheetBudget::cellTooLongMessage());
    }
    if (column < 0 || column >= m_maxColumns || rowIndex != row.index)
        return true;
    // An inline string shows its runs; a cached value beside them is not the text.
    const bool inlineString = type == QLatin1String("inlineStr") && hasInline;
    QString text = cellText(type, style, inlineString ? inlineText : value);
    if (text.isEmpty())
        return true;
    if (!rowTextFits(text.size()))
        return stop(SheetBudget::rowTooLongMessage());
    row.cells.push_back(SheetCell{column, std::move(text)});
    return true;
}

bool XlsxSource::nextRow(SheetRow &row)
{
    startRow(row);
    while (!m_done) {
        const auto t = m_sheet->next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument) {
            m_done = true;
            m_error = m_sheet->status().message();
            return false;
        }
        const QXmlStreamReader &xml = m_sheet->xml();
        if (t == QXmlStreamReader::EndElement && xml.name() == QLatin1String("sheetData")) {
            m_done = true;
            return false;
        }
        if (t != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("sheetData")) {
            m_inData = true;
            continue;
        }
        if (!m_inData)
            continue;
        if (xml.name() != QLatin1String("row")) {
            if (!m_sheet->skipElement()) {
                m_done = true;
                m_error = m_sheet->status().message();
                return false;
            }
            continue;
        }
        bool ok = false;
        const int r = xml.attributes().value(QLatin1String("r")).toInt(&ok);
        row.index = ok && r > 0 && r <= kMaxRow ? r - 1 : m_lastRow + 1;
        m_lastRow = row.index;
        startRow(row);
        int nextColumn = 0;
        for (;;) {
            const auto u = m_sheet->next();
            if (u == QXmlStreamReader::Invalid || u == QXmlStreamReader::EndDocument) {
                m_done = true;
                m_error = m_sheet->status().ok() ? QStringLiteral("a sheet row is cut short")
                                                 : m_sheet->status().message();
                return false;
            }
            if (u == QXmlStreamReader::EndElement)
                break; // </row>
            if (u != QXmlStreamReader::StartElement)
                continue;
            if (m_sheet->xml().name() == QLatin1String("c")) {
                if (!readCell(row, &nextColumn)) {
                    if (m_error.isEmpty())
                        m_error = m_sheet->status().ok()
                                      ? QStringLiteral("a sheet cell is cut short")
                                      : m_sheet->status().message();
                    m_done = true;
                    return false;
                }
            } else if (!m_sheet->skipElement()) {
                m_done = true;
                m_error = m_sheet->status().message();
                return false;
            }
        }
        if (!row.cells.empty())
            return true;
    }
    return false;
}

} // namespace

Result<std::unique_ptr<SheetSource>> openXlsxSource(std::unique_ptr<ZipArchive> zip, int maxColumns)
{
    auto source = std::make_unique<XlsxSource>(std::move(zip), maxColumns);
    QString why;
    if (!source->open(&why))
        return fail(why);
    return std::unique_ptr<SheetSource>(std::move(source));
}

} // namespace quenda
