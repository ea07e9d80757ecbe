#include "formats/delimited_reader.h"

#include "formats/byte_source.h"
#include "formats/codepages.h"
#include "formats/field_names.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

namespace quenda {

namespace {

constexpr qsizetype kBlock = 256 * 1024;
constexpr qsizetype kSample = 64 * 1024;
constexpr int kSampleRecords = 50;
// In order of preference when two split the first lines equally well.
constexpr char kCandidates[] = {'\t', ';', ',', '|'};

struct Span {
    qsizetype begin;
    qsizetype end;
    bool quoted;
};

enum class Got { Record, End, Fault };

bool isLineEnd(unsigned char c)
{
    return c == '\n' || c == '\r';
}

// Field counts of the complete records at the start of the sample, split by delim with the
// reader's quoting rules. The last record counts only when the sample holds the whole file.
std::vector<int> sampleFieldCounts(QByteArrayView sample, char delim, bool wholeFile)
{
    std::vector<int> counts;
    const auto *b = reinterpret_cast<const unsigned char *>(sample.data());
    const qsizetype n = sample.size();
    qsizetype p = 0;
    while (p < n && static_cast<int>(counts.size()) < kSampleRecords) {
        if (isLineEnd(b[p])) {
            ++p;
            continue;
        }
        int fields = 1;
        bool atFieldStart = true;
        bool ended = false;
        while (p < n) {
            const unsigned char c = b[p];
            if (atFieldStart && c == '"') {
                qsizetype q = p + 1;
                while (q < n && !(b[q] == '"' && (q + 1 >= n || b[q + 1] != '"')))
                    q += b[q] == '"' ? 2 : 1;
                if (q >= n)
                    return counts; // the quote does not close within the sample
                p = q + 1;
                atFieldStart = false;
                continue;
            }
            atFieldStart = false;
            if (c == static_cast<unsigned char>(delim)) {
                ++fields;
                atFieldStart = true;
            } else if (isLineEnd(c)) {
                ended = true;
                break;
            }
            ++p;
        }
        if (!ended && !wholeFile)
            break;
        counts.push_back(fields);
    }
    return counts;
}

char detectDelimiter(QByteArrayView sample, bool wholeFile)
{
    char best = 0;
    double bestShare = -1;
    int bestFields = 0;
    for (char candidate : kCandidates) {
        const std::vector<int> counts = sampleFieldCounts(sample, candidate, wholeFile);
        if (counts.empty() || counts.front() < 2)
            continue;
        int agreeing = 0;
        for (std::size_t i = 1; i < counts.size(); ++i)
            agreeing += counts[i] == counts.front() ? 1 : 0;
        const double share = counts.size() > 1 ? double(agreeing) / double(counts.size() - 1) : 1.0;
        if (share > bestShare || (share == bestShare && counts.front() > bestFields)) {
            best = candidate;
            bestShare = share;
            bestFields = counts.front();
        }
    }
    if (best)
        return best;
    // One field per line: take the candidate the text uses least, so that no value is split.
    qsizetype fewest = -1;
    for (char candidate : kCandidates) {
        const qsizetype uses = sample.count(candidate);
        if (fewest < 0 || uses < fewest) {
            fewest = uses;
            best = candidate;
        }
    }
    return best;
}

bool isAscii(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *end = p + bytes.size();
    quint64 high = 0;
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        high |= word;
    }
    for (; p < end; ++p)
        high |= static_cast<unsigned char>(*p);
    return (high & 0x8080808080808080ULL) == 0;
}

// UTF-16 without a byte-order mark: nearly every other byte zero, the others not.
int detectUtf16(QByteArrayView sample)
{
    const qsizetype pairs = std::min<qsizetype>(sample.size() / 2, 4096);
    if (pairs < 2)
        return 0;
    qsizetype zeroEven = 0, zeroOdd = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        zeroEven += sample[2 * i] == 0 ? 1 : 0;
        zeroOdd += sample[2 * i + 1] == 0 ? 1 : 0;
    }
    if (zeroOdd * 10 >= pairs * 4 && zeroEven * 20 < pairs)
        return kCodePageUtf16Le;
    if (zeroEven * 10 >= pairs * 4 && zeroOdd * 20 < pairs)
        return kCodePageUtf16Be;
    return 0;
}

// Valid UTF-8 up to a character that the end of the sample may have cut.
bool sampleIsUtf8(QByteArrayView sample, bool wholeFile)
{
    if (isValidUtf8(sample))
        return true;
    if (wholeFile)
        return false;
    for (qsizetype cut = 1; cut <= 3 && cut < sample.size(); ++cut)
        if (isValidUtf8(sample.chopped(cut)))
            return true;
    return false;
}

