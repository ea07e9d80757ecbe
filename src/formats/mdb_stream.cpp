#include "formats/mdb_stream.h"

#include "formats/mdb_protocol.h"

#include <QTimeZone>

#include <cmath>
#include <cstring>

namespace quenda {

namespace {

namespace proto = mdbproto;

constexpr qint64 kMsPerDay = 86400000;
// 0100-01-01 and 9999-12-31, the range Access accepts.
constexpr double kFirstDay = -657434;
constexpr double kLastDay = 2958465.999999;

quint32 le32(const unsigned char *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

quint64 le64(const unsigned char *p)
{
    return quint64(le32(p)) | (quint64(le32(p + 4)) << 32);
}

double leDouble(const unsigned char *p)
{
    const quint64 bits = le64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

FieldType fieldType(quint8 code, bool *known)
{
    *known = true;
    switch (code) {
    case proto::kFieldText:
        return FieldType::Text;
    case proto::kFieldMemo:
        return FieldType::Memo;
    case proto::kFieldInteger:
        return FieldType::Integer;
    case proto::kFieldNumber:
        return FieldType::Number;
    case proto::kFieldCurrency:
        return FieldType::Currency;
    case proto::kFieldBoolean:
        return FieldType::Boolean;
    case proto::kFieldDate:
        return FieldType::Date;
    case proto::kFieldDateTime:
        return FieldType::DateTime;
    case proto::kFieldBinary:
        return FieldType::Binary;
    default:
        *known = false;
        return FieldType::Binary;
    }
}

} // namespace

QDateTime accessDateTime(double dayNumber)
{
    if (!std::isfinite(dayNumber) || dayNumber < kFirstDay - 1 || dayNumber > kLastDay)
        return {};
    const double whole = std::trunc(dayNumber);
    qint64 day = qint64(whole);
    qint64 ms = std::llround(std::fabs(dayNumber - whole) * double(kMsPerDay));
    if (ms >= kMsPerDay) { // rounding reached midnight of the next day
        ms -= kMsPerDay;
        ++day;
    }
    const QDate date = QDate(1899, 12, 30).addDays(day);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), QTimeZone::utc());
}

void MdbStream::append(QByteArrayView bytes)
{
    if (m_broken)
        return;
    // Drop what was read before it costs memory.
    if (m_pos > 0 && m_pos >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    m_buffer.append(bytes);
}

MdbStream::Event MdbStream::garbled(const QString &why)
{
    m_broken = true;
    m_text = why;
    m_buffer.clear();
    m_pos = 0;
    return Event::Garbled;
}

MdbStream::Event MdbStream::next()
{
    if (m_broken)
        return Event::Garbled;
    const auto *data = reinterpret_cast<const unsigned char *>(m_buffer.constData());
    const qsizetype available = m_buffer.size() - m_pos;
    if (!m_started) {
        if (available < 5)
            return Event::NeedMore;
        if (std::memcmp(data + m_pos, proto::kMagic, 4) != 0 || data[m_pos + 4] != proto::kVersion)
            return garbled(QStringLiteral("it does not open as expected"));
        m_started = true;
        m_pos += 5;
        return next();
    }
    if (available == 0)
        return Event::NeedMore;
    if (m_ended)
        return garbled(QStringLiteral("it goes on after its end"));
    if (available < 5)
        return Event::NeedMore;
    const unsigned char *head = data + m_pos;
    const char tag = char(head[0]);
    const quint32 length = le32(head + 1);
    if (length > kMaxMessageBytes)
        return garbled(QStringLiteral("a message is too long"));
    if (available < 5 + qsizetype(length))
        return Event::NeedMore;
    const unsigned char *p = head + 5;
    const unsigned char *end = p + length;
    m_pos += 5 + qsizetype(length);
    m_text.clear();

    switch (tag) {
    case proto::kTable:
        m_text = QString::fromUtf8(reinterpret_cast<const char *>(p), length);
        return Event::Table;
    case proto::kCodePage:
        if (length != 4)
            return garbled(QStringLiteral("a code page is malformed"));
        m_codePage = int(le32(p));
        return Event::CodePage;
    case proto::kField: {
        if (m_headerDone || length < 5)
            return garbled(QStringLiteral("a field is malformed or out of place"));
        if (int(m_fields.size()) >= kMaxFields)
            return garbled(QStringLiteral("it has too many fields"));
        bool known = false;
        FieldInfo field;
        field.type = fieldType(p[0], &known);
        if (!known)
            return garbled(QStringLiteral("a field has an unknown type"));
        field.size = int(le32(p + 1));
        field.name = QString::fromUtf8(reinterpret_cast<const char *>(p + 5), length - 5);
        m_fields.push_back(field);
        return Event::Field;
    }
    case proto::kHeaderEnd:
        if (m_headerDone || length != 0)
            return garbled(QStringLiteral("the end of the fields is out of place"));
        m_headerDone = true;
        return Event::HeaderEnd;
    case proto::kRecord:
        if (!m_headerDone)
            return garbled(QStringLiteral("a record comes before the fields"));
        if (!decodeRecord(p, end))
            return garbled(QStringLiteral("a record does not match the fields"));
        return Event::Record;
    case proto::kBatchEnd:
        return length == 0 ? Event::BatchEnd : garbled(QStringLiteral("a batch end is malformed"));
    case proto::kError:
        m_text = QString::fromUtf8(reinterpret_cast<const char *>(p), length);
        return Event::HelperError;
    case proto::kEnd:
        if (length != 0)
            return garbled(QStringLiteral("its end is malformed"));
        m_ended = true;
        return Event::End;
    default:
        return garbled(QStringLiteral("it holds an unknown message"));
    }
}

bool MdbStream::decodeRecord(const unsigned char *p, const unsigned char *end)
{
    const qsizetype count = qsizetype(m_fields.size());
    m_values.resize(count);
    for (qsizetype i = 0; i < count; ++i) {
        if (p >= end)
            return false;
        const quint8 kind = *p++;
        const qsizetype left = end - p;
        QVariant &value = m_values[i];
        switch (kind) {
        case proto::kValueNull:
            value = QVariant();
            break;
        case proto::kValueText: {
            if (left < 4 || qsizetype(le32(p)) > left - 4)
                return false;
            const quint32 n = le32(p);
            value = QString::fromUtf8(reinterpret_cast<const char *>(p + 4), n);
            p += 4 + n;
            break;
        }
        case proto::kValueInteger:
            if (left < 8)
                return false;
            value = qint64(le64(p));
            p += 8;
            break;
        case proto::kValueNumber:
            if (left < 8)
                return false;
            value = leDouble(p);
            p += 8;
            break;
        case proto::kValueBoolean:
            if (left < 1)
                return false;
            value = *p++ != 0;
            break;
        case proto::kValueDay: {
            if (left < 8)
                return false;
            const QDateTime when = accessDateTime(leDouble(p));
            p += 8;
            if (!when.isValid())
                value = QVariant();
            else if (m_fields[std::size_t(i)].type == FieldType::Date)
                value = when.date();
            else
                value = when;
            break;
        }
        default:
            return false;
        }
    }
    return p == end;
}

} // namespace quenda
