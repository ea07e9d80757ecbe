#pragma once
// vCard files (.vcf) as a table: each card is a record and its properties are fields. One file
// may hold one card or many, of versions 2.1, 3.0 and 4.0 alike.
//
// Fields. A property read is named by its name, then the kinds its TYPE parameters give (in the
// order below, each after a ";"), then, for the second and later values of the same name and
// kinds on one card, a blank and the count, then, for a property made of parts, the part after a
// ";". The field list is the union over the whole file, in the order N, FN, NICKNAME, ORG, TITLE,
// TEL, EMAIL, ADR, URL, BDAY, NOTE, SPOUSE (names of one property in the order they first appear):
//
//   N;FAMILY  N;GIVEN  N;ADDITIONAL  N;PREFIX  N;SUFFIX
//   FN  NICKNAME  TITLE  BDAY  NOTE  SPOUSE
//   ORG (the organization's name)  ORG;UNIT (its units, joined by ", ")
//   TEL;<kinds>     kinds of HOME WORK CELL FAX PAGER MSG VIDEO TEXT TEXTPHONE CAR ISDN BBS
//                   MODEM PCS (MOBILE is read as CELL): "TEL;WORK", "TEL;HOME;FAX", "TEL;CELL 2"
//   EMAIL;<kinds>   HOME WORK X400: "EMAIL;HOME", "EMAIL"
//   URL;<kinds>     HOME WORK
//   ADR;<kinds>;<part>   kinds HOME WORK POSTAL PARCEL DOM INTL, parts POBOX EXTENDED STREET
//                   LOCALITY REGION POSTALCODE COUNTRY: "ADR;HOME;STREET", "ADR;WORK 2;LOCALITY"
//
// VOICE (a telephone's default), INTERNET (an e-mail address's default) and PREF name no kind;
// a kind not in the lists is left out of the name, so a value of unknown kind lands in the
// generic field ("TEL", "EMAIL" ...). A preferred value (TYPE=PREF, or PREF=n in 4.0, the lower
// n first) takes the first place among the values of its name. SPOUSE comes from SPOUSE and
// X-SPOUSE, and from RELATED of TYPE=spouse. Other properties are passed over; a property with
// no value (blanks and separators only) counts as absent. Every value is text (NOTE a memo); a
// missing value is null.
//
// Lines: folded lines are joined (a line break and the one blank or tab after it are dropped);
// CR LF, LF and CR all end a line. 2.1's QUOTED-PRINTABLE values (ENCODING=QUOTED-PRINTABLE or
// the bare parameter) run on over soft line breaks (a line ending in "="), never over an
// END:VCARD line; BASE64 values are decoded too. Groups ("item1.TEL") are dropped. Escapes:
// "\\", "\,", "\;" and "\n" in 3.0 and 4.0, "\;" in 2.1; "\:" everywhere.
//
// Text: a byte-order mark decides UTF-8, UTF-16 LE or BE (UTF-16 without a mark is recognised
// too); otherwise each value is read in its CHARSET when it names one, else as UTF-8 when it is
// well-formed UTF-8, else as Windows-1252. Each card's values are decoded once, to UTF-8 in a
// buffer the reader owns: nextText() hands out views into it, next() makes QStrings of them.
//
// Bad input: a file without any BEGIN:VCARD line, or with zero bytes in its first block that are
// not UTF-16, is refused as not in the expected format. A card without END:VCARD ends where the
// next card begins or the file ends (2.1's AGENT may nest a card; its card is passed over). A
// value that is read may be up to kMaxValueBytes long; a longer one refuses the file when it is
// opened, naming its line. Values that are not read (PHOTO, LOGO, SOUND, KEY, unknown
// properties) are skipped as they stream by, never held, whatever their length.
//
// The file is read twice, both times as a stream: once when opened, for the field list, and
// again record by record.

#include "common/result.h"
#include "formats/table_reader.h"

#include <memory>

namespace quenda {

class ByteSource;

class VCardReader final : public TableReader {
public:
    static constexpr qsizetype kMaxValueBytes = 16 * 1024 * 1024;

    static Result<std::unique_ptr<VCardReader>> open(const QString &path);
    // name is what messages call the source.
    static Result<std::unique_ptr<VCardReader>> open(std::unique_ptr<ByteSource> source,
                                                     const QString &name);
    ~VCardReader() override;

    const std::vector<FieldInfo> &fields() const override;
    bool next(QVariantList &values) override;
    bool givesText() const override { return true; }
    bool nextText(std::vector<QByteArrayView> &values) override;
    Status status() const override;
    // 65001 (UTF-8 and the per-value character sets), 1200 or 1201 for a UTF-16 file.
    int codePage() const override;
    qint64 recordNumber() const override;

private:
    struct Impl;
    explicit VCardReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace quenda
