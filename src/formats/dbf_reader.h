#pragma once
// dBASE and FoxPro tables (.dbf): dBASE III, IV and 5, FoxBASE, FoxPro 2.x and Visual FoxPro,
// with memo text from the .dbt or .fpt file beside the table (found in any letter case). Records
// marked deleted are skipped; the others are read as a stream in blocks.
//
// Values: C right-trimmed of blanks; N and F a qint64 when the field has no decimals and the
// number fits, else a double; D a QDate; L true (T, Y), false (F, N) or null (?, blank); M the
// memo text; I a qint64; Y (currency) a double; T a QDateTime (the stored wall-clock time, in
// UTC so that no daylight-saving gap can move it); B a double in Visual FoxPro and a binary memo
// elsewhere; V (Visual FoxPro varchar) text. Binary fields (G, P, Q, W, binary memos) read as
// null. Blank values and Visual FoxPro's null flags give null; the _NullFlags field is hidden.
//
// Text is decoded in the code page that the table's language-driver byte names, or, when that
// byte names none, in the page the bytes suggest: letters in the DOS positions 0x80 to 0xA5 of
// the character fields in the first records mean code page 850, otherwise Windows-1252. A code
// page given by the caller wins over both.
//
// A damaged file is read as far as it can be: the header's record count is never trusted beyond
// the file's size and never used to allocate; a truncated table, a memo pointer past the end of
// the memo file, an endless memo or one longer than kMaxMemoBytes stop reading with a message
// naming the file. Each memo block is read once per reader, however many records point at it.

#include "common/result.h"
#include "formats/table_reader.h"

#include <memory>

namespace quenda {

class ByteSource;

class DbfReader final : public TableReader {
public:
    // A longer memo stops reading with a message naming the file and the record.
    static constexpr qint64 kMaxMemoBytes = 16 * 1024 * 1024;
    // Memo texts kept so that records sharing a memo block read it once (UTF-16 bytes).
    static constexpr qint64 kMemoCacheBytes = 64 * 1024 * 1024;

    // codePageOverride 0: the table's own code page. A file that is no dBASE table fails with
    // kErrorWrongFormat; a missing memo file that the table needs fails too.
    static Result<std::unique_ptr<DbfReader>> open(const QString &path, int codePageOverride = 0);
    // memo may be null; memoIsFoxPro tells an .fpt from a .dbt.
    static Result<std::unique_ptr<DbfReader>> open(std::unique_ptr<ByteSource> table,
                                                   std::unique_ptr<ByteSource> memo,
                                                   bool memoIsFoxPro, const QString &name,
                                                   int codePageOverride = 0);
    ~DbfReader() override;

    const std::vector<FieldInfo> &fields() const override;
    bool next(QVariantList &values) override;
    Status status() const override;
    int codePage() const override;
    qint64 recordNumber() const override;

    // The version byte (0x03 dBASE III, 0x83 with memo, 0x30 Visual FoxPro ...).
    int version() const;
    // True when the code page came from the bytes rather than from the table or the caller.
    bool codePageGuessed() const;

private:
    struct Impl;
    explicit DbfReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace quenda
