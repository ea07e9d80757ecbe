#pragma once
// Delimited text tables (.csv, .txt, .tab), read as a stream in blocks whatever the file's size.
//
// Layout: the first line holds the field names; an empty or repeated name (repeats compared
// without regard to case) becomes F1, F2 ... after its position. The delimiter is the one of
// comma, semicolon, tab and bar that splits the first lines most consistently (counted outside
// quotes). A value in double quotes may hold delimiters, doubled quotes and line ends (CR LF, LF
// or CR, kept as they stand). A record with too few fields gets nulls for the missing ones; one
// with too many keeps the first ones. Empty lines are skipped; an empty value is null. Every
// value is text.
//
// A quote that is never closed must not swallow the file: a quoted value may run over at most
// kMaxQuotedLineEnds line ends and kMaxQuotedBytes bytes; when it would run further, or reaches
// the end of the file open, its opening quote is read as an ordinary character and the value ends
// at the next delimiter or line end.
//
// Encoding: a byte-order mark decides (UTF-8, UTF-16 LE or BE); without one, a caller's code page
// decides; otherwise the file is UTF-8 when its first 64 KiB are well-formed UTF-8 (UTF-16 when
// every other byte there is zero) and Windows-1252 when not. In a UTF-8 file a single value that
// is not well-formed UTF-8 is read as Windows-1252 on its own, so a file that mixes the two
// encodings loses no letter.
//
// Limits: a record longer than kMaxRecordBytes stops reading with a message naming the file and
// the line, the first line included (however long it is below that, it splits as the file says);
// a header line naming more than kMaxFields fields is refused; fields past the first kMaxFields
// of a record are left out.

#include "common/result.h"
#include "formats/table_reader.h"

#include <memory>

namespace quenda {

class ByteSource;

struct DelimitedOptions {
    int codePage = 0;       // 0: found from the bytes; else a Windows code page number
    char delimiter = 0;     // 0: found from the first lines
    bool headerLine = true; // false: every line is data and the fields are F1, F2 ...
};

class DelimitedReader final : public TableReader {
public:
    static constexpr qsizetype kMaxRecordBytes = 16 * 1024 * 1024;
    static constexpr qsizetype kMaxQuotedBytes = 1024 * 1024;
    static constexpr int kMaxQuotedLineEnds = 1000;
    static constexpr qsizetype kMaxFields = 16384; // fields of a record beyond are left out

    // Opens a regular file. A file whose first bytes hold zero bytes and are not UTF-16 is not
    // text: kErrorWrongFormat.
    static Result<std::unique_ptr<DelimitedReader>> open(const QString &path,
                                                         const DelimitedOptions &options = {});
    // name is what messages call the source.
    static Result<std::unique_ptr<DelimitedReader>> open(std::unique_ptr<ByteSource> source,
                                                         const QString &name,
                                                         const DelimitedOptions &options = {});
    ~DelimitedReader() override;

    const std::vector<FieldInfo> &fields() const override;
    bool next(QVariantList &values) override;
    bool givesText() const override { return true; }
    bool nextText(std::vector<QByteArrayView> &values) override;
    Status status() const override;
    int codePage() const override;
    qint64 recordNumber() const override;

    // Every field of the next record as it stands, neither cut nor padded to the field count;
    // empty values are empty strings. Shares the position with next().
    bool nextRow(QStringList &cells);

    char delimiter() const;
    bool hasByteOrderMark() const;

private:
    struct Impl;
    explicit DelimitedReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace quenda
