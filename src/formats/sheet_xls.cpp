// Excel 97-2003 (BIFF8, stream "Workbook") and Excel 5/95 (BIFF5, stream "Book") workbooks:
// the globals (code page, date system, formats, cell styles, shared strings, sheets, active
// sheet) and then, lazily, the cell records of the active sheet.

#include "formats/codepages.h"
#include "formats/sheet_cfb.h"
#include "formats/sheet_numfmt.h"
#include "formats/sheet_source.h"

#include <QHash>
#include <QIODevice>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace quenda {

namespace {

enum RecordType : quint16 {
    kFormula = 0x0006,
    kEof = 0x000A,
    kDateMode = 0x0022,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kMulBlank = 0x00BE,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kFormat = 0x041E,
    kBof = 0x0809,
    kBof2 = 0x0009, // the BOF of BIFF2, 3 and 4
    kBof3 = 0x0209,
    kBof4 = 0x0409,
    kShrFmla = 0x04BC,
    kArray = 0x0221,
    kTable = 0x0236,
};

// The shared strings of a workbook gathered into one record; beyond this a workbook holds more
// text than a cell grid this program shows could ever need.
constexpr qsizetype kMaxGathered = 64 * 1024 * 1024;

struct Record {
    quint16 type = 0;
    QByteArray data;
    std::vector<qsizetype> breaks; // where the body of each CONTINUE begins in data
};

class RecordReader {
public:
    explicit RecordReader(CfbStream *stream) : m_stream(stream) {}

    void seek(qint64 pos) { m_pos = pos; }
    qint64 pos() const { return m_pos; }
    const QString &error() const { return m_error; }

    // The next record; false at the end of the stream or on a fault (error() set). The
    // shared strings and formula texts take in the CONTINUE records that follow them.
    bool next(Record &rec)
    {
        quint16 length = 0;
        if (!header(rec.type, length))
            return false;
        rec.breaks.clear();
        rec.data.resize(length);
        if (!body(rec.data.data(), length))
            return false;
        const bool gather = rec.type == kSst || rec.type == kString;
        while (gather) {
            quint16 type = 0, more = 0;
            const qint64 at = m_pos;
            if (!header(type, more) || type != kContinue) {
                m_pos = at;
                m_error.clear();
                break;
            }
            if (rec.data.size() + more > kMaxGathered) {
                m_error = QStringLiteral("a record is too large");
                return false;
            }
            const qsizetype old = rec.data.size();
            rec.breaks.push_back(old);
            rec.data.resize(old + more);
            if (!body(rec.data.data() + old, more))
                return false;
        }
        return true;
    }

private:
    bool header(quint16 &type, quint16 &length)
    {
        if (m_pos + 4 > m_stream->size())
            return false; // the end: not an error by itself
        char h[4];
        if (!m_stream->read(m_pos, h, 4)) {
            m_error = QStringLiteral("the workbook stream cannot be read");
            return false;
        }
        type = qFromLittleEndian<quint16>(h);
        length = qFromLittleEndian<quint16>(h + 2);
        m_pos += 4;
        return true;
    }
    bool body(char *dst, quint16 length)
    {
        if (!m_stream->read(m_pos, dst, length)) {
            m_error = QStringLiteral("the workbook stream ends inside a record");
            return false;
        }
        m_pos += length;
        return true;
    }

    CfbStream *m_stream;
    qint64 m_pos = 0;
    QString m_error;
};

// Reads fields of one record, with the rule of split strings: where character data crosses
// into a CONTINUE, the continuation starts with a fresh byte telling its character width.
class Cursor {
public:
    explicit Cursor(const Record &rec, qsizetype pos = 0) : m_rec(rec), m_pos(pos) {}
    bool ok() const { return m_ok; }
    qsizetype pos() const { return m_pos; }

