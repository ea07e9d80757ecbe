#include "formats/dbf_reader.h"

#include "formats/byte_source.h"
#include "formats/codepages.h"
#include "formats/field_names.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimeZone>

#include <charconv>
#include <cstring>
#include <deque>
#include <unordered_map>

namespace quenda {

namespace {

constexpr qsizetype kReadBlock = 256 * 1024;
constexpr int kGuessRecords = 256;
constexpr qsizetype kGuessBytes = 1024 * 1024;
constexpr int kFoxProDefaultBlock = 64;
constexpr int kDbaseBlock = 512;

constexpr unsigned char kVersions[] = {0x02, 0x03, 0x04, 0x05, 0x07, 0x30, 0x31, 0x32, 0x43, 0x63,
                                       0x83, 0x87, 0x8B, 0x8C, 0x8E, 0xCB, 0xE5, 0xF5, 0xFB};

bool isVisualFoxPro(int version)
{
    return version == 0x30 || version == 0x31 || version == 0x32;
}

bool prefersFpt(int version)
{
    return isVisualFoxPro(version) || version == 0xF5 || version == 0xFB;
}

// Language-driver byte (offset 29) to Windows code page.
int codePageForLanguageDriver(unsigned char id)
{
    struct Pair {
        unsigned char id;
        int codePage;
    };
    static constexpr Pair kDrivers[] = {
        {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x04, 10000}, {0x08, 865},   {0x09, 437},
        {0x0A, 850},  {0x0B, 437},  {0x0D, 437},  {0x0E, 850},   {0x0F, 437},   {0x10, 850},
        {0x11, 437},  {0x12, 850},  {0x13, 932},  {0x14, 850},   {0x15, 437},   {0x16, 850},
        {0x17, 865},  {0x18, 437},  {0x19, 437},  {0x1A, 850},   {0x1B, 437},   {0x1C, 863},
        {0x1D, 850},  {0x1F, 852},  {0x22, 852},  {0x23, 852},   {0x24, 860},   {0x25, 850},
        {0x26, 866},  {0x37, 850},  {0x40, 852},  {0x4D, 936},   {0x4E, 949},   {0x4F, 950},
        {0x50, 874},  {0x57, 1252}, {0x58, 1252}, {0x59, 1252},  {0x64, 852},   {0x65, 866},
        {0x66, 865},  {0x67, 861},  {0x6A, 737},  {0x6B, 857},   {0x6C, 863},   {0x78, 950},
        {0x79, 949},  {0x7A, 936},  {0x7B, 932},  {0x7C, 874},   {0x7D, 1255},  {0x7E, 1256},
        {0x86, 737},  {0x87, 852},  {0x88, 857},  {0x96, 10007}, {0x97, 10029}, {0x98, 10006},
        {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253},  {0xCC, 1257}};
    for (const Pair &p : kDrivers)
        if (p.id == id)
            return p.codePage;
    return 0;
}

// dBASE 7 names its language driver ("DB437US0", "DBWINUS0") instead of numbering it.
int codePageForDriverName(QByteArrayView name)
{
    if (!name.startsWith("DB"))
        return 0;
    if (name.sliced(2).startsWith("WIN"))
        return 1252;
    int page = 0;
    for (qsizetype i = 2; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
        page = page * 10 + (name[i] - '0');
    return page;
}

quint16 le16(const unsigned char *p)
{
    return quint16(p[0] | (p[1] << 8));
}
quint32 le32(const unsigned char *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
quint32 be32(const unsigned char *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}
qint64 le64(const unsigned char *p)
{
    return qint64(quint64(le32(p)) | (quint64(le32(p + 4)) << 32));
}

// The bytes without the blanks (and the NULs some writers pad with) around them.
std::pair<const unsigned char *, const unsigned char *> trimmed(const unsigned char *b,
                                                                const unsigned char *e)
{
    while (b < e && (*b == ' ' || *b == 0))
        ++b;
    while (e > b && (e[-1] == ' ' || e[-1] == 0))
        --e;
    return {b, e};
}

// dBASE II tables have a header of fixed size: 8 bytes, 32 descriptors of 16, the end mark.
constexpr qint64 kDbase2HeaderLength = 8 + 32 * 16 + 1;

// Where the field descriptors begin, their size, and where a descriptor keeps the name (its
// length), type, length and decimals.
struct DescriptorLayout {
    qint64 first = 32;
    qint64 size = 32;
    int name = 11, type = 11, length = 16, decimals = 17;
};

struct Field {
    char type = 'C';
    int offset = 0;
    int length = 0;
    int decimals = 0;
    int nullBit = -1;   // bit in _NullFlags that marks a null value
    int lengthBit = -1; // bit in _NullFlags that says a varchar holds its length in its last byte
    FieldType kind = FieldType::Text;
};

FieldType kindOf(char type, int decimals, int length, bool visualFoxPro, bool dbase7)
{
    switch (type) {
    case '+': // dBASE 7 autoincrement
        return dbase7 ? FieldType::Integer : FieldType::Binary;
    case 'O': // dBASE 7 double
        return dbase7 ? FieldType::Number : FieldType::Binary;
    case 'C':
    case 'V':
        return FieldType::Text;
    case 'N':
    case 'F':
        return decimals == 0 && length <= 18 ? FieldType::Integer : FieldType::Number;
    case 'D':
        return FieldType::Date;
    case 'L':
        return FieldType::Boolean;
    case 'M':
        return FieldType::Memo;
    case 'I':
        return FieldType::Integer;
    case 'B':
        return visualFoxPro ? FieldType::Number : FieldType::Binary;
    case 'Y':
        return FieldType::Currency;
    case 'T':
        return FieldType::DateTime;
    default:
        return FieldType::Binary;
    }
}

QString findMemoFile(const QString &tablePath, int version, bool *isFoxPro)
{
    const QFileInfo table(tablePath);
    const QString base = table.completeBaseName();
    const QDir dir = table.absoluteDir();
    const QString first = prefersFpt(version) ? QStringLiteral("fpt") : QStringLiteral("dbt");
    const QString second = prefersFpt(version) ? QStringLiteral("dbt") : QStringLiteral("fpt");
    for (const QString &ext : {first, second}) {
        for (const QString &candidate : {base + u'.' + ext, base + u'.' + ext.toUpper()}) {
            if (QFileInfo(dir.filePath(candidate)).isFile()) {
                *isFoxPro = ext == QLatin1String("fpt");
                return dir.filePath(candidate);
            }
        }
        const QString wanted = (base + u'.' + ext).toCaseFolded();
        const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
        for (const QString &entry : entries) {
            if (entry.toCaseFolded() == wanted) {
                *isFoxPro = ext == QLatin1String("fpt");
                return dir.filePath(entry);
            }
        }
    }
    return {};
}

} // namespace

struct DbfReader::Impl {
    std::unique_ptr<ByteSource> table;
    std::unique_ptr<ByteSource> memo;
    bool memoFoxPro = false;
    int memoBlockSize = kDbaseBlock;
    QString name;

    int version = 0;
    bool visualFoxPro = false;
    bool dbase7 = false;
    qint64 headerLength = 0;
    qint64 recordLength = 0;
    qint64 recordsToRead = 0;  // what the header announces and the file holds
    qint64 recordsClaimed = 0; // what the header announces
    int codePage = 1252;
    bool guessed = false;
    const CodePageTable *cpTable = nullptr;

    std::vector<Field> layout; // visible fields, in order
    std::vector<FieldInfo> fields;
    int nullFlagsOffset = -1;
    int nullFlagsLength = 0;

    QByteArray block;
    qint64 blockFirst = 0; // index of the first record in block
    qint64 blockCount = 0;
    qint64 nextIndex = 0; // index of the next record to look at
    qint64 given = 0;
    QByteArray memoBytes;
    std::unordered_map<quint64, QVariant> memoCache; // by block number
    std::deque<quint64> memoOrder;                   // oldest first
    qint64 memoCacheBytes = 0;
    QString error;
    bool failed = false;

    void fault(const QString &message)
    {
        if (!failed)
            error = message;
        failed = true;
    }

    QString decode(const unsigned char *b, const unsigned char *e) const
    {
        const QByteArrayView bytes(reinterpret_cast<const char *>(b), e - b);
        return cpTable ? decodeWithTable(*cpTable, bytes) : decodeCodePage(codePage, bytes);
    }

    bool nullFlag(const unsigned char *record, int bit) const
    {
        if (bit < 0 || nullFlagsOffset < 0 || bit / 8 >= nullFlagsLength)
            return false;
        return (record[nullFlagsOffset + bit / 8] >> (bit % 8)) & 1;
    }

    // The memo block number in a memo field: 4 binary bytes in Visual FoxPro, ASCII digits
    // elsewhere; 0 for none.
    static quint64 memoBlock(const unsigned char *b, int length)
    {
        if (length == 4)
            return le32(b);
        const auto [s, e] = trimmed(b, b + length);
        quint64 value = 0;
        const auto result = std::from_chars(reinterpret_cast<const char *>(s),
                                            reinterpret_cast<const char *>(e), value);
        return result.ec == std::errc() ? value : 0;
    }

    QString memoDamaged(qint64 recordIndex, const QString &what) const
    {
        return QStringLiteral("The memo file of %1 is damaged: %2 (record %3).")
            .arg(name, what)
            .arg(recordIndex + 1);
    }

    QString memoTooLong(qint64 recordIndex) const
    {
        return QStringLiteral("The file %1 cannot be read: a memo of record %2 is longer than "
                              "%3 MiB, more than this program reads.")
            .arg(name)
            .arg(recordIndex + 1)
            .arg(kMaxMemoBytes / (1024 * 1024));
    }

    // The value of the memo in a block: from the cache when an earlier record read it.
    QVariant memoValue(quint64 blockNumber, qint64 recordIndex)
    {
        const auto cached = memoCache.find(blockNumber);
        if (cached != memoCache.end())
            return cached->second;
        bool binary = false;
        if (!readMemo(blockNumber, recordIndex, &binary))
            return {};
        QVariant value;
        if (!binary && !memoBytes.isEmpty()) {
            const auto *m = reinterpret_cast<const unsigned char *>(memoBytes.constData());
            value = decode(m, m + memoBytes.size());
        }
        if (memoBytes.capacity() > 1024 * 1024)
            memoBytes = QByteArray(); // a long memo's bytes are not kept beside its text
        const qint64 cost = 64 + 2 * qint64(value.toString().size());
        if (cost <= kMemoCacheBytes) {
            while (memoCacheBytes + cost > kMemoCacheBytes && !memoOrder.empty()) {
                const auto oldest = memoCache.find(memoOrder.front());
                memoCacheBytes -= 64 + 2 * qint64(oldest->second.toString().size());
                memoCache.erase(oldest);
                memoOrder.pop_front();
            }
            memoCache.emplace(blockNumber, value);
            memoOrder.push_back(blockNumber);
            memoCacheBytes += cost;
        }
        return value;
    }

    // The memo's bytes in memoBytes; false on a fault. binary tells a picture or object apart.
    bool readMemo(quint64 blockNumber, qint64 recordIndex, bool *binary)
    {
        memoBytes.clear();
        *binary = false;
        const qint64 size = memo->size();
        if (blockNumber >= quint64(size) / quint64(memoBlockSize) + 1 ||
            qint64(blockNumber) * memoBlockSize >= size) {
            fault(memoDamaged(recordIndex, QStringLiteral("a memo lies past its end")));
            return false;
        }
        const qint64 offset = qint64(blockNumber) * memoBlockSize;
        unsigned char head[8] = {};
        const qint64 got = memo->readAt(offset, reinterpret_cast<char *>(head), 8);
        if (got < 0) {
            fault(cannotReadMessage(name, memo->status().message()));
            return false;
        }
        qint64 start = offset;
        qint64 length = -1; // -1: up to the end marker
        if (memoFoxPro) {
            if (got < 8) {
                fault(memoDamaged(recordIndex, QStringLiteral("a memo lies past its end")));
                return false;
            }
            *binary = be32(head) != 1;
            start = offset + 8;
            length = be32(head + 4);
        } else if (got == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 &&
                   head[3] == 0x00) {
            // dBASE IV: the length counts the eight bytes of this block header.
            start = offset + 8;
            length = std::max<qint64>(0, qint64(le32(head + 4)) - 8);
        }
        if (length > kMaxMemoBytes) {
            fault(memoTooLong(recordIndex));
            return false;
        }
        if (*binary)
            return true;
        if (length >= 0) {
            if (start + length > size) {
                fault(memoDamaged(recordIndex, QStringLiteral("a memo runs past its end")));
                return false;
            }
            memoBytes.resize(length);
            if (memo->readAt(start, memoBytes.data(), length) != length) {
                fault(cannotReadMessage(name, memo->status().message()));
                return false;
            }
        } else {
            // dBASE III: the text runs to its end-of-text byte.
            char chunk[kDbaseBlock];
            for (qint64 at = start;; at += kDbaseBlock) {
                const qint64 n = memo->readAt(at, chunk, kDbaseBlock);
                if (n < 0) {
                    fault(cannotReadMessage(name, memo->status().message()));
                    return false;
                }
                const void *end = std::memchr(chunk, 0x1A, size_t(n));
                const qint64 take = end ? static_cast<const char *>(end) - chunk : n;
                memoBytes.append(chunk, take);
                if (memoBytes.size() > kMaxMemoBytes) {
                    fault(memoTooLong(recordIndex));
                    return false;
                }
                if (end || n < kDbaseBlock)
                    break;
            }
        }
        while (!memoBytes.isEmpty() && (memoBytes.back() == 0 || memoBytes.back() == 0x1A))
            memoBytes.chop(1);
        return true;
    }

    QVariant value(const Field &f, const unsigned char *record, qint64 recordIndex)
    {
        const unsigned char *b = record + f.offset;
        const unsigned char *e = b + f.length;
        if (f.length == 0 || nullFlag(record, f.nullBit))
            return {}; // a field of no width holds nothing, not even the byte after it
        switch (f.type) {
        case 'C': {
            while (e > b && (e[-1] == ' ' || e[-1] == 0))
                --e;
            return b == e ? QVariant() : QVariant(decode(b, e));
        }
        case 'V': {
            if (nullFlag(record, f.lengthBit))
                e = b + std::min<int>(e[-1], f.length - 1);
            return b == e ? QVariant() : QVariant(decode(b, e));
        }
        case 'N':
        case 'F': {
            const auto [s, t] = trimmed(b, e);
            if (s == t)
                return {};
            const char *first = reinterpret_cast<const char *>(s);
            const char *last = reinterpret_cast<const char *>(t);
            if (*first == '+')
                ++first;
            qint64 whole = 0;
            auto r = std::from_chars(first, last, whole);
            if (r.ec == std::errc() && r.ptr == last)
                return QVariant(whole);
            double number = 0;
            r = std::from_chars(first, last, number);
            if (r.ec == std::errc() && r.ptr == last)
                return QVariant(number);
            return {}; // asterisks of an overflow, or junk
        }
        case 'D': {
            const auto [s, t] = trimmed(b, e);
            if (t - s != 8)
                return {};
            int parts[3] = {};
            const int widths[3] = {4, 2, 2};
            const char *p = reinterpret_cast<const char *>(s);
            for (int i = 0; i < 3; ++i) {
                if (std::from_chars(p, p + widths[i], parts[i]).ptr != p + widths[i])
                    return {};
                p += widths[i];
            }
            const QDate date(parts[0], parts[1], parts[2]);
            return date.isValid() ? QVariant(date) : QVariant();
        }
        case 'L':
            switch (*b) {
            case 'T':
            case 't':
            case 'Y':
            case 'y':
                return QVariant(true);
            case 'F':
            case 'f':
            case 'N':
            case 'n':
                return QVariant(false);
            default:
                return {};
            }
        case 'I':
        case '+':
            if (f.length != 4)
                return {};
            // dBASE 7 writes its integers big-endian with the sign bit turned over.
            return dbase7 ? QVariant(qint64(qint32(be32(b) ^ 0x80000000u)))
                          : QVariant(qint64(qint32(le32(b))));
        case 'O': {
            if (f.length != 8)
                return {};
            // dBASE 7 doubles: big-endian, a positive one with its sign bit set, a negative one
            // with every bit turned over, so that the bytes sort as the numbers do.
            quint64 bits = (quint64(be32(b)) << 32) | be32(b + 4);
            bits = (bits >> 63) ? bits & ~(quint64(1) << 63) : ~bits;
            double number;
            std::memcpy(&number, &bits, sizeof number);
            return QVariant(number);
        }
        case 'Y':
            return f.length == 8 ? QVariant(double(le64(b)) / 10000.0) : QVariant();
        case 'B':
            if (visualFoxPro && f.length == 8) {
                double number;
                const quint64 bits = quint64(le64(b));
                std::memcpy(&number, &bits, sizeof number);
                return QVariant(number);
            }
            return {};
        case 'T': {
            if (f.length != 8)
                return {};
            const qint32 day = qint32(le32(b));
            const qint32 ms = qint32(le32(b + 4));
            if (day <= 0)
                return {};
            const QDate date = QDate::fromJulianDay(day);
            const QTime time = QTime::fromMSecsSinceStartOfDay(ms);
            if (!date.isValid() || !time.isValid())
                return {};
            return QVariant(QDateTime(date, time, QTimeZone::utc()));
        }
        case 'M': {
            const quint64 blockNumber = memoBlock(b, f.length);
            if (blockNumber == 0 || !memo)
                return {};
            return memoValue(blockNumber, recordIndex);
        }
        default:
            return {};
        }
    }

    // Record index's bytes, reading the next block as needed; nullptr at the end or on a fault.
    const unsigned char *record(qint64 index)
    {
        if (index >= blockFirst + blockCount) {
            const qint64 perBlock = std::max<qint64>(1, kReadBlock / recordLength);
            blockFirst = index;
            blockCount = std::min(perBlock, recordsToRead - index);
            if (blockCount <= 0)
                return nullptr;
            block.resize(blockCount * recordLength);
            const qint64 want = blockCount * recordLength;
            const qint64 got =
                table->readAt(headerLength + index * recordLength, block.data(), want);
            if (got < 0) {
                fault(cannotReadMessage(name, table->status().message()));
                return nullptr;
            }
            if (got < want) {
                blockCount = got / recordLength;
                recordsToRead = index + blockCount;
            }
            if (blockCount == 0)
                return nullptr;
        }
        return reinterpret_cast<const unsigned char *>(block.constData()) +
               (index - blockFirst) * recordLength;
    }

    // UTF-8 when the field names and the character fields of the first records hold letters
    // beyond ASCII and every one of them is well-formed UTF-8. Otherwise code page 850 when
    // those fields hold more bytes in the DOS letter positions 0x80 to 0xA5 than in the
    // Windows letter positions 0xC0 to 0xFF.
    int guessCodePage(const std::vector<QByteArray> &names)
    {
        const qint64 records =
            std::min<qint64>({recordsToRead, kGuessRecords, kGuessBytes / recordLength});
        QByteArray sample(records * recordLength, Qt::Uninitialized);
        const qint64 got = table->readAt(headerLength, sample.data(), sample.size());
        qint64 dos = 0, windows = 0;
        bool beyondAscii = false, utf8 = true;
        auto look = [&](QByteArrayView bytes) {
            for (char c : bytes)
                beyondAscii |= (c & 0x80) != 0;
            utf8 = utf8 && isValidUtf8(bytes);
        };
        for (const QByteArray &n : names)
            look(n);
        for (qint64 r = 0; r + recordLength <= got; r += recordLength) {
            const auto *rec = reinterpret_cast<const unsigned char *>(sample.constData()) + r;
            for (const Field &f : layout) {
                if (f.type != 'C' && f.type != 'V')
                    continue;
                // A field cut inside a character would not be well-formed: trim the blanks only.
                const auto [b, e] = trimmed(rec + f.offset, rec + f.offset + f.length);
                look(QByteArrayView(reinterpret_cast<const char *>(b), e - b));
                for (int i = 0; i < f.length; ++i) {
                    const unsigned char c = rec[f.offset + i];
                    dos += (c >= 0x80 && c <= 0xA5) ? 1 : 0;
                    windows += c >= 0xC0 ? 1 : 0;
                }
            }
        }
        if (beyondAscii && utf8)
            return kCodePageUtf8;
        return dos > windows ? 850 : 1252;
    }
};

DbfReader::DbfReader(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
DbfReader::~DbfReader() = default;

Result<std::unique_ptr<DbfReader>> DbfReader::open(const QString &path, int codePageOverride)
{
    auto table = openFileSource(path);
    if (!table)
        return table.error();
    unsigned char version = 0;
    (*table)->readAt(0, reinterpret_cast<char *>(&version), 1);
    bool foxPro = false;
    std::unique_ptr<ByteSource> memo;
    const QString memoPath = findMemoFile(path, version, &foxPro);
    if (!memoPath.isEmpty()) {
        auto opened = openFileSource(memoPath);
        if (!opened)
            return opened.error();
        memo = std::move(opened.value());
    }
    auto reader = open(std::move(table.value()), std::move(memo), foxPro, path, codePageOverride);
    if (reader.ok() && memoPath.isEmpty()) {
        for (const FieldInfo &f : (*reader)->fields()) {
            if (f.type == FieldType::Memo) {
                const QFileInfo info(path);
                return fail(QStringLiteral("The memo file of %1 is missing: %2 or %3 should "
                                           "stand beside it.")
                                .arg(path, info.completeBaseName() + QStringLiteral(".dbt"),
                                     info.completeBaseName() + QStringLiteral(".fpt")));
            }
        }
    }
    return reader;
}

Result<std::unique_ptr<DbfReader>> DbfReader::open(std::unique_ptr<ByteSource> table,
                                                   std::unique_ptr<ByteSource> memo,
                                                   bool memoIsFoxPro, const QString &name,
                                                   int codePageOverride)
{
    auto wrongFormat = [&](const QString &why) {
        return fail(QStringLiteral(
                        "The file %1 is not in the expected format of a dBASE or FoxPro table: %2.")
                        .arg(name, why),
                    kErrorWrongFormat);
    };
    auto damaged = [&](const QString &why) {
        return fail(QStringLiteral("The file %1 is damaged: %2.").arg(name, why),
                    kErrorWrongFormat);
    };

    auto d = std::make_unique<Impl>();
    d->table = std::move(table);
    d->memo = std::move(memo);
    d->memoFoxPro = memoIsFoxPro;
    d->name = name;

    const qint64 fileSize = d->table->size();
    unsigned char head[32] = {};
    const qint64 got = d->table->readAt(0, reinterpret_cast<char *>(head), 32);
    if (got < 0)
        return fail(cannotReadMessage(name, d->table->status().message()));
    if (got < 32)
        return wrongFormat(QStringLiteral("it is too short"));
    d->version = head[0];
    if (std::find(std::begin(kVersions), std::end(kVersions), head[0]) == std::end(kVersions))
        return wrongFormat(
            QStringLiteral("unknown version byte %1").arg(head[0], 2, 16, QLatin1Char('0')));
    d->visualFoxPro = isVisualFoxPro(d->version);
    d->recordsClaimed = le32(head + 4);
    d->headerLength = le16(head + 8);
    d->recordLength = le16(head + 10);
    // Where the field descriptors lie and how they are laid out: dBASE III and its heirs,
    // dBASE 7 with longer names, or dBASE II (FoxBASE's 0x02) with a header of its own.
    DescriptorLayout shape;
    if (d->version == 0x04 || d->version == 0x8C) {
        shape = {68, 48, 32, 32, 33, 34};
    } else if (d->version == 0x02 && (d->headerLength < 33 || d->headerLength > fileSize)) {
        shape = {8, 16, 11, 11, 12, 15};
        d->recordsClaimed = le16(head + 1);
        d->recordLength = le16(head + 6);
        d->headerLength = std::min<qint64>(kDbase2HeaderLength, fileSize);
    }
    if (d->headerLength < shape.first + 1 || d->recordLength < 1)
        return wrongFormat(QStringLiteral("its header sizes are impossible"));
    if (d->headerLength > fileSize)
        return damaged(QStringLiteral("its header runs past the end of the file"));

    QByteArray header(d->headerLength, Qt::Uninitialized);
    if (d->table->readAt(0, header.data(), d->headerLength) != d->headerLength)
        return fail(cannotReadMessage(name, d->table->status().message()));
    const auto *h = reinterpret_cast<const unsigned char *>(header.constData());

    // Field descriptors, up to the 0x0D that ends them.
    QStringList rawNames;
    std::vector<QByteArray> nameBytes;
    int nextOffset = 1;
    int nullBits = 0;
    for (qint64 at = shape.first; at + shape.size <= d->headerLength && h[at] != 0x0D;
         at += shape.size) {
        const unsigned char *desc = h + at;
        Field f;
        f.type = static_cast<char>(desc[shape.type]);
        f.length = desc[shape.length];
        f.decimals = desc[shape.decimals];
        const unsigned char flags = d->visualFoxPro ? desc[18] : 0;
        if (f.type == 'C' && !d->visualFoxPro && shape.size == 32) {
            f.length += 256 * f.decimals; // long character fields keep their high byte here
            f.decimals = 0;
        }
        const bool letter =
            (f.type >= 'A' && f.type <= 'Z') || f.type == '0' || f.type == '@' || f.type == '+';
        if (!letter)
            return wrongFormat(
                QStringLiteral("a field has the unknown type %1").arg(int(desc[shape.type])));
        // Visual FoxPro records each field's place; some writers leave it zero.
        const quint32 displacement = d->visualFoxPro ? le32(desc + 12) : 0;
        f.offset = displacement > 0 && displacement < 65536 ? int(displacement) : nextOffset;
        if (f.offset < 1 || qint64(f.offset) + f.length > d->recordLength)
            return damaged(QStringLiteral("its fields do not fit its records"));
        nextOffset = f.offset + f.length;
        const bool nullFlagsField = f.type == '0';
        if (nullFlagsField) {
            d->nullFlagsOffset = f.offset;
            d->nullFlagsLength = f.length;
            continue;
        }
        if (f.type == 'V' || f.type == 'Q')
            f.lengthBit = nullBits++;
        if (flags & 0x02)
            f.nullBit = nullBits++;
        if (flags & 0x01)
            continue; // a system field
        f.kind = kindOf(f.type, f.decimals, f.length, d->visualFoxPro, shape.size == 48);
        const int nameLength = int(std::find(desc, desc + shape.name, 0) - desc);
        nameBytes.emplace_back(reinterpret_cast<const char *>(desc), nameLength);
        d->layout.push_back(f);
    }
    if (d->layout.empty())
        return wrongFormat(QStringLiteral("it has no fields"));
    d->dbase7 = shape.size == 48;

    const qint64 present = (fileSize - d->headerLength) / d->recordLength;
    d->recordsToRead = std::min(d->recordsClaimed, present);

    const int fromDriver = shape.size == 48
                               ? codePageForDriverName(QByteArrayView(header).sliced(32, 32))
                               : codePageForLanguageDriver(h[29]);
    if (codePageOverride && isKnownCodePage(codePageOverride)) {
        d->codePage = codePageOverride;
    } else if (fromDriver && isKnownCodePage(fromDriver)) {
        d->codePage = fromDriver;
    } else {
        d->codePage = d->guessCodePage(nameBytes);
        d->guessed = true;
    }
    d->cpTable = codePageTable(d->codePage);

    for (const QByteArray &raw : nameBytes) {
        const auto *b = reinterpret_cast<const unsigned char *>(raw.constData());
        rawNames << d->decode(b, b + raw.size());
    }
    const QStringList names = uniqueFieldNames(rawNames);
    for (std::size_t i = 0; i < d->layout.size(); ++i) {
        const Field &f = d->layout[i];
        const bool sized = f.type == 'C' || f.type == 'V' || f.type == 'N' || f.type == 'F';
        d->fields.push_back(FieldInfo{names[qsizetype(i)], f.kind, sized ? f.length : 0});
    }

    if (d->memo) {
        unsigned char memoHead[22] = {};
        d->memo->readAt(0, reinterpret_cast<char *>(memoHead), sizeof memoHead);
        if (d->memoFoxPro) {
            const int size = (memoHead[6] << 8) | memoHead[7];
            d->memoBlockSize = size > 0 ? size : kFoxProDefaultBlock;
        } else if (d->version != 0x83 && d->version != 0x03) {
            const int size = le16(memoHead + 20);
            d->memoBlockSize = size >= 64 ? size : kDbaseBlock;
        }
    }
    return std::unique_ptr<DbfReader>(new DbfReader(std::move(d)));
}

const std::vector<FieldInfo> &DbfReader::fields() const
{
    return d->fields;
}

bool DbfReader::next(QVariantList &values)
{
    while (!d->failed) {
        const qint64 index = d->nextIndex;
        const unsigned char *rec = d->record(index);
        if (!rec) {
            if (!d->failed && d->recordsClaimed > d->nextIndex)
                d->fault(QStringLiteral("The file %1 is damaged: its header announces %2 "
                                        "records but only %3 are present.")
                             .arg(d->name)
                             .arg(d->recordsClaimed)
                             .arg(d->nextIndex));
            return false;
        }
        ++d->nextIndex;
        if (rec[0] == '*')
            continue;
        const qsizetype count = qsizetype(d->layout.size());
        values.resize(count);
        for (qsizetype i = 0; i < count; ++i) {
            values[i] = d->value(d->layout[std::size_t(i)], rec, index);
            if (d->failed)
                return false;
        }
        ++d->given;
        return true;
    }
    return false;
}

Status DbfReader::status() const
{
    return faultStatus(d->error);
}

int DbfReader::codePage() const
{
    return d->codePage;
}

qint64 DbfReader::recordNumber() const
{
    return d->given;
}

int DbfReader::version() const
{
    return d->version;
}

bool DbfReader::codePageGuessed() const
{
    return d->guessed;
}

} // namespace quenda
