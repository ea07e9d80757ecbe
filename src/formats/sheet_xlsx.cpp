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
    QString target;
    QString type;
};

QString resolve(const QString &base, const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    QStringList parts = base.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &p : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (p == QLatin1String(".."))
            parts.removeLast();
        else if (p != QLatin1String("."))
            parts << p;
        if (parts.size() > 64)
            break;
    }
    return parts.join(QLatin1Char('/'));
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

QHash<QString, Relation> readRelations(const ZipArchive &zip, const QString &partPath)
{
    QHash<QString, Relation> out;
    const QString folder = folderOf(partPath);
    const QString relsPath =
        (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QStringLiteral("_rels/") +
        partPath.mid(folder.isEmpty() ? 0 : folder.size() + 1) + QStringLiteral(".rels");
    QByteArray bytes;
    QString ignored;
    if (!zip.readAll(relsPath, kMaxSmallPart, &bytes, &ignored))
        return out;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.name() != QLatin1String("Relationship"))
            continue;
        const auto a = xml.attributes();
        out.insert(a.value(QLatin1String("Id")).toString(),
                   Relation{resolve(folder, a.value(QLatin1String("Target")).toString()),
                            a.value(QLatin1String("Type")).toString()});
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
    QString error() const override { return m_error; }
    QString sheetName() const override { return m_sheetName; }
    int codePage() const override { return 65001; }

private:
    bool readWorkbook(const QString &path, QString *sheetPath, QString *error);
    void readStyles(const QString &path);
    bool readSharedStrings(const QString &path, QString *error);
    QString formatCode(int style) const;
    QString cellText(const QString &type, int style, const QString &value);
    bool readCell(SheetRow &row, int *nextColumn);

    std::unique_ptr<ZipArchive> m_zip;
    NumberFormatter m_formatter;
    QHash<int, QString> m_formats;
    std::vector<int> m_styleFormat;
    std::vector<QString> m_strings;
    QString m_sheetName;
    std::unique_ptr<XmlFeed> m_sheet;
    bool m_inData = false;
    bool m_done = false;
    int m_lastRow = -1;
    QString m_error;
};

bool XlsxSource::readWorkbook(const QString &path, QString *sheetPath, QString *error)
{
    QByteArray bytes;
    if (!m_zip->readAll(path, kMaxSmallPart, &bytes, error))
        return false;
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
            sheets.push_back(Sheet{a.value(QLatin1String("name")).toString(), id});
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
    const QHash<QString, Relation> rels = readRelations(*m_zip, path);
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
    *sheetPath = rels.value(chosen->id).target;
    for (const Relation &r : rels) {
        if (r.type.endsWith(QLatin1String("/styles")))
            readStyles(r.target);
        else if (r.type.endsWith(QLatin1String("/sharedStrings")) &&
                 !readSharedStrings(r.target, error))
            return false;
    }
    return true;
}

void XlsxSource::readStyles(const QString &path)
{
    QByteArray bytes;
    QString ignored;
    if (!m_zip->readAll(path, kMaxSmallPart, &bytes, &ignored))
        return; // without styles every number shows as General
    QXmlStreamReader xml(bytes);
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        const auto t = xml.readNext();
        if (t == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs"))
            inCellXfs = false;
        if (t != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("numFmt"))
            m_formats.insert(a.value(QLatin1String("numFmtId")).toInt(),
                             a.value(QLatin1String("formatCode")).toString());
        else if (xml.name() == QLatin1String("cellXfs"))
            inCellXfs = true;
        else if (inCellXfs && xml.name() == QLatin1String("xf"))
            m_styleFormat.push_back(a.value(QLatin1String("numFmtId")).toInt());
    }
}

