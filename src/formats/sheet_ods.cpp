// OpenDocument spreadsheets (.ods): the active table named in settings.xml, its rows read
// from content.xml as they are asked for. A cell shows the text its paragraphs carry, which is
// the text the writing program displayed. Repeated rows and columns are never spread out in
// memory: empty repeats only move the position, a repeated row with content is handed out
// again row by row.

#include "formats/sheet_numfmt.h"
#include "formats/sheet_source.h"
#include "formats/sheet_zip.h"

#include <QXmlStreamReader>

#include <vector>

namespace quenda {

namespace {

constexpr qint64 kMaxSettings = 64LL * 1024 * 1024;
constexpr qint64 kMaxIndex = 1LL << 30;

const QString kTableNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString kOfficeNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString kTextNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString kConfigNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:config:1.0");

// An attribute by namespace, whatever prefix the file gave it.
QStringView attr(const QXmlStreamAttributes &a, const QString &ns, QLatin1StringView name)
{
    return a.value(ns, name);
}

QString activeTableName(const ZipArchive &zip)
{
    const Result<QByteArray> bytes = zip.readAll(QStringLiteral("settings.xml"), kMaxSettings);
    if (!bytes)
        return QString();
    QXmlStreamReader xml(*bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("config-item") &&
            attr(xml.attributes(), kConfigNs, QLatin1StringView("name")) ==
                QLatin1String("ActiveTable"))
            return xml.readElementText();
    }
    return QString();
}

qint64 repeatCount(const QXmlStreamAttributes &a, const QString &ns, QLatin1StringView name)
{
    bool ok = false;
    const qint64 n = a.value(ns, name).toLongLong(&ok);
    return ok && n > 0 ? std::min(n, kMaxIndex) : 1;
}

class OdsSource final : public SheetSource {
public:
    OdsSource(std::unique_ptr<ZipArchive> zip, int maxColumns)
        : SheetSource(maxColumns), m_zip(std::move(zip))
    {
    }
    bool open(QString *error);
    bool nextRow(SheetRow &row) override;
    Status status() const override { return faultStatus(m_error); }
    QString sheetName() const override { return m_sheetName; }
    int codePage() const override { return 65001; }

private:
    bool findTable(const QString &wanted, QString *error);
    bool readRow(std::vector<SheetCell> &cells);
    bool readCellContent(QString *text, bool *hasParagraph);
    bool readParagraph(QString *text);
    bool fail(const QString &why);
    // Ends reading for a reason of the content itself (a budget or a cap passed).
    bool stop(const QString &why);

