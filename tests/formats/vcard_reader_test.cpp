#include "formats/byte_source.h"
#include "formats/vcard_reader.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace quenda;

namespace {

using Card = QMap<QString, QString>;

struct Read {
    QStringList fields;
    std::vector<Card> cards;
    QString error;
};

std::unique_ptr<VCardReader> openBytes(const QByteArray &bytes)
{
    auto reader = VCardReader::open(memorySource(bytes), QStringLiteral("cards.vcf"));
    EXPECT_TRUE(reader.ok()) << reader.message().toStdString();
    return reader ? std::move(*reader) : nullptr;
}

// Each card as its non-null fields by name. Given a second reader of the same bytes, each card
// is read from it as the UTF-8 views the import reads, which must be what next() gives, null for
// null.
Read readAll(VCardReader &reader, VCardReader *texts = nullptr)
{
    Read out;
    out.fields = reader.fieldNames();
    QVariantList values;
    std::vector<QByteArrayView> views;
    while (reader.next(values)) {
        EXPECT_EQ(values.size(), out.fields.size());
        if (texts) {
            EXPECT_TRUE(texts->nextText(views));
            EXPECT_EQ(views.size(), size_t(values.size()));
            views.resize(size_t(values.size()));
            for (qsizetype i = 0; i < values.size(); ++i) {
                EXPECT_EQ(views[size_t(i)].isNull(), values[i].isNull()) << i;
                EXPECT_EQ(QString::fromUtf8(views[size_t(i)]), values[i].toString()) << i;
            }
        }
        Card card;
        for (qsizetype i = 0; i < values.size(); ++i)
            if (!values[i].isNull())
                card.insert(out.fields[i], values[i].toString());
        out.cards.push_back(card);
    }
    out.error = reader.status().message();
    EXPECT_EQ(reader.recordNumber(), qint64(out.cards.size()));
    if (texts) {
        EXPECT_FALSE(texts->nextText(views));
        EXPECT_EQ(texts->status().message(), out.error);
    }
    return out;
}

Read readBytes(const QByteArray &bytes)
{
    auto reader = openBytes(bytes);
    auto texts = openBytes(bytes);
    return reader && texts ? readAll(*reader, texts.get()) : Read{};
}

// The card as "FIELD=value" lines in the order of the fields' names, to compare whole.
std::string described(const Card &card)
{
    QString out;
    for (auto it = card.cbegin(); it != card.cend(); ++it)
        out += it.key() + u'=' + it.value() + u'\n';
    return out.toStdString();
}

QByteArray crlf(const char *text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

// Cards of the three versions with folding, QUOTED-PRINTABLE cut mid-character, escapes,
// groups, every TYPE spelling and preferences.
QByteArray threeVersions()
{
    return crlf(
        // 2.1: quoted-printable over a soft break that cuts a character, bare types, PREF.
        "BEGIN:VCARD\nVERSION:2.1\n"
        "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=D0=98=D0=B2=D0=B0=D0=BD=D0=BE=D0=B2;=D0=98=\n"
        "=D0=B2=D0=B0=D0=BD;;;\n"
        "FN;CHARSET=UTF-8;QUOTED-PRINTABLE:=D0=98=D0=B2=D0=B0=D0=BD =D0=98=D0=B2=D0=B0=D0=BD=\n"
        "=D0=BE=D0=B2\n"
        "TEL;HOME;VOICE:111\nTEL;CELL;PREF:222\nTEL;WORK;FAX:333\n"
        "EMAIL;PREF;INTERNET:ivan@example.com\n"
        "ADR;HOME:;;Main St\\; 1;Town;;123;RU\n"
        "NOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0Atwo =3D three\n"
        "End:VCARD\n"
        // 3.0: lower case, groups, repeated TYPE, folded lines, escapes.
        "home.begin:vcard\nversion:3.0\n"
        "n:Doe;John;Q.,R.;Dr.;Jr.\n"
        "fn:John Doe\\, Jr.\n"
        "item1.tel;type=home;type=work:444\n"
        "TEL;TYPE=CELL,VOICE:555\n"
        "email;internet;type=WORK:john@\n"
        " work.example\n"
        "ORG:Acme\\; Sons;Research;Lab\n"
        "NOTE:Line one\\nLine two\\, with comma\\; and semicolon\\\\ and\n"
        "  folded\n"
        "NICKNAME:Johnny,JD\n"
        "url:http\\://example.com/john\n"
        "BDAY;value=date:1970-01-02\n"
        "X-SPOUSE:Jane\n"
        "END:VCARD\n"
        // 4.0: quoted types, PREF=n, parts of an address.
        "BEGIN:VCARD\nVERSION:4.0\nFN:Ann Lee\n"
        "TEL;TYPE=\"home,voice\":666\n"
        "TEL;TYPE=home;PREF=2:777\n"
        "TEL;TYPE=home;PREF=1:888\n"
        "ADR;TYPE=work:PO 9;Suite 4;1 Road;City;ST;99999;Land\n"
        "RELATED;TYPE=spouse;VALUE=text:Bo\n"
        "END:VCARD\n");
}

// Empty values, unknown kinds, an inline PHOTO, CHARSETs and BASE64.
QByteArray emptyUnknownAndCharsets()
{
    QByteArray bytes = crlf("BEGIN:VCARD\nVERSION:2.1\nN:  ;\nFN:Dentist\nTEL;WORK;VOICE:\n"
                            "ADR;HOME:;; ;;;;\nURL:http://\nTEL;X-CUSTOM:12\nEMAIL;TYPE=x-own:a@b\n"
                            "X-UNKNOWN;HOME:skip me\nPHOTO;ENCODING=BASE64;TYPE=JPEG:\n /9j/4AAQ\n"
                            " SkZJRg==\n\n");
    bytes += "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Ren=E9e\r\n"; // a second FN
    bytes += "NOTE:Caf\xE9 \x80\r\nTITLE;CHARSET=windows-1251:\xC8\xE2\xE0\xED\r\n";
    bytes += "ORG;ENCODING=BASE64;CHARSET=UTF-8:" + QByteArray("Ärzte GmbH").toBase64() +
             "\r\nEND:VCARD\r\n";
    return bytes;
}

// Cards without END, a soft break before END, an AGENT's card.
QByteArray cardsWithoutEnd()
{
    return crlf("BEGIN:VCARD\nFN:First\nNOTE;QUOTED-PRINTABLE:Lipa=\n"
                "END:VCARD\nBEGIN:VCARD\nVERSION:3.0\nFN:Second\nNOTE:Lipa=\n"
                "TEL:1\nAGENT:\nBEGIN:VCARD\nFN:Agent\nEND:VCARD\nTEL:2\n"
                "BEGIN:VCARD\nFN:Third\nBEGIN:VCARD\nFN:Fourth");
}

// Bytes made as they are read: a head, a unit repeated, a tail; a file of any size that the
// test never holds.
class PatternSource : public ByteSource {
public:
    PatternSource(QByteArray head, QByteArray unit, qint64 repeats, QByteArray tail)
        : m_head(std::move(head)), m_unit(std::move(unit)), m_repeats(repeats),
          m_tail(std::move(tail))
    {
    }
    qint64 size() const override { return m_head.size() + body() + m_tail.size(); }
    qint64 readAt(qint64 offset, char *dest, qint64 count) override
    {
        const qint64 n = std::clamp<qint64>(size() - offset, 0, count);
        for (qint64 i = 0; i < n; ++i)
            dest[i] = byteAt(offset + i);
        return n;
    }
    Status status() const override { return {}; }

private:
    qint64 body() const { return m_unit.size() * m_repeats; }
    char byteAt(qint64 at) const
    {
        if (at < m_head.size())
            return m_head[at];
        at -= m_head.size();
        return at < body() ? m_unit[at % m_unit.size()] : m_tail[at - body()];
    }
    QByteArray m_head, m_unit;
    qint64 m_repeats;
    QByteArray m_tail;
};

// The peak resident memory since the last reset, in KiB; -1 where the system cannot tell.
long peakKib(bool reset)
{
    if (reset) {
        std::ofstream clear("/proc/self/clear_refs");
        if (!(clear << "5" << std::flush))
            return -1;
    }
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

TEST(VCardReader, ThreeVersionsFoldingEscapesGroupsAndEveryTypeSpelling)
{
    const Read read = readBytes(threeVersions());
    ASSERT_TRUE(read.error.isEmpty()) << read.error.toStdString();
    ASSERT_EQ(read.cards.size(), 3u);

    // Whole cards, so that nothing more is read than the file holds: N's empty parts and the
    // empty region of an address give no field.
    EXPECT_EQ(described(read.cards[0]),
              "ADR;HOME;COUNTRY=RU\nADR;HOME;LOCALITY=Town\nADR;HOME;POSTALCODE=123\n"
              "ADR;HOME;STREET=Main St; 1\nEMAIL=ivan@example.com\nFN=Иван Иванов\n"
              "N;FAMILY=Иванов\nN;GIVEN=Иван\nNOTE=one\r\ntwo = three\n"
              "TEL;CELL=222\nTEL;HOME=111\nTEL;WORK;FAX=333\n");
    EXPECT_EQ(
        described(read.cards[1]),
        "BDAY=1970-01-02\nEMAIL;WORK=john@work.example\nFN=John Doe, Jr.\n"
        "N;ADDITIONAL=Q.,R.\nN;FAMILY=Doe\nN;GIVEN=John\nN;PREFIX=Dr.\nN;SUFFIX=Jr.\n"
        "NICKNAME=Johnny,JD\nNOTE=Line one\nLine two, with comma; and semicolon\\ and folded\n"
        "ORG=Acme; Sons\nORG;UNIT=Research, Lab\nSPOUSE=Jane\nTEL;CELL=555\n"
        "TEL;HOME;WORK=444\nURL=http://example.com/john\n");
    // The preferred values first, the lower PREF before the higher, then the card's order.
    EXPECT_EQ(described(read.cards[2]),
              "ADR;WORK;COUNTRY=Land\nADR;WORK;EXTENDED=Suite 4\nADR;WORK;LOCALITY=City\n"
              "ADR;WORK;POBOX=PO 9\nADR;WORK;POSTALCODE=99999\nADR;WORK;REGION=ST\n"
              "ADR;WORK;STREET=1 Road\nFN=Ann Lee\nSPOUSE=Bo\n"
              "TEL;HOME=888\nTEL;HOME 2=777\nTEL;HOME 3=666\n");

    // The union of the file, grouped by property in a fixed order, each key as it first came.
    EXPECT_EQ(read.fields.mid(0, 7), (QStringList{"N;FAMILY", "N;GIVEN", "N;ADDITIONAL", "N;PREFIX",
                                                  "N;SUFFIX", "FN", "NICKNAME"}));
    EXPECT_EQ(read.fields.filter(QRegularExpression("^TEL")),
              (QStringList{"TEL;HOME", "TEL;HOME 2", "TEL;HOME 3", "TEL;CELL", "TEL;WORK;FAX",
                           "TEL;HOME;WORK"}));
    EXPECT_EQ(read.fields.filter(QRegularExpression("^(EMAIL|URL|BDAY|NOTE|SPOUSE)")),
              (QStringList{"EMAIL", "EMAIL;WORK", "URL", "BDAY", "NOTE", "SPOUSE"}));
    EXPECT_EQ(QSet<QString>(read.fields.begin(), read.fields.end()).size(), read.fields.size());
}

TEST(VCardReader, EmptyAndUnknownValuesAndTheCharacterSets)
{
    const Read read = readBytes(emptyUnknownAndCharsets());
    ASSERT_EQ(read.cards.size(), 1u);
    // Nothing of N, of the empty number, address and web address; unknown kinds go generic.
    EXPECT_EQ(read.fields,
              (QStringList{"FN", "FN 2", "ORG", "ORG;UNIT", "TITLE", "TEL", "EMAIL", "NOTE"}));
    // A NOTE that is not UTF-8 reads as Windows-1252.
    EXPECT_EQ(described(read.cards[0]), "EMAIL=a@b\nFN=Dentist\nFN 2=Renée\nNOTE=Café €\n"
                                        "ORG=Ärzte GmbH\nTEL=12\nTITLE=Иван\n");

    // UTF-16 with and without a byte-order mark, and UTF-8 with one, all read alike.
    const QString text = QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Łukasz 漢字 🙂\r\n"
                                        "NOTE:a\\nb\r\nEND:VCARD\r\n");
    const struct {
        QStringConverter::Encoding encoding;
        bool bom;
        int codePage;
    } forms[] = {{QStringConverter::Utf16LE, true, 1200},
                 {QStringConverter::Utf16BE, true, 1201},
                 {QStringConverter::Utf16LE, false, 1200},
                 {QStringConverter::Utf16BE, false, 1201},
                 {QStringConverter::Utf8, true, 65001}};
    for (const auto &form : forms) {
        QStringEncoder encoder(form.encoding, form.bom ? QStringConverter::Flag::WriteBom
                                                       : QStringConverter::Flag::Default);
        const QByteArray bytes = encoder.encode(text);
        auto reader = openBytes(bytes);
        auto texts = openBytes(bytes);
        ASSERT_TRUE(reader && texts);
        EXPECT_EQ(reader->codePage(), form.codePage);
        const Read utf = readAll(*reader, texts.get());
        ASSERT_EQ(utf.cards.size(), 1u) << form.codePage;
        EXPECT_EQ(utf.cards[0].value("FN"), QStringLiteral("Łukasz 漢字 🙂"));
        EXPECT_EQ(utf.cards[0].value("NOTE"), "a\nb");
    }
}

TEST(VCardReader, BadInputIsReadOrRefusedByName)
{
    for (const QByteArray &bad : {QByteArray(), QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16),
                                  QByteArray("END:VCARD\r\nFN:stray\r\n")}) {
        auto reader = VCardReader::open(memorySource(bad), QStringLiteral("people.vcf"));
        ASSERT_FALSE(reader.ok());
        EXPECT_EQ(reader.code(), kErrorWrongFormat);
        EXPECT_TRUE(
            reader.message().startsWith(QStringLiteral("The file people.vcf cannot be read")))
            << reader.message().toStdString();
    }

    // Cards without END end where the next card begins or where the file ends; a soft line
    // break never swallows END:VCARD; a 3.0 value ending in "=" is no soft break; an AGENT's
    // card stays inside its owner.
    const Read open = readBytes(cardsWithoutEnd());
    ASSERT_EQ(open.cards.size(), 4u);
    EXPECT_EQ(open.cards[0].value("NOTE"), "Lipa");
    EXPECT_EQ(open.cards[1].value("FN"), "Second");
    EXPECT_EQ(open.cards[1].value("NOTE"), "Lipa=");
    EXPECT_EQ(open.cards[1].value("TEL 2"), "2");
    EXPECT_EQ(open.cards[2].value("FN"), "Third");
    EXPECT_EQ(open.cards[3].value("FN"), "Fourth");

    // A line of a megabyte is read whole; one past the cap refuses the file, naming its line.
    const QByteArray mega(1024 * 1024, 'x');
    const Read big = readBytes("BEGIN:VCARD\r\nFN:Big\r\nNOTE:" + mega + "\r\nX-JUNK:" + mega +
                               "\r\n" + mega + "\r\nEND:VCARD\r\n");
    ASSERT_EQ(big.cards.size(), 1u);
    EXPECT_EQ(big.cards[0].value("NOTE"), QString::fromLatin1(mega));
    auto tooLong =
        VCardReader::open(std::make_unique<PatternSource>(
                              "BEGIN:VCARD\r\nFN:A\r\nNOTE:", QByteArray(1024, 'y'),
                              VCardReader::kMaxValueBytes / 1024 + 1, "\r\nEND:VCARD\r\n"),
                          QStringLiteral("long.vcf"));
    ASSERT_FALSE(tooLong.ok());
    EXPECT_TRUE(tooLong.message().contains(QStringLiteral("long.vcf")));
    EXPECT_TRUE(tooLong.message().contains(QStringLiteral("NOTE value on line 3")))
        << tooLong.message().toStdString();
}

TEST(VCardReader, AFiftyMegabytePhotoStreamsByWithoutBeingHeld)
{
    constexpr qint64 kPhoto = 50LL * 1024 * 1024;
    const QByteArray head = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Photo\r\nPHOTO;ENCODING=b;TYPE=JPEG:";
    const QByteArray tail =
        "\r\nTEL;CELL:123\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Next\r\nEND:VCARD\r\n";
    const long before = peakKib(true);
    // One line of 50 MB, and the same photo folded into lines of 75 octets.
    for (const QByteArray &unit :
         {QByteArray(64 * 1024, 'Q'), "Q" + QByteArray(72, 'w') + "\r\n "}) {
        auto reader = VCardReader::open(
            std::make_unique<PatternSource>(head, unit, kPhoto / unit.size(), tail),
            QStringLiteral("photo.vcf"));
        ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
        const Read read = readAll(**reader);
        EXPECT_EQ(read.fields, (QStringList{"FN", "TEL;CELL"}));
        ASSERT_EQ(read.cards.size(), 2u);
        EXPECT_EQ(read.cards[0].value("TEL;CELL"), "123");
        EXPECT_EQ(read.cards[1].value("FN"), "Next");
    }
    const long after = peakKib(false);
    if (before < 0 || after < 0)
        GTEST_SKIP() << "the system does not tell peak memory";
    EXPECT_LT(after - before, 16 * 1024) << "KiB more at the peak while reading the photo";
}

// A unit of nothing but white space, in any script, is no unit.
TEST(VCardReader, BlankUnitsAreNoUnits)
{
    const Read read = readBytes(crlf("BEGIN:VCARD\nVERSION:3.0\nFN:Org\n"
                                     "ORG:Firm;  ;\xC2\xA0;Unit\\, one;;\xE2\x80\x83\n"
                                     "END:VCARD\nBEGIN:VCARD\nORG:;\xC2\xA0\nEND:VCARD\n"));
    ASSERT_EQ(read.cards.size(), 2u);
    EXPECT_EQ(read.cards[0].value("ORG;UNIT"), "Unit, one");
    EXPECT_FALSE(read.cards[1].contains("ORG;UNIT"));
}
