#pragma once
// The program's side of the Access helper's stream (formats/mdb_protocol.h): bytes go in as they
// arrive, in pieces of any size, and come out as events. Whatever does not follow the protocol
// (a wrong opening, an unknown message, a record that does not match the fields, a length past
// the limits) is Garbled, and stays so. Memory is bounded by one message.

#include "formats/table_reader.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace quenda {

// An Access date: days since 1899-12-30, the fraction the time of day (before that day the
// whole part counts back while the fraction still counts forward, so -1.25 is 1899-12-29 06:00).
// Invalid for a number beyond the years 100 to 9999 or not a number at all. The result is in UTC
// to keep the stored wall-clock time.
QDateTime accessDateTime(double dayNumber);

class MdbStream {
public:
    static constexpr qint64 kMaxMessageBytes = 128 * 1024 * 1024;
    static constexpr int kMaxFields = 4096;

    enum class Event {
        NeedMore,
        Table,
        CodePage,
        Field,
        HeaderEnd,
        Record,
        BatchEnd,
        HelperError, // the helper's reason in text()
        End,
        Garbled, // why in text()
    };

    void append(QByteArrayView bytes);
    Event next();

    const QString &text() const { return m_text; }
    int codePage() const { return m_codePage; }
    const std::vector<FieldInfo> &fields() const { return m_fields; }
    const QVariantList &values() const { return m_values; }

private:
    Event garbled(const QString &why);
    bool decodeRecord(const unsigned char *p, const unsigned char *end);

    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_started = false;
    bool m_headerDone = false;
    bool m_ended = false;
    bool m_broken = false;
    QString m_text;
    int m_codePage = 0;
    std::vector<FieldInfo> m_fields;
    QVariantList m_values;
};

} // namespace quenda