    quint8 u8()
    {
        if (!need(1))
            return 0;
        return quint8(m_rec.data[m_pos++]);
    }
    quint16 u16()
    {
        if (!need(2))
            return 0;
        const quint16 v = qFromLittleEndian<quint16>(m_rec.data.constData() + m_pos);
        m_pos += 2;
        return v;
    }
    quint32 u32()
    {
        if (!need(4))
            return 0;
        const quint32 v = qFromLittleEndian<quint32>(m_rec.data.constData() + m_pos);
        m_pos += 4;
        return v;
    }
    double f64()
    {
        if (!need(8))
            return 0;
        double v;
        const quint64 bits = qFromLittleEndian<quint64>(m_rec.data.constData() + m_pos);
        std::memcpy(&v, &bits, 8);
        m_pos += 8;
        return v;
    }
    QByteArray bytes(qint64 n)
    {
        if (n < 0 || !need(n))
            return QByteArray();
        const QByteArray out = m_rec.data.mid(m_pos, qsizetype(n));
        m_pos += qsizetype(n);
        return out;
    }
    void skip(qint64 n)
    {
        if (n < 0 || !need(n))
            return;
        m_pos += qsizetype(n);
    }

    // A BIFF8 string body: count characters, flags already read.
    QString chars(quint32 count, bool highByte)
    {
        QString out;
        out.reserve(qsizetype(std::min<quint32>(count, 8224)));
        while (count > 0 && m_ok) {
            const qsizetype end = nextBreak();
            if (m_pos == end && end < m_rec.data.size()) {
                highByte = (u8() & 0x01) != 0;
                continue;
            }
            const qsizetype avail = end - m_pos;
            const qsizetype width = highByte ? 2 : 1;
            const qsizetype take = std::min<qsizetype>(qsizetype(count), avail / width);
            if (take <= 0) {
                m_ok = false;
                break;
            }
            const char *p = m_rec.data.constData() + m_pos;
            if (highByte) {
                for (qsizetype i = 0; i < take; ++i)
                    out += QChar(qFromLittleEndian<quint16>(p + 2 * i));
            } else {
                out += QString::fromLatin1(p, take);
            }
            m_pos += take * width;
            count -= quint32(take);
        }
        return out;
    }

    // XLUnicodeRichExtendedString (shared strings): count of 16 bits, flags, runs, phonetics.
    QString richString()
    {
        const quint16 count = u16();
        const quint8 flags = u8();
        quint16 runs = 0;
        quint32 ext = 0;
        if (flags & 0x08)
            runs = u16();
        if (flags & 0x04)
            ext = u32();
        QString s = chars(count, flags & 0x01);
        skip(qint64(runs) * 4 + ext);
        return s;
    }

private:
    bool need(qint64 n)
    {
        if (!m_ok || m_pos + n > m_rec.data.size()) {
            m_ok = false;
            return false;
        }
        return true;
    }
    // The cursor only moves forward, so the search for the next break goes on from the last.
    qsizetype nextBreak()
    {
        while (m_break < m_rec.breaks.size() && m_rec.breaks[m_break] < m_pos)
            ++m_break;
        return m_break < m_rec.breaks.size() ? m_rec.breaks[m_break] : m_rec.data.size();
    }

    const Record &m_rec;
    qsizetype m_pos;
    size_t m_break = 0;
    bool m_ok = true;
};

double decodeRk(quint32 rk)
{
    double v;
    if (rk & 0x02) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 0x01) ? v / 100 : v;
}

QString errorText(quint8 code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#N/A");
    }
}

struct SheetEntry {
    quint32 offset = 0;
    quint8 kind = 0; // 0 worksheet, 1 macro sheet, 2 chart, 6 VB module
    QString name;
};

class XlsSource final : public SheetSource {
public:
    XlsSource(std::unique_ptr<QIODevice> file, int maxColumns)
        : SheetSource(maxColumns), m_file(std::move(file))
    {
    }

    bool open(QString *error);

    bool nextRow(SheetRow &row) override;
    Status status() const override { return faultStatus(m_error); }
    QString sheetName() const override { return m_sheetName; }
    int codePage() const override { return m_biff8 ? 1200 : m_codePage; }

private:
    bool readGlobals(QString *error);
    QString byteString(QByteArrayView bytes) const { return decodeCodePage(m_codePage, bytes); }
    QString shortName(Cursor &c); // BOUNDSHEET names
    QString longString(Cursor &c);
    QString formatCode(quint16 xf) const;
    void numberCell(int row, int col, quint16 xf, double value);
    void textCell(int row, int col, quint16 xf, const QString &text);
    void addCell(int row, int col, QString text);
    void handleCell(const Record &rec);