// Whether the bytes hold the ends of at least two lines (a CR LF counts once): enough to tell
// how the first line splits and whether the next one agrees.
bool holdsTwoLineEnds(QByteArrayView bytes)
{
    int ends = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\n' || (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            if (++ends == 2)
                return true;
    }
    return false;
}

} // namespace

struct DelimitedReader::Impl {
    std::unique_ptr<ByteSource> source;
    QString name;
    qint64 sourceOffset = 0;
    bool sourceDone = false;
    // UTF-16 and multi-byte pages are turned into UTF-8 on the way in, so that the splitting
    // below only ever meets ASCII delimiters and quotes.
    std::optional<QStringDecoder> transcoder;
    QByteArray raw;

    QByteArray buf;
    qsizetype recStart = 0;
    qsizetype bufEnd = 0;

    char delim = ',';
    std::array<bool, 256> stops{};
    int codePage = kCodePageUtf8;
    bool bom = false;
    const CodePageTable *table = nullptr; // null: UTF-8 with the Windows-1252 fallback
    const CodePageTable *fallback = codePageTable(1252);

    std::vector<FieldInfo> fields;
    std::vector<Span> spans;
    bool spansLeftOut = false; // the record has fields past kMaxFields
    qsizetype recLength = 0;
    qint64 recLineEnds = 0;
    bool recordPending = false; // parsed but not yet handed out
    bool recordIsUtf8 = false;
    bool recordIsAscii = false;
    QByteArray scratch;
    QByteArray textBytes; // the values nextText() could not leave where they stand
    struct Moved {
        std::size_t field;
        qsizetype offset;
        qsizetype size;
    };
    std::vector<Moved> moved;
    qint64 records = 0;
    qint64 line = 1;
    QString error;
    bool failed = false;

    void fault(const QString &reason)
    {
        if (!failed)
            error = cannotReadMessage(name, reason);
        failed = true;
    }

    void setDelimiter(char c)
    {
        delim = c;
        stops.fill(false);
        stops[static_cast<unsigned char>(c)] = true;
        stops['\n'] = true;
        stops['\r'] = true;
    }

    // The first delimiter or line end in base[from, limit), or limit: eight bytes at a time, the
    // first in memory being the lowest.
    static_assert(std::endian::native == std::endian::little);
    qsizetype findStop(const unsigned char *base, qsizetype from, qsizetype limit) const
    {
        constexpr quint64 ones = 0x0101010101010101ULL;
        constexpr quint64 highs = 0x8080808080808080ULL;
        const quint64 delims = ones * static_cast<unsigned char>(delim);
        const auto holds = [](quint64 word, quint64 pattern) {
            const quint64 x = word ^ pattern; // a zero byte where the byte matches
            return (x - ones) & ~x & highs;   // exact for the lowest match
        };
        qsizetype p = from;
        while (limit - p >= 8) {
            quint64 word;
            std::memcpy(&word, base + p, 8);
            const quint64 found =
                holds(word, delims) | holds(word, ones * '\n') | holds(word, ones * '\r');
            if (found)
                return p + qsizetype(std::countr_zero(found) / 8);
            p += 8;
        }
        while (p < limit && !stops[base[p]])
            ++p;
        return p;
    }

    qsizetype avail() const { return bufEnd - recStart; }
    unsigned char at(qsizetype i) const
    {
        return static_cast<unsigned char>(buf.constData()[recStart + i]);
    }

    // More bytes after bufEnd; false at the end of the file or on a fault. Keeps the record being
    // read, moving it to the front of the buffer.
    bool fill()
    {
        while (!sourceDone && !failed) {
            if (recStart > 0) {
                std::memmove(buf.data(), buf.constData() + recStart,
                             static_cast<size_t>(bufEnd - recStart));
                bufEnd -= recStart;
                recStart = 0;
            }
            // A small file needs no big buffer.
            const qsizetype block =
                qsizetype(std::clamp<qint64>(source->size() - sourceOffset + 1, 4096, kBlock));
            const qsizetype room = transcoder ? 3 * block : block;
            if (buf.size() - bufEnd < room)
                buf.resize(std::max(buf.size() * 2, bufEnd + room));
            qint64 got;
            qsizetype produced;
            if (!transcoder) {
                got = source->readAt(sourceOffset, buf.data() + bufEnd, block);
                produced = got;
            } else {
                raw.resize(block);
                got = source->readAt(sourceOffset, raw.data(), block);
                produced = 0;
                if (got > 0) {
                    const QString text = transcoder->decode(raw.first(got));
                    const QByteArray utf8 = text.toUtf8();
                    if (buf.size() - bufEnd < utf8.size())
                        buf.resize(bufEnd + utf8.size());
                    std::memcpy(buf.data() + bufEnd, utf8.constData(),
                                static_cast<size_t>(utf8.size()));
                    produced = utf8.size();
                }
            }
            if (got < 0) {
                fault(source->status().message());
                return false;
            }
            if (got == 0) {
                sourceDone = true;
                return false;
            }
            sourceOffset += got;
            bufEnd += produced;
            if (produced > 0)
                return true;
        }
        return false;
    }

