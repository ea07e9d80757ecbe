#include "formats/codepages.h"

#include <QStringDecoder>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace quenda {

namespace {

struct CodePageName {
    int codePage;
    const char *name;
    bool singleByte;
};

constexpr CodePageName kCodePages[] = {
    {437, "IBM437", true},           {737, "IBM737", true},
    {775, "IBM775", true},           {850, "IBM850", true},
    {852, "IBM852", true},           {855, "IBM855", true},
    {857, "IBM857", true},           {860, "IBM860", true},
    {861, "IBM861", true},           {862, "IBM862", true},
    {863, "IBM863", true},           {864, "IBM864", true},
    {865, "IBM865", true},           {866, "IBM866", true},
    {869, "IBM869", true},           {874, "windows-874", true},
    {932, "Shift_JIS", false},       {936, "GBK", false},
    {949, "windows-949", false},     {950, "Big5", false},
    {1200, "UTF-16LE", false},       {1201, "UTF-16BE", false},
    {1250, "windows-1250", true},    {1251, "windows-1251", true},
    {1252, "windows-1252", true},    {1253, "windows-1253", true},
    {1254, "windows-1254", true},    {1255, "windows-1255", true},
    {1256, "windows-1256", true},    {1257, "windows-1257", true},
    {1258, "windows-1258", true},    {1361, "johab", false},
    {10000, "macintosh", true},      {10006, "x-mac-greek", true},
    {10007, "x-mac-cyrillic", true}, {10029, "x-mac-centraleurroman", true},
    {20866, "KOI8-R", true},         {21866, "KOI8-U", true},
    {28591, "ISO-8859-1", true},     {28592, "ISO-8859-2", true},
    {28595, "ISO-8859-5", true},     {28597, "ISO-8859-7", true},
    {28605, "ISO-8859-15", true},    {65001, "UTF-8", false},
};

const CodePageName *findCodePage(int codePage)
{
    for (const CodePageName &c : kCodePages)
        if (c.codePage == codePage)
            return &c;
    return nullptr;
}

std::unique_ptr<CodePageTable> buildTable(const char *name)
{
    auto table = std::make_unique<CodePageTable>();
    for (int i = 0; i < 0x80; ++i)
        (*table)[i] = static_cast<char16_t>(i);
    QStringDecoder decoder(name, QStringConverter::Flag::Stateless);
    for (int i = 0x80; i < 0x100; ++i) {
        const char byte = static_cast<char>(i);
        const QString one =
            decoder.isValid() ? decoder.decode(QByteArrayView(&byte, 1)) : QString();
        (*table)[i] = one.size() == 1 ? one.at(0).unicode() : char16_t(0xFFFD);
    }
    return table;
}

// Decoders are costly to open and not thread-safe: each thread keeps its own, one per page.
QStringDecoder *threadDecoder(int codePage)
{
    thread_local std::unordered_map<int, std::unique_ptr<QStringDecoder>> decoders;
    auto it = decoders.find(codePage);
    if (it == decoders.end()) {
        const CodePageName *page = findCodePage(codePage);
        auto decoder = std::make_unique<QStringDecoder>(page ? page->name : "windows-1252",
                                                        QStringConverter::Flag::Stateless);
        if (!decoder->isValid())
            decoder.reset();
        it = decoders.emplace(codePage, std::move(decoder)).first;
    }
    return it->second.get();
}

} // namespace

bool isKnownCodePage(int codePage)
{
    return findCodePage(codePage) != nullptr;
}

const char *codePageCharsetName(int codePage)
{
    const CodePageName *page = findCodePage(codePage);
    return page ? page->name : nullptr;
}

bool isSingleByteCodePage(int codePage)
{
    const CodePageName *page = findCodePage(codePage);
    return page && page->singleByte;
}

const CodePageTable *codePageTable(int codePage)
{
    // The last page asked for on this thread answers without the lock.
    thread_local int lastPage = 0;
    thread_local const CodePageTable *lastTable = nullptr;
    if (lastTable && lastPage == codePage)
        return lastTable;

    const CodePageName *page = findCodePage(codePage);
    if (!page || !page->singleByte)
        return nullptr;
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<CodePageTable>> tables;
    std::lock_guard lock(mutex);
    auto &slot = tables[codePage];
    if (!slot)
        slot = buildTable(page->name);
    lastPage = codePage;
    lastTable = slot.get();
    return lastTable;
}

QString decodeCodePage(int codePage, QByteArrayView bytes)
{
    if (const CodePageTable *table = codePageTable(codePage))
        return decodeWithTable(*table, bytes);
    if (codePage == kCodePageUtf8)
        return QString::fromUtf8(bytes);
    if (!isKnownCodePage(codePage))
        return decodeWithTable(*codePageTable(1252), bytes);
    QStringDecoder *decoder = threadDecoder(codePage);
    if (!decoder)
        return decodeWithTable(*codePageTable(1252), bytes);
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) {
        const bool odd = bytes.size() % 2 != 0;
        QString text = decoder->decode(odd ? bytes.chopped(1) : bytes);
        if (odd)
            text.append(QChar(0xFFFD));
        return text;
    }
    // A stateless decoder drops a lead byte cut off at the end; a blank after the bytes turns it
    // into U+FFFD instead.
    QByteArray closed = bytes.toByteArray();
    closed.append(' ');
    QString text = decoder->decode(closed);
    if (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    // Some converters put SUB where a sequence is malformed.
    if (!bytes.contains('\x1A'))
        text.replace(QChar(0x1A), QChar(0xFFFD));
    return text;
}

int codePageForCharset(int charset)
{
    struct Pair {
        int charset;
        int codePage;
    };
    static constexpr Pair kCharsets[] = {
        {77, 10000}, {128, 932},  {129, 949},  {130, 1361}, {134, 936},  {136, 950},
        {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
        {204, 1251}, {222, 874},  {238, 1250}, {254, 437},  {255, 850}};
    for (const Pair &p : kCharsets)
        if (p.charset == charset)
            return p.codePage;
    return 0;
}

bool isValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        // Eight ASCII bytes at a time: the common case in contact files.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the first continuation byte
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0)
                low = 0xA0; // overlong
            else if (c == 0xED)
                high = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0)
                low = 0x90; // overlong
            else if (c == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        if (p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i <= extra; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += extra + 1;
    }
    return true;
}

} // namespace quenda