    std::unique_ptr<QIODevice> m_file;
    std::unique_ptr<CompoundFile> m_cfb;
    std::unique_ptr<CfbStream> m_stream;
    std::unique_ptr<RecordReader> m_records;
    bool m_biff8 = true;
    bool m_bookStream = false; // the Excel 5/95 stream name
    int m_codePage = 1252;
    NumberFormatter m_formatter;
    QHash<quint16, QString> m_formats;
    std::vector<quint16> m_xfFormat;
    SharedStrings m_sst;
    QString m_sheetName;
    QString m_error;
    bool m_done = false;
    int m_depth = 0;

    SheetRow m_current{-1, {}};
    SheetRow m_next{-1, {}};
    qint64 m_currentUnits = 0, m_nextUnits = 0; // text the two rows hold
    bool m_rowTooLong = false;
    bool m_rowDone = false;
    struct PendingFormula {
        int row = -1, col = 0;
        quint16 xf = 0;
    } m_formula;
};

QString XlsSource::shortName(Cursor &c)
{
    const quint8 n = c.u8();
    if (!m_biff8)
        return byteString(c.bytes(n));
    const quint8 flags = c.u8();
    return c.chars(n, flags & 0x01);
}

QString XlsSource::longString(Cursor &c)
{
    const quint16 n = c.u16();
    if (!m_biff8)
        return byteString(c.bytes(n));
    const quint8 flags = c.u8();
    return c.chars(n, flags & 0x01);
}

QString XlsSource::formatCode(quint16 xf) const
{
    const quint16 id = xf < m_xfFormat.size() ? m_xfFormat[xf] : 0;
    const auto it = m_formats.constFind(id);
    return it != m_formats.constEnd() ? *it : builtinNumberFormat(id);
}

void XlsSource::numberCell(int row, int col, quint16 xf, double value)
{
    if (col >= m_maxColumns)
        return;
    addCell(row, col, m_formatter.formatNumber(value, formatCode(xf)));
}

void XlsSource::textCell(int row, int col, quint16 xf, const QString &text)
{
    if (col >= m_maxColumns)
        return;
    addCell(row, col, m_formatter.formatText(text, formatCode(xf)));
}

// Cells arrive row by row; the first cell of another row closes the current one and waits in
// m_next for the following call.
void XlsSource::addCell(int row, int col, QString text)
{
    if (text.isEmpty() || col < 0 || col >= m_maxColumns)
        return;
    if (m_current.index < 0)
        m_current.index = row;
    if (row == m_current.index && !m_rowDone) {
        m_currentUnits += text.size();
        m_current.cells.push_back(SheetCell{col, std::move(text)});
    } else if (m_next.index < 0 || m_next.index == row) {
        // A record holds one row only; a stray third row is dropped.
        m_next.index = row;
        m_nextUnits += text.size();
        m_next.cells.push_back(SheetCell{col, std::move(text)});
        m_rowDone = true;
    }
    if (m_currentUnits > kMaxRowText || m_nextUnits > kMaxRowText) {
        m_error = SheetBudget::rowTooLongMessage();
        m_rowTooLong = m_done = true;
    }
}