    // Further bytes for the record being read, within the cap on a record's length.
    bool more()
    {
        if (avail() > DelimitedReader::kMaxRecordBytes) {
            fault(recordTooLong());
            return false;
        }
        return fill();
    }

    bool skipEmptyLines()
    {
        for (;;) {
            if (avail() == 0 && !fill())
                return false;
            const unsigned char c = at(0);
            if (!isLineEnd(c))
                return true;
            ++recStart;
            ++line;
            if (c == '\r' && (avail() > 0 || fill()) && at(0) == '\n')
                ++recStart;
        }
    }

    // Where a value that opens with a quote at fieldStart closes: the offset after its closing
    // quote, or -1 when the quote is to be read as an ordinary character. Adds the line ends
    // inside the quotes to lineEnds.
    qsizetype closeQuote(qsizetype fieldStart, qint64 &lineEnds)
    {
        qsizetype q = fieldStart + 1;
        int inside = 0;
        for (;;) {
            if (q == avail()) {
                if (!more())
                    return -1; // the end of the file with the quote still open
                continue;
            }
            const unsigned char c = at(q);
            if (c == '"') {
                if (q + 1 == avail() && !more()) {
                    if (failed)
                        return -1;
                    break;
                }
                if (at(q + 1) == '"') {
                    q += 2;
                    continue;
                }
                break;
            }
            if (c == '\r' || (c == '\n' && at(q - 1) != '\r'))
                ++inside;
            if (inside > DelimitedReader::kMaxQuotedLineEnds ||
                q - fieldStart > DelimitedReader::kMaxQuotedBytes)
                return -1;
            ++q;
        }
        lineEnds += inside;
        return q + 1;
    }

    // Fields past the limit are passed over, so that a line of nothing but delimiters costs no
    // memory beyond it.
    void addSpan(const Span &span)
    {
        if (qsizetype(spans.size()) < DelimitedReader::kMaxFields)
            spans.push_back(span);
        else
            spansLeftOut = true;
    }

    // A record that came whole into the buffer is held to the same cap as one read in pieces.
    Got finishRecord(qsizetype length, qint64 lineEnds)
    {
        if (length > DelimitedReader::kMaxRecordBytes) {
            fault(recordTooLong());
            return Got::Fault;
        }
        recLength = length;
        recLineEnds = lineEnds;
        return Got::Record;
    }

    QString recordTooLong() const
    {
        return QStringLiteral("the record at line %1 is longer than %2 MiB")
            .arg(line)
            .arg(DelimitedReader::kMaxRecordBytes / (1024 * 1024));
    }

    // Splits the next record into spans relative to recStart, without moving past it.
    Got parseRecord()
    {
        spans.clear();
        spansLeftOut = false;
        if (!skipEmptyLines())
            return failed ? Got::Fault : Got::End;
        qsizetype p = 0;
        qint64 lineEnds = 0;
        for (;;) {
            const qsizetype fieldStart = p;
            bool quoted = false;
            if (p == avail() && !more() && failed)
                return Got::Fault;
            if (p < avail() && at(p) == '"') {
                const qsizetype closed = closeQuote(fieldStart, lineEnds);
                if (failed)
                    return Got::Fault;
                if (closed >= 0) {
                    quoted = true;
                    p = closed;
                }
            }
            for (;;) {
                const auto *base =
                    reinterpret_cast<const unsigned char *>(buf.constData()) + recStart;
                const qsizetype limit = avail();
                p = findStop(base, p, limit);
                if (p < limit)
                    break;
                if (!more()) {
                    if (failed)
                        return Got::Fault;
                    addSpan({fieldStart, p, quoted});
                    return finishRecord(p, lineEnds);
                }
            }
            addSpan({fieldStart, p, quoted});
            const unsigned char c = at(p++);
            if (c == static_cast<unsigned char>(delim)) {
                if (p == avail() && !more()) {
                    if (failed)
                        return Got::Fault;
                    addSpan({p, p, false}); // a delimiter just before the end
                    return finishRecord(p, lineEnds);
                }
                continue;
            }
            if (c == '\r' && (p < avail() || more()) && at(p) == '\n')
                ++p;
            if (failed)
                return Got::Fault;
            return finishRecord(p, lineEnds + 1);
        }
    }