bool XlsxSource::readSharedStrings(const QString &path, QString *error)
{
    auto entry = m_zip->open(path, error);
    if (!entry)
        return false;
    XmlFeed feed(std::move(entry));
    QString current;
    bool inItem = false;
    int phonetic = 0; // depth inside <rPh>: reading aids, not the text
    for (;;) {
        const auto t = feed.next();
        if (t == QXmlStreamReader::EndDocument)
            break;
        if (t == QXmlStreamReader::Invalid) {
            *error = feed.error();
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
                current += feed.elementText();
            }
        } else if (t == QXmlStreamReader::EndElement) {
            if (xml.name() == QLatin1String("si")) {
                m_strings.push_back(unescapeOoxml(current));
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
        return m_formatter.formatText(m_strings[size_t(i)], formatCode(style));
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
    for (const Relation &r : readRelations(*m_zip, QString()))
        if (r.type.endsWith(QLatin1String("/officeDocument")))
            workbook = r.target;
    QString sheetPath;
    if (!readWorkbook(workbook, &sheetPath, error))
        return false;
    auto entry = m_zip->open(sheetPath, error);
    if (!entry)
        return false;
    m_sheet = std::make_unique<XmlFeed>(std::move(entry));
    return true;
}

// Reads one <c> element whose start was just read; adds its text to the row.
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
    QString value;
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
        } else if (name == QLatin1String("is")) {
            // Inline rich text: the runs' texts, without the reading aids.
            int inner = 1;
            while (inner > 0) {
                const auto u = m_sheet->next();
                if (u == QXmlStreamReader::Invalid || u == QXmlStreamReader::EndDocument)
                    return false;
                if (u == QXmlStreamReader::EndElement) {
                    --inner;
                } else if (u == QXmlStreamReader::StartElement) {
                    const auto n = m_sheet->xml().name();
                    if (n == QLatin1String("t"))
                        value += m_sheet->elementText();
                    else if (n == QLatin1String("rPh") && !m_sheet->skipElement())
                        return false;
                    else if (n != QLatin1String("t") && n != QLatin1String("rPh"))
                        ++inner;
                }
            }
        } else if (!m_sheet->skipElement()) {
            return false;
        }
    }
    if (column < 0 || column >= m_maxColumns || rowIndex != row.index)
        return true;
    QString text = cellText(type, style, value);
    if (!text.isEmpty())
        row.cells.push_back(SheetCell{column, std::move(text)});
    return true;
}

bool XlsxSource::nextRow(SheetRow &row)
{
    row.cells.clear();
    while (!m_done) {
        const auto t = m_sheet->next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument) {
            m_done = true;
            m_error = m_sheet->error();
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
                m_error = m_sheet->error();
                return false;
            }
            continue;
        }
        bool ok = false;
        const int r = xml.attributes().value(QLatin1String("r")).toInt(&ok);
        row.index = ok && r > 0 && r <= kMaxRow ? r - 1 : m_lastRow + 1;
        m_lastRow = row.index;
        int nextColumn = 0;
        for (;;) {
            const auto u = m_sheet->next();
            if (u == QXmlStreamReader::Invalid || u == QXmlStreamReader::EndDocument) {
                m_done = true;
                m_error = m_sheet->error().isEmpty() ? QStringLiteral("a sheet row is cut short")
                                                     : m_sheet->error();
                return false;
            }
            if (u == QXmlStreamReader::EndElement)
                break; // </row>
            if (u != QXmlStreamReader::StartElement)
                continue;
            if (m_sheet->xml().name() == QLatin1String("c")) {
                if (!readCell(row, &nextColumn)) {
                    m_done = true;
                    m_error = m_sheet->error().isEmpty()
                                  ? QStringLiteral("a sheet cell is cut short")
                                  : m_sheet->error();
                    return false;
                }
            } else if (!m_sheet->skipElement()) {
                m_done = true;
                m_error = m_sheet->error();
                return false;
            }
        }
        if (!row.cells.empty())
            return true;
    }
    return false;
}

} // namespace

std::unique_ptr<SheetSource> openXlsxSource(std::unique_ptr<ZipArchive> zip, int maxColumns,
                                            QString *error)
{
    auto source = std::make_unique<XlsxSource>(std::move(zip), maxColumns);
    if (!source->open(error))
        return nullptr;
    return source;
}

} // namespace quenda