bool XlsSource::readGlobals(QString *error)
{
    Record rec;
    if (!m_records->next(rec) || rec.type != kBof) {
        if (rec.type == kBof2 || rec.type == kBof3 || rec.type == kBof4)
            *error = QStringLiteral("workbooks older than Excel 5 are not supported");
        else
            *error = QStringLiteral("its workbook stream does not begin like a workbook");
        return false;
    }
    {
        Cursor c(rec);
        const quint16 version = c.u16();
        // 0x0600 marks Excel 97 and later; Excel 5/95 writes 0x0500 (some writers leave 0).
        m_biff8 = version >= 0x0600 || (version == 0 && !m_bookStream);
    }
    std::vector<SheetEntry> sheets;
    int active = 0;
    bool windowSeen = false;
    for (;;) {
        if (!m_records->next(rec)) {
            *error = m_records->error().isEmpty()
                         ? QStringLiteral("the workbook stream ends before its sheets are listed")
                         : m_records->error();
            return false;
        }
        if (rec.type == kSst) {
            Cursor c(rec);
            c.u32(); // total references
            const quint32 unique = c.u32();
            // Never trust the count: the strings are kept as far as the record holds them.
            for (quint32 i = 0; i < unique && c.ok() && c.pos() < rec.data.size(); ++i) {
                const QString s = c.richString();
                if (!c.ok())
                    break;
                if (!m_sst.add(s, m_budget)) {
                    *error = SheetBudget::exceededMessage();
                    return false;
                }
            }
            continue;
        }
        Cursor c(rec);
        switch (rec.type) {
        case kEof:
            break;
        case kFilePass:
            *error = QStringLiteral("it is protected with a password");
            return false;
        case kCodePage: {
            const quint16 cp = c.u16();
            m_codePage = cp == 0x8000 ? 10000 : (cp == 0x8001 ? 1252 : cp);
            break;
        }
        case kDateMode:
            m_formatter.setDate1904(c.u16() == 1);
            break;
        case kFormat: {
            const quint16 id = c.u16();
            QString code;
            if (m_biff8) {
                code = longString(c);
            } else {
                const quint8 n = c.u8();
                code = byteString(c.bytes(n));
            }
            if (c.ok())
                m_formats.insert(id, code);
            break;
        }
        case kXf:
            c.u16();
            m_xfFormat.push_back(c.u16());
            break;
        case kBoundSheet: {
            SheetEntry e;
            e.offset = c.u32();
            c.u8(); // visibility
            e.kind = c.u8();
            e.name = shortName(c);
            if (c.ok())
                sheets.push_back(std::move(e));
            break;
        }
        case kWindow1:
            if (!windowSeen) {
                c.skip(10);
                active = c.u16();
                windowSeen = c.ok();
            }
            break;
        default:
            break;
        }
        if (rec.type == kEof)
            break;
    }

    // The sheet saved as active; a chart or module tab falls back to the first worksheet.
    const SheetEntry *chosen = nullptr;
    if (active >= 0 && size_t(active) < sheets.size() && sheets[size_t(active)].kind == 0)
        chosen = &sheets[size_t(active)];
    for (size_t i = 0; !chosen && i < sheets.size(); ++i)
        if (sheets[i].kind == 0)
            chosen = &sheets[i];
    if (!chosen) {
        *error = QStringLiteral("it holds no worksheet");
        return false;
    }
    m_sheetName = chosen->name;
    if (qint64(chosen->offset) + 4 > m_stream->size()) {
        *error = QStringLiteral("the sheet \"%1\" lies past the end of the workbook stream")
                     .arg(m_sheetName);
        return false;
    }
    m_records->seek(chosen->offset);
    if (!m_records->next(rec) || rec.type != kBof) {
        *error = QStringLiteral("the sheet \"%1\" does not begin where the workbook says")
                     .arg(m_sheetName);
        return false;
    }
    return true;
}

bool XlsSource::open(QString *error)
{
    auto cfb = CompoundFile::open(m_file.get());
    if (!cfb) {
        *error = cfb.message();
        return false;
    }
    m_cfb = std::move(*cfb);
    for (const char *name : {"Workbook", "Book"}) {
        auto stream = m_cfb->openStream(QString::fromLatin1(name));
        if (!stream) {
            *error = stream.message();
            return false;
        }
        m_stream = std::move(*stream);
        m_bookStream = name[0] == 'B';
        if (m_stream)
            break;
    }
    if (!m_stream) {
        if (error->isEmpty())
            *error = QStringLiteral("it holds no Excel workbook");
        return false;
    }
    m_records = std::make_unique<RecordReader>(m_stream.get());
    return readGlobals(error);
}