    void consumeRecord()
    {
        recStart += recLength;
        line += recLineEnds;
        recLength = 0;
        recLineEnds = 0;
    }

    bool nextParsed()
    {
        if (recordPending) {
            recordPending = false;
        } else if (failed || parseRecord() != Got::Record) {
            return false;
        }
        // Delimiters, quotes and line ends never stand inside a UTF-8 sequence, so a record that
        // is well-formed as a whole has well-formed values: one check instead of one per value.
        const QByteArrayView record(buf.constData() + recStart, recLength);
        recordIsAscii = !table && isAscii(record);
        recordIsUtf8 = recordIsAscii || (!table && isValidUtf8(record));
        return true;
    }

    QString decode(const char *bytes, qsizetype size)
    {
        const QByteArrayView view(bytes, size);
        if (table)
            return decodeWithTable(*table, view);
        // Qt turns ASCII into a string faster as Latin-1 than as UTF-8.
        if (recordIsAscii || isAscii(view))
            return QString::fromLatin1(view);
        if (recordIsUtf8 || isValidUtf8(view))
            return QString::fromUtf8(view);
        return decodeWithTable(*fallback, view);
    }

    // The bytes of a value as the file holds them, its quotes undone (then held in scratch).
    QByteArrayView rawValue(const Span &span)
    {
        const char *b = buf.constData() + recStart + span.begin;
        const qsizetype n = span.end - span.begin;
        if (!span.quoted)
            return {b, n};
        scratch.resize(0);
        qsizetype i = 1;
        while (i < n) {
            if (b[i] == '"') {
                if (i + 1 < n && b[i + 1] == '"') {
                    scratch.append('"');
                    i += 2;
                    continue;
                }
                scratch.append(b + i + 1, n - i - 1); // text after the closing quote
                break;
            }
            const char *quote = static_cast<const char *>(std::memchr(b + i, '"', n - i));
            const qsizetype run = quote ? quote - (b + i) : n - i;
            scratch.append(b + i, run);
            i += run;
        }
        return {scratch.constData(), scratch.size()};
    }

    QString text(const Span &span)
    {
        const QByteArrayView raw = rawValue(span);
        return raw.isEmpty() ? QString() : decode(raw.data(), raw.size());
    }

    // Whether the bytes of a value are already the UTF-8 that decode() would make of them.
    bool isUtf8Already(QByteArrayView raw) const
    {
        return !table && (recordIsUtf8 || isValidUtf8(raw));
    }
};

