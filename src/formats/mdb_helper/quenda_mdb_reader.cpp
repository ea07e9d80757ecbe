// quenda-mdb-reader: reads an Access (Jet) database for the program through libmdb, in a process
// of its own because the library is not safe on hostile files: if it crashes or hangs, only this
// process goes. Writes the stream described in formats/mdb_protocol.h to standard output.
//
//   quenda-mdb-reader tables <file>          the user tables, in the database's own order
//   quenda-mdb-reader read <file> <table>    the table's fields, then its records in batches
//
// Values are taken from the stored bytes rather than from libmdb's text: its dates are wrong
// outside the years 1900 to 4637, its numbers follow the locale, and it cuts memo text at its
// bound buffer. Binary and OLE data are given as null.

#include "formats/mdb_protocol.h"

// mdbtools.h includes glib inside its extern "C" block, which glib's C++ parts do not survive:
// included first, glib's guard keeps it out of there.
#include <glib.h>
#include <mdbtools.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quenda::mdbproto;

constexpr std::size_t kBatchBytes = 1024 * 1024;
constexpr int kBatchRecords = 4096;
constexpr std::size_t kMaxMemoBytes = 64 * 1024 * 1024;
constexpr int kMaxMemoPages = 1 << 20;
// Far more than reading the largest table takes; the limit is there for a library that loops.
constexpr rlim_t kCpuSeconds = 300;

class Output {
public:
    void message(char tag, const std::string &payload)
    {
        m_buffer += tag;
        appendU32(m_buffer, static_cast<std::uint32_t>(payload.size()));
        m_buffer += payload;
    }
    void raw(const void *data, std::size_t size)
    {
        m_buffer.append(static_cast<const char *>(data), size);
    }
    std::size_t pending() const { return m_buffer.size(); }