    std::unique_ptr<ZipArchive> m_zip;
    std::unique_ptr<XmlFeed> m_content;
    QString m_sheetName;
    QString m_error;
    bool m_done = false;
    qint64 m_rowIndex = 0;
    int m_depth = 0; // row groups open inside the table
    SheetRow m_repeat{-1, {}};
    qint64 m_repeatLeft = 0;
    qint64 m_repeatUnits = 0; // what one more copy of the repeated row costs
};

bool OdsSource::fail(const QString &why)
{
    m_done = true;
    if (m_error.isEmpty())
        m_error = m_content->status().ok() ? why : m_content->status().message();
    return false;
}

bool OdsSource::stop(const QString &why)
{
    m_done = true;
    m_error = why;
    return false;
}

// Positions the content stream just inside the table named wanted (the first table when
// wanted is empty). False when it is not there; *error set only on a fault.
bool OdsSource::findTable(const QString &wanted, QString *error)
{
    auto entry = m_zip->open(QStringLiteral("content.xml"));
    if (!entry) {
        *error = entry.message();
        return false;
    }
    m_content = std::make_unique<XmlFeed>(std::move(*entry));
    for (;;) {
        const auto t = m_content->next();
        if (t == QXmlStreamReader::EndDocument)
            return false;
        if (t == QXmlStreamReader::Invalid) {
            *error = m_content->status().message();
            return false;
        }
        if (t != QXmlStreamReader::StartElement ||
            m_content->xml().name() != QLatin1String("table"))
            continue;
        const QString name =
            attr(m_content->xml().attributes(), kTableNs, QLatin1StringView("name")).toString();
        if (wanted.isEmpty() || name == wanted) {
            m_sheetName = name;
            return true;
        }
        if (!m_content->skipElement()) {
            *error = m_content->status().message();
            return false;
        }
    }
}

bool OdsSource::open(QString *error)
{
    const QString active = activeTableName(*m_zip);
    if (findTable(active, error))
        return true;
    if (!error->isEmpty())
        return false;
    // The named table is not there: take the first one.
    if (!active.isEmpty() && findTable(QString(), error))
        return true;
    if (error->isEmpty())
        *error = QStringLiteral("it holds no table");
    return false;
}

// The paragraph whose start was just read: its text with spaces, tabs and line breaks. Every
// run of repeated spaces is paid for from the workbook's budget.
bool OdsSource::readParagraph(QString *text)
{
    int depth = 1;
    while (depth > 0) {
        const auto t = m_content->next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument)
            return false;
        const QXmlStreamReader &xml = m_content->xml();
        if (t == QXmlStreamReader::Characters) {
            if (text->size() + xml.text().size() > kMaxCellText)
                return stop(SheetBudget::cellTooLongMessage());
            *text += xml.text();
        } else if (t == QXmlStreamReader::EndElement) {
            --depth;
        } else if (t == QXmlStreamReader::StartElement) {
            const auto name = xml.name();
            if (name == QLatin1String("s")) {
                const qint64 spaces =
                    repeatCount(xml.attributes(), kTextNs, QLatin1StringView("c"));
                if (!m_budget.spend(spaces))
                    return stop(SheetBudget::exceededMessage());
                if (text->size() + spaces > kMaxCellText)
                    return stop(SheetBudget::cellTooLongMessage());
                *text += QString(qsizetype(spaces), QLatin1Char(' '));
                if (!m_content->skipElement())
                    return false;
            } else if (name == QLatin1String("tab")) {
                *text += QLatin1Char('\t');
                if (!m_content->skipElement())
                    return false;
            } else if (name == QLatin1String("line-break")) {
                *text += QLatin1Char('\n');
                if (!m_content->skipElement())
                    return false;
            } else if (name == QLatin1String("note") || name == QLatin1String("annotation") ||
                       name == QLatin1String("frame")) {
                if (!m_content->skipElement())
                    return false;
            } else {
                ++depth; // spans, links: their text belongs to the paragraph
            }
        }
    }
    return true;
}

// The cell whose start was just read: the text of its paragraphs, one line each.
bool OdsSource::readCellContent(QString *text, bool *hasParagraph)
{
    int depth = 1;
    while (depth > 0) {
        const auto t = m_content->next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument)
            return false;
        if (t == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (t != QXmlStreamReader::StartElement)
            continue;
        if (m_content->xml().name() == QLatin1String("p")) {
            if (*hasParagraph && text->size() >= kMaxCellText)
                return stop(SheetBudget::cellTooLongMessage());
            if (*hasParagraph)
                *text += QLatin1Char('\n');
            *hasParagraph = true;
            if (!readParagraph(text))
                return false;
        } else if (!m_content->skipElement()) { // comments, shapes, detective marks
            return false;
        }
    }
    return true;
}

// A value-typed cell without paragraphs (written by a program that left them out).
QString valueText(const QXmlStreamAttributes &a)
{
    const auto type = attr(a, kOfficeNs, QLatin1StringView("value-type"));
    if (type == QLatin1String("float") || type == QLatin1String("percentage") ||
        type == QLatin1String("currency")) {
        bool ok = false;
        const double v = attr(a, kOfficeNs, QLatin1StringView("value")).toDouble(&ok);
        return ok ? formatGeneral(v) : QString();
    }
    if (type == QLatin1String("date"))
        return attr(a, kOfficeNs, QLatin1StringView("date-value")).toString();
    if (type == QLatin1String("time"))
        return attr(a, kOfficeNs, QLatin1StringView("time-value")).toString();
    if (type == QLatin1String("boolean"))
        return attr(a, kOfficeNs, QLatin1StringView("boolean-value")) == QLatin1String("true")
                   ? QStringLiteral("TRUE")
                   : QStringLiteral("FALSE");
    if (type == QLatin1String("string"))
        return attr(a, kOfficeNs, QLatin1StringView("string-value")).toString();
    return QString();
}