DelimitedReader::DelimitedReader(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
DelimitedReader::~DelimitedReader() = default;

Result<std::unique_ptr<DelimitedReader>> DelimitedReader::open(const QString &path,
                                                               const DelimitedOptions &options)
{
    auto source = openFileSource(path);
    if (!source)
        return source.error();
    return open(std::move(source.value()), path, options);
}

Result<std::unique_ptr<DelimitedReader>> DelimitedReader::open(std::unique_ptr<ByteSource> source,
                                                               const QString &name,
                                                               const DelimitedOptions &options)
{
    auto d = std::make_unique<Impl>();
    d->source = std::move(source);
    d->name = name;

    QByteArray head(qsizetype(std::clamp<qint64>(d->source->size() + 1, 1, kSample)),
                    Qt::Uninitialized);
    const qint64 got = d->source->readAt(0, head.data(), head.size());
    if (got < 0)
        return fail(cannotReadMessage(name, d->source->status().message()));
    const bool wholeFile = got < head.size();
    head.truncate(got);

    int codePage = 0;
    qsizetype bomLength = 0;
    if (head.startsWith("\xEF\xBB\xBF")) {
        codePage = kCodePageUtf8;
        bomLength = 3;
    } else if (head.startsWith("\xFF\xFE")) {
        codePage = kCodePageUtf16Le;
        bomLength = 2;
    } else if (head.startsWith("\xFE\xFF")) {
        codePage = kCodePageUtf16Be;
        bomLength = 2;
    }
    d->bom = bomLength > 0;
    if (!codePage && options.codePage)
        codePage = isKnownCodePage(options.codePage) ? options.codePage : 1252;
    if (!codePage)
        codePage = detectUtf16(head);
    const bool utf16 = codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be;
    if (!utf16 && head.contains('\0'))
        return fail(
            QStringLiteral(
                "The file %1 is not in the expected format of a text file: it holds binary data.")
                .arg(name),
            kErrorWrongFormat);
    if (!codePage)
        codePage = sampleIsUtf8(head, wholeFile) ? kCodePageUtf8 : 1252;

    d->codePage = codePage;
    if (utf16) {
        d->transcoder.emplace(codePage == kCodePageUtf16Le ? QStringConverter::Utf16LE
                                                           : QStringConverter::Utf16BE);
    } else if (codePage != kCodePageUtf8) {
        d->table = codePageTable(codePage);
        if (!d->table)
            d->transcoder.emplace(codePageCharsetName(codePage));
    }
    d->sourceOffset = bomLength;

    // The sample is the first 64 KiB, or more when the first lines are longer: a header of ten
    // thousand fields must split like the file says, up to the cap on a record's length.
    while ((d->bufEnd < kSample ||
            (d->bufEnd <= kMaxRecordBytes &&
             !holdsTwoLineEnds(QByteArrayView(d->buf.constData(), d->bufEnd)))) &&
           d->fill()) {
    }
    if (d->failed)
        return fail(d->error);
    d->setDelimiter(
        options.delimiter
            ? options.delimiter
            : detectDelimiter(QByteArrayView(d->buf.constData(), d->bufEnd), d->sourceDone));

    const Got first = d->parseRecord();
    if (first == Got::Fault)
        return fail(d->error);
    if (first == Got::Record) {
        if (options.headerLine && d->spansLeftOut)
            return fail(cannotReadMessage(
                name, QStringLiteral("its first line names more than %1 fields").arg(kMaxFields)));
        QStringList names;
        for (const Span &span : d->spans)
            names << (options.headerLine ? d->text(span) : QString());
        for (const QString &fieldName : uniqueFieldNames(names))
            d->fields.push_back(FieldInfo{fieldName, FieldType::Text, 0});
        if (options.headerLine)
            d->consumeRecord();
        else
            d->recordPending = true;
    }
    return std::unique_ptr<DelimitedReader>(new DelimitedReader(std::move(d)));
}

const std::vector<FieldInfo> &DelimitedReader::fields() const
{
    return d->fields;
}

bool DelimitedReader::next(QVariantList &values)
{
    if (!d->nextParsed())
        return false;
    const std::size_t count = d->fields.size();
    values.resize(static_cast<qsizetype>(count));
    QVariant *out = values.data();
    for (std::size_t i = 0; i < count; ++i) {
        if (i < d->spans.size()) {
            QString text = d->text(d->spans[i]);
            out[i] = text.isEmpty() ? QVariant() : QVariant(std::move(text));
        } else {
            out[i] = QVariant();
        }
    }
    d->consumeRecord();
    ++d->records;
    return true;
}

bool DelimitedReader::nextText(std::vector<QByteArrayView> &values)
{
    values.clear();
    if (!d->nextParsed())
        return false;
    const std::size_t count = d->fields.size();
    values.resize(count);
    d->textBytes.resize(0);
    d->moved.clear();
    // Most values are left in the buffer as they stand: it does not move before the next call.
    for (std::size_t i = 0; i < count && i < d->spans.size(); ++i) {
        const Span &span = d->spans[i];
        const QByteArrayView raw = d->rawValue(span);
        if (raw.isEmpty())
            continue;
        const bool utf8 = d->isUtf8Already(raw);
        if (utf8 && !span.quoted) {
            values[i] = raw;
            continue;
        }
        const qsizetype offset = d->textBytes.size();
        if (utf8)
            d->textBytes.append(raw);
        else
            d->textBytes.append(d->decode(raw.data(), raw.size()).toUtf8());
        d->moved.push_back({i, offset, d->textBytes.size() - offset});
    }
    for (const Impl::Moved &m : d->moved)
        values[m.field] = QByteArrayView(d->textBytes.constData() + m.offset, m.size);
    d->consumeRecord();
    ++d->records;
    return true;
}

bool DelimitedReader::nextRow(QStringList &cells)
{
    if (!d->nextParsed())
        return false;
    cells.clear();
    cells.reserve(static_cast<qsizetype>(d->spans.size()));
    for (const Span &span : d->spans)
        cells.append(d->text(span));
    d->consumeRecord();
    ++d->records;
    return true;
}

Status DelimitedReader::status() const
{
    return faultStatus(d->error);
}

int DelimitedReader::codePage() const
{
    return d->codePage;
}

qint64 DelimitedReader::recordNumber() const
{
    return d->records;
}

char DelimitedReader::delimiter() const
{
    return d->delim;
}

bool DelimitedReader::hasByteOrderMark() const
{
    return d->bom;
}

} // namespace quenda