    // Writes everything out; a closed pipe means the program is gone: stop at once.
    void flush()
    {
        std::size_t done = 0;
        while (done < m_buffer.size()) {
            const ssize_t n = ::write(1, m_buffer.data() + done, m_buffer.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ::_exit(kExitFailed);
            done += static_cast<std::size_t>(n);
        }
        m_buffer.clear();
    }

    static void appendU32(std::string &s, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            s += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    static void appendU64(std::string &s, std::uint64_t v)
    {
        for (int i = 0; i < 8; ++i)
            s += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    static void appendDouble(std::string &s, double d)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        appendU64(s, bits);
    }

private:
    std::string m_buffer;
};

Output out;

[[noreturn]] void giveUp(const std::string &reason, int code)
{
    out.message(kError, reason);
    out.flush();
    ::_exit(code);
}

[[noreturn]] void finish()
{
    out.message(kEnd, {});
    out.flush();
    // No clean-up: the library's own may trip over a damaged file after all was delivered.
    ::_exit(kExitOk);
}

void start()
{
    out.raw(kMagic, sizeof kMagic);
    out.raw(&kVersion, 1);
}

bool isUserTable(const MdbCatalogEntry *entry)
{
    // The high bit and bit 1 mark the engine's own tables (MSys..., f_..._Data).
    return entry->object_type == MDB_TABLE && (entry->flags & 0x80000002) == 0;
}

// "Large Number" (BigInt) columns of Access 2016: eight bytes, a type libmdb does not name.
constexpr int kColumnBigInt = 0x13;

FieldCode fieldCode(const MdbColumn *col)
{
    if (col->col_type == kColumnBigInt)
        return kFieldInteger;
    switch (col->col_type) {
    case MDB_BOOL:
        return kFieldBoolean;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        return kFieldInteger;
    case MDB_MONEY:
        return kFieldCurrency;
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return kFieldNumber;
    case MDB_DATETIME: {
        const char *format = mdb_col_get_prop(col, "Format");
        if (format &&
            (std::strcmp(format, "Short Date") == 0 || std::strcmp(format, "Medium Date") == 0 ||
             std::strcmp(format, "Long Date") == 0))
            return kFieldDate;
        return kFieldDateTime;
    }
    case MDB_TEXT:
    case MDB_REPID:
        return kFieldText;
    case MDB_MEMO:
        return kFieldMemo;
    default:
        return kFieldBinary;
    }
}

// Defined size in characters: Jet 4 and later report text sizes in bytes of UCS-2.
std::int32_t fieldSize(MdbHandle *mdb, const MdbColumn *col)
{
    if (col->col_type == MDB_TEXT)
        return mdb->f->jet_version == MDB_VER_JET3 ? col->col_size : col->col_size / 2;
    if (col->col_type == MDB_REPID)
        return 38;
    return 0;
}

// Stored text (UCS-2, possibly compressed, or the Jet 3 code page) as UTF-8.
std::string toUtf8(MdbHandle *mdb, const char *bytes, std::size_t size)
{
    std::string text(size * 3 + 8, '\0');
    const int n = mdb_unicode2ascii(mdb, bytes, size, text.data(), text.size() - 1);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

// The memo's stored bytes in full, following its pages; false when it cannot be read.
bool memoBytes(MdbHandle *mdb, const MdbColumn *col, std::string &raw)
{
    raw.clear();
    if (col->cur_value_len < MDB_MEMO_OVERHEAD)
        return true;
    const int start = col->cur_value_start;
    const auto header = static_cast<std::uint32_t>(mdb_get_int32(mdb->pg_buf, start));
    const std::uint32_t length = header & 0x3FFFFFFF;
    if (length > kMaxMemoBytes)
        giveUp("a memo is larger than 64 MiB", kExitFailed);
    if (header & 0x80000000) { // inline in the row
        raw.assign(reinterpret_cast<const char *>(mdb->pg_buf) + start + MDB_MEMO_OVERHEAD,
                   static_cast<std::size_t>(col->cur_value_len - MDB_MEMO_OVERHEAD));
        return true;
    }
    int pageRow = static_cast<int>(mdb_get_int32(mdb->pg_buf, start + 4));
    const bool singlePage = header & 0x40000000;
    for (int pages = 0; pageRow != 0 && pages < kMaxMemoPages; ++pages) {
        void *buffer = nullptr;
        int offset = 0;
        std::size_t size = 0;
        if (mdb_find_pg_row(mdb, pageRow, &buffer, &offset, &size) != 0)
            return false;
        const char *row = static_cast<const char *>(buffer) + offset;
        if (singlePage) {
            raw.assign(row, size);
            break;
        }
        if (size < 4)
            break;
        raw.append(row + 4, size - 4);
        if (raw.size() >= length)
            break;
        pageRow = static_cast<int>(mdb_get_int32(buffer, offset));
    }
    if (raw.size() > length)
        raw.resize(length);
    return true;
}

void appendValue(std::string &record, MdbHandle *mdb, MdbColumn *col, std::string &scratch)
{
    const unsigned char *pg = mdb->pg_buf;
    const int start = col->cur_value_start;
    const int length = col->cur_value_len;
    auto null = [&] { record += static_cast<char>(kValueNull); };
    auto integer = [&](std::int64_t v) {
        record += static_cast<char>(kValueInteger);
        Output::appendU64(record, static_cast<std::uint64_t>(v));
    };
    auto number = [&](double v) {
        record += static_cast<char>(kValueNumber);
        Output::appendDouble(record, v);
    };
    auto text = [&](const std::string &utf8) {
        record += static_cast<char>(kValueText);
        Output::appendU32(record, static_cast<std::uint32_t>(utf8.size()));
        record += utf8;
    };

    if (col->col_type == MDB_BOOL) {
        // The null bit holds a yes/no value: set (not null) means yes.
        record += static_cast<char>(kValueBoolean);
        record += static_cast<char>(length == 0 ? 1 : 0);
        return;
    }
    if (length <= 0) {
        null();
        return;
    }
    if (col->col_type == kColumnBigInt) {
        std::int64_t v = 0;
        if (length != 8) {
            null();
            return;
        }
        std::memcpy(&v, pg + start, 8); // little-endian, as the file stores it
        integer(v);
        return;
    }
    switch (col->col_type) {
    case MDB_BYTE:
        integer(mdb_get_byte(mdb->pg_buf, start));
        return;
    case MDB_INT:
        integer(static_cast<std::int16_t>(mdb_get_int16(mdb->pg_buf, start)));
        return;
    case MDB_LONGINT:
        integer(static_cast<std::int32_t>(mdb_get_int32(mdb->pg_buf, start)));
        return;
    case MDB_MONEY: {
        std::int64_t cents = 0;
        std::memcpy(&cents, pg + start, 8);
        number(static_cast<double>(cents) / 10000.0);
        return;
    }
    case MDB_FLOAT: {
        // Through the shortest decimal form, so that 0.1f reads 0.1 and not 0.100000001490116.
        const float f = mdb_get_single(mdb->pg_buf, start);
        char digits[32];
        const auto r = std::to_chars(digits, digits + sizeof digits, f);
        double d = f;
        std::from_chars(digits, r.ptr, d);
        number(d);
        return;
    }
    case MDB_DOUBLE:
        number(mdb_get_double(mdb->pg_buf, start));
        return;
    case MDB_NUMERIC: {
        char *s = mdb_numeric_to_string(mdb, start, col->col_scale, col->col_prec);
        double d = 0;
        const bool ok = s && std::from_chars(s, s + std::strlen(s), d).ec == std::errc();
        g_free(s);
        ok ? number(d) : null();
        return;
    }
    case MDB_DATETIME:
        record += static_cast<char>(kValueDay);
        Output::appendDouble(record, mdb_get_double(mdb->pg_buf, start));
        return;
    case MDB_TEXT:
        text(toUtf8(mdb, reinterpret_cast<const char *>(pg) + start,
                    static_cast<std::size_t>(length)));
        return;
    case MDB_REPID: {
        char *s = mdb_uuid_to_string(mdb->pg_buf, start);
        text(s ? s : "");
        g_free(s);
        return;
    }
    case MDB_MEMO:
        if (!memoBytes(mdb, col, scratch) || scratch.empty())
            null();
        else
            text(toUtf8(mdb, scratch.data(), scratch.size()));
        return;
    default:
        null();
        return;
    }
}

// One byte from the program before each batch; its end of the pipe closed means stop.
void waitForCredit()
{
    char credit;
    for (;;) {
        const ssize_t n = ::read(0, &credit, 1);
        if (n == 1)
            return;
        if (n < 0 && errno == EINTR)
            continue;
        ::_exit(kExitOk);
    }
}

MdbHandle *openDatabase(const char *path)
{
    MdbHandle *mdb = mdb_open(path, MDB_NOFLAGS);
    if (!mdb)
        giveUp("it is not an Access database or it is damaged", kExitCannotOpen);
    if (!mdb_read_catalog(mdb, MDB_ANY))
        giveUp("its catalog cannot be read", kExitCannotOpen);
    return mdb;
}

[[noreturn]] void listTables(const char *path)
{
    MdbHandle *mdb = openDatabase(path);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (isUserTable(entry))
            out.message(kTable, entry->object_name);
    }
    finish();
}

[[noreturn]] void readTable(const char *path, const char *name)
{
    MdbHandle *mdb = openDatabase(path);
    MdbCatalogEntry *entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && !entry; ++i) {
        auto *candidate = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (candidate->object_type == MDB_TABLE && std::strcmp(candidate->object_name, name) == 0)
            entry = candidate;
    }
    if (!entry)
        giveUp(std::string("it holds no table named ") + name, kExitNoTable);
    MdbTableDef *table = mdb_read_table(entry);
    if (!table || !mdb_read_columns(table))
        giveUp(std::string("the table ") + name + " cannot be read", kExitFailed);
    mdb_rewind_table(table);

    std::vector<MdbColumn *> columns;
    for (unsigned i = 0; i < table->num_cols; ++i)
        columns.push_back(static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i)));

    std::string payload;
    Output::appendU32(payload, mdb->f->jet_version == MDB_VER_JET3 ? 1252 : 1200);
    out.message(kCodePage, payload);
    for (MdbColumn *col : columns) {
        payload.clear();
        payload += static_cast<char>(fieldCode(col));
        Output::appendU32(payload, static_cast<std::uint32_t>(fieldSize(mdb, col)));
        payload += col->name;
        out.message(kField, payload);
    }
    out.message(kHeaderEnd, {});
    out.flush();

    std::string record;
    std::string scratch;
    int inBatch = 0;
    waitForCredit();
    while (mdb_fetch_row(table)) {
        record.clear();
        for (MdbColumn *col : columns)
            appendValue(record, mdb, col, scratch);
        out.message(kRecord, record);
        if (++inBatch >= kBatchRecords || out.pending() >= kBatchBytes) {
            out.message(kBatchEnd, {});
            out.flush();
            inBatch = 0;
            waitForCredit();
        }
    }
    finish();
}