// The row whose start was just read: its non-empty cells within the column limit.
bool OdsSource::readRow(std::vector<SheetCell> &cells)
{
    qint64 column = 0;
    for (;;) {
        const auto t = m_content->next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument)
            return false;
        if (t == QXmlStreamReader::EndElement)
            return true; // </table:table-row>
        if (t != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamReader &xml = m_content->xml();
        const auto name = xml.name();
        if (name != QLatin1String("table-cell") && name != QLatin1String("covered-table-cell")) {
            if (!m_content->skipElement())
                return false;
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        const qint64 repeat =
            repeatCount(a, kTableNs, QLatin1StringView("number-columns-repeated"));
        QString text;
        bool hasParagraph = false;
        if (!readCellContent(&text, &hasParagraph))
            return false;
        if (!hasParagraph)
            text = valueText(a);
        if (!text.isEmpty()) {
            // A copy shares the text, but each one shown counts: a repeat is an expansion.
            for (qint64 i = 0; i < repeat && column + i < m_maxColumns; ++i) {
                if ((i > 0 && !m_budget.spend(text.size() + 1)))
                    return stop(SheetBudget::exceededMessage());
                if (!rowTextFits(text.size()))
                    return stop(SheetBudget::rowTooLongMessage());
                cells.push_back(SheetCell{int(column + i), text});
            }
        }
        column = std::min(column + repeat, kMaxIndex);
    }
}

bool OdsSource::nextRow(SheetRow &row)
{
    startRow(row);
    if (m_repeatLeft > 0) {
        if (!m_budget.spend(m_repeatUnits))
            return fail(SheetBudget::exceededMessage());
        --m_repeatLeft;
        row.index = int(m_rowIndex++);
        row.cells = m_repeat.cells;
        return true;
    }
    while (!m_done) {
        const auto t = m_content->next();
        if (t == QXmlStreamReader::Invalid || t == QXmlStreamReader::EndDocument)
            return fail(QStringLiteral("the table is cut short"));
        const QXmlStreamReader &xml = m_content->xml();
        if (t == QXmlStreamReader::EndElement) {
            if (m_depth == 0) { // </table:table>
                m_done = true;
                return false;
            }
            --m_depth;
            continue;
        }
        if (t != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("table-row-group") ||
            name == QLatin1String("table-header-rows") || name == QLatin1String("table-rows")) {
            ++m_depth;
            continue;
        }
        if (name != QLatin1String("table-row")) {
            if (!m_content->skipElement())
                return fail(QStringLiteral("the table is cut short"));
            continue;
        }
        const qint64 repeat =
            repeatCount(xml.attributes(), kTableNs, QLatin1StringView("number-rows-repeated"));
        std::vector<SheetCell> cells;
        startRow(row);
        if (!readRow(cells))
            return fail(QStringLiteral("a table row is cut short"));
        if (cells.empty()) {
            m_rowIndex = std::min(m_rowIndex + repeat, kMaxIndex);
            continue;
        }
        if (m_rowIndex >= kMaxIndex) {
            m_done = true;
            return false;
        }
        row.index = int(m_rowIndex++);
        row.cells = cells;
        if (repeat > 1) {
            m_repeatUnits = 0;
            for (const SheetCell &c : cells)
                m_repeatUnits += c.text.size() + 1;
            m_repeat.cells = std::move(cells);
            m_repeatLeft = std::min(repeat - 1, kMaxIndex - m_rowIndex);
        }
        return true;
    }
    return false;
}

} // namespace

Result<std::unique_ptr<SheetSource>> openOdsSource(std::unique_ptr<ZipArchive> zip, int maxColumns)
{
    auto source = std::make_unique<OdsSource>(std::move(zip), maxColumns);
    QString why;
    if (!source->open(&why))
        return fail(why);
    return std::unique_ptr<SheetSource>(std::move(source));
}

} // namespace quenda