void XlsSource::handleCell(const Record &rec)
{
    Cursor c(rec);
    if (rec.type == kString) {
        const PendingFormula f = m_formula;
        m_formula.row = -1;
        if (f.row >= 0) {
            const QString text = longString(c);
            if (c.ok())
                textCell(f.row, f.col, f.xf, text);
        }
        return;
    }
    if (rec.type == kShrFmla || rec.type == kArray || rec.type == kTable)
        return; // these may stand between a formula and its STRING
    m_formula.row = -1;
    switch (rec.type) {
    case kNumber: {
        const int row = c.u16(), col = c.u16();
        const quint16 xf = c.u16();
        const double v = c.f64();
        if (c.ok())
            numberCell(row, col, xf, v);
        break;
    }
    case kRk: {
        const int row = c.u16(), col = c.u16();
        const quint16 xf = c.u16();
        const quint32 rk = c.u32();
        if (c.ok())
            numberCell(row, col, xf, decodeRk(rk));
        break;
    }
    case kMulRk: {
        const int row = c.u16();
        int col = c.u16();
        // Six bytes a cell, then the last column number.
        const qsizetype cells = (rec.data.size() - 6) / 6;
        for (qsizetype i = 0; i < cells && c.ok(); ++i, ++col) {
            const quint16 xf = c.u16();
            const quint32 rk = c.u32();
            if (c.ok())
                numberCell(row, col, xf, decodeRk(rk));
        }
        break;
    }
    case kLabelSst: {
        const int row = c.u16(), col = c.u16();
        const quint16 xf = c.u16();
        const quint32 index = c.u32();
        if (c.ok() && index < m_sst.size())
            textCell(row, col, xf, m_sst.at(index));
        break;
    }
    case kLabel:
    case kRString: {
        const int row = c.u16(), col = c.u16();
        const quint16 xf = c.u16();
        const QString text = longString(c);
        if (c.ok())
            textCell(row, col, xf, text);
        break;
    }
    case kBoolErr: {
        const int row = c.u16(), col = c.u16();
        c.u16();
        const quint8 value = c.u8();
        const quint8 isError = c.u8();
        if (c.ok() && col < m_maxColumns)
            addCell(row, col,
                    isError ? errorText(value) : QString::fromLatin1(value ? "TRUE" : "FALSE"));
        break;
    }
    case kFormula: {
        const int row = c.u16(), col = c.u16();
        const quint16 xf = c.u16();
        const qsizetype at = c.pos();
        const double v = c.f64();
        if (!c.ok())
            break;
        const char *r = rec.data.constData() + at;
        if (quint8(r[6]) != 0xFF || quint8(r[7]) != 0xFF) {
            numberCell(row, col, xf, v);
            break;
        }
        switch (quint8(r[0])) {
        case 0: // text: in the STRING record that follows
            m_formula = PendingFormula{row, col, xf};
            break;
        case 1:
            if (col < m_maxColumns)
                addCell(row, col, QString::fromLatin1(r[2] ? "TRUE" : "FALSE"));
            break;
        case 2:
            if (col < m_maxColumns)
                addCell(row, col, errorText(quint8(r[2])));
            break;
        default: // 3: an empty text
            break;
        }
        break;
    }
    default:
        break;
    }
}

bool XlsSource::nextRow(SheetRow &row)
{
    row.index = -1;
    row.cells.clear();
    while (!m_done && !m_rowDone) {
        Record rec;
        if (!m_records->next(rec)) {
            m_error = m_records->error().isEmpty()
                          ? QStringLiteral("the sheet \"%1\" ends without its end record")
                                .arg(m_sheetName)
                          : m_records->error();
            m_done = true;
            break;
        }
        if (rec.type == kBof) { // an embedded chart: skip to its own end
            ++m_depth;
            continue;
        }
        if (rec.type == kEof) {
            if (m_depth == 0)
                m_done = true;
            else
                --m_depth;
            continue;
        }
        if (m_depth > 0)
            continue;
        handleCell(rec);
    }
    if (m_current.index < 0 || m_rowTooLong)
        return false;
    row = std::move(m_current);
    m_current = std::move(m_next);
    m_currentUnits = m_nextUnits;
    m_next = SheetRow{-1, {}};
    m_nextUnits = 0;
    m_rowDone = false;
    return true;
}

} // namespace

Result<std::unique_ptr<SheetSource>> openXlsSource(std::unique_ptr<QIODevice> file, int maxColumns)
{
    auto source = std::make_unique<XlsSource>(std::move(file), maxColumns);
    QString why;
    if (!source->open(&why))
        return fail(why);
    return std::unique_ptr<SheetSource>(std::move(source));
}

} // namespace quenda