#if defined(__SANITIZE_ADDRESS__)
#define QUENDA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUENDA_SANITIZED 1
#endif
#endif

// The program that started this helper may be killed; the helper must not read on without it.
// The death signal is set first and the parent checked after: a parent that died before it
// was set is not there any more to send it. QUENDA_MDB_READER_PARENT names the parent the
// program meant (the process id that started the helper).
void dieWithParent()
{
    const char *named = std::getenv("QUENDA_MDB_READER_PARENT");
    const pid_t parent = named ? pid_t(std::strtol(named, nullptr, 10)) : ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(kExitFailed);
}

// A damaged file on which the library loops must not burn a processor for ever, whoever waits
// for the answer: after this much processor time the system ends the helper.
void limitProcessorTime()
{
    rlimit limit{};
    limit.rlim_cur = kCpuSeconds;
    limit.rlim_max = kCpuSeconds + 5; // SIGXCPU first, then SIGKILL
    ::setrlimit(RLIMIT_CPU, &limit);
}

void limitMemory()
{
#ifndef QUENDA_SANITIZED
    // A damaged file must not make the library take all memory. A sanitizer needs far more
    // address space than it uses, so a sanitized build goes without.
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = rlim_t(4) * 1024 * 1024 * 1024;
    ::setrlimit(RLIMIT_AS, &limit);
#endif
}

} // namespace

int main(int argc, char **argv)
{
    // libmdb formats numbers through the locale; nothing here may depend on it.
    std::setlocale(LC_ALL, "C");
    ::setenv("MDB_ICONV", "UTF-8", 1);
    dieWithParent();
    limitProcessorTime();
    limitMemory();
    start();
    if (argc == 3 && std::strcmp(argv[1], "tables") == 0)
        listTables(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "read") == 0)
        readTable(argv[2], argv[3]);
    std::fputs("usage: quenda-mdb-reader tables <file> | read <file> <table>\n", stderr);
    return kExitUsage;
}
