#include "contact_rows.h"
#include "contacts/export/vcard_writer.h"
#include "formats/vcard_reader.h"
#include "support/test_places.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <map>

using namespace quenda;
using namespace quenda::test;

namespace {

// Every column a 3.0 or 4.0 card carries, filled with the characters that need escaping or
// folding, line breaks and names in other scripts, and the reader's field it comes back in (the
// address lines and the birthday come back as parts of other fields: see expectedFields).
struct TrickyColumn {
    const char *column;
    QString value;
    const char *field;
};
const TrickyColumn kTricky[] = {{"FIRST", QStringLiteral("Zoë, \"Zee\""), "N;GIVEN"},
                                {"LAST", QStringLiteral("O'Brien; 오브라이언"), "N;FAMILY"},
                                {"TITLE", QStringLiteral("Dr\\Prof"), "N;PREFIX"},
                                {"NICK", QStringLiteral("Z;Z,Z\\Z 😀"), "NICKNAME"},
                                {"COMPANY", QStringLiteral("Сидоров и сыновья; Ltd, Inc"), "ORG"},
                                {"JOB_TITLE", QStringLiteral("Head\nof\nSales"), "TITLE"},
                                {"SPOUSE", QStringLiteral("王小明"), "SPOUSE"},
                                {"W_PH1", "+1 (555) 010-0001", "TEL;WORK"},
                                {"W_PH2", "+1 555 0002;ext=2", "TEL;WORK 2"},
                                {"W_PH3", "0003", "TEL;WORK 3"},
                                {"H_PH1", "+44 20 0000 0004", "TEL;HOME"},
                                {"H_PH2", "0005", "TEL;HOME 2"},
                                {"H_PH3", "0006", "TEL;HOME 3"},
                                {"MOBILE", "+7 900 000-00-07", "TEL;CELL"},
                                {"FAX", "+1 555 0008", "TEL;WORK;FAX"},
                                {"W_ADD1", QStringLiteral("1 Infinite Loop, Building 2"), nullptr},
                                {"W_ADD2", QStringLiteral("Floor 3; Room 4"), nullptr},
                                {"W_CITY", QStringLiteral("Cupertino"), "ADR;WORK;LOCALITY"},
                                {"W_STATE", "CA", "ADR;WORK;REGION"},
                                {"W_PIN", "95014", "ADR;WORK;POSTALCODE"},
                                {"W_COUNTRY", "USA", "ADR;WORK;COUNTRY"},
                                {"H_ADD1", QStringLiteral("ул. Ленина, д. 1"), nullptr},
                                {"H_CITY", QStringLiteral("Москва"), "ADR;HOME;LOCALITY"},
                                {"H_PIN", "101000", "ADR;HOME;POSTALCODE"},
                                {"H_COUNTRY", QStringLiteral("Россия"), "ADR;HOME;COUNTRY"},
                                {"B_ADD1", QStringLiteral("東京都千代田区"), nullptr},
                                {"B_ADD2", QStringLiteral("丸の内 1-1"), nullptr},
                                {"B_CITY", QStringLiteral("東京"), "ADR;POSTAL;LOCALITY"},
                                {"B_COUNTRY", QStringLiteral("日本"), "ADR;POSTAL;COUNTRY"},
                                {"M_BD", "1984-02-29", nullptr},
                                {"H_EMAIL1", "zoe@home.example", "EMAIL;HOME"},
                                {"H_EMAIL2", "zoe+2@home.example", "EMAIL;HOME 2"},
                                {"B_EMAIL1", "zoe@work.example", "EMAIL;WORK"},
                                {"B_EMAIL2", "zoe+2@work.example", "EMAIL;WORK 2"},
                                {"H_WEB", "https://zoe.example/?a=1,b=2;c", "URL;HOME"},
                                {"B_WEB", "http://work.example/zoë", "URL;WORK"}};

Columns trickyContact(const QString &name)
{
    Columns columns{{"NAME", name}};
    for (const TrickyColumn &c : kTricky)
        columns.emplace_back(QString::fromLatin1(c.column), c.value);
    return columns;
}

std::map<QString, QString> storedOf(const Columns &columns)
{
    std::map<QString, QString> stored;
    for (const auto &[column, value] : columns)
        stored[column] = value.toString();
    return stored;
}

std::map<QString, QString> expectedFields(const Columns &columns, CardVersion version)
{
    std::map<QString, QString> stored = storedOf(columns);
    std::map<QString, QString> fields{{"FN", stored["NAME"]}};
    for (const TrickyColumn &c : kTricky)
        if (c.field)
            fields[c.field] = c.value;
    // The two address lines are the street's two lines.
    fields["ADR;WORK;STREET"] = stored["W_ADD1"] + '\n' + stored["W_ADD2"];
    fields["ADR;HOME;STREET"] = stored["H_ADD1"];
    fields["ADR;POSTAL;STREET"] = stored["B_ADD1"] + '\n' + stored["B_ADD2"];
    fields["BDAY"] = version == CardVersion::V30 ? "1984-02-29" : "19840229";
    return fields;
}

std::map<QString, QString> readBack(const QString &path, QStringList &fieldNames)
{
    auto reader = VCardReader::open(path);
    EXPECT_TRUE(reader.ok()) << reader.message().toStdString();
    std::map<QString, QString> out;
    if (!reader)
        return out;
    fieldNames = (*reader)->fieldNames();
    QVariantList values;
    EXPECT_TRUE((*reader)->next(values));
    for (qsizetype i = 0; i < values.size(); ++i)
        if (!values[i].isNull())
            out[fieldNames[i]] = values[i].toString();
    EXPECT_FALSE((*reader)->next(values)) << "one card per file";
    return out;
}

class VCardRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(places.stagingDir()));
        auto connection = places.connect();
        for (const Columns &c : contacts)
            ids << QString::number(addContact(connection->db(), c)) + ',';
    }
    QString cardPath(const QString &name) const
    {
        return places.stagingDir() + '/' + name + QStringLiteral(".vcf");
    }

    TempPlaces places;
    const std::vector<Columns> contacts{
        trickyContact(QStringLiteral("Zoë O'Brien, \"Zee\"; 오브라이언 😀")),
        trickyContact(QStringLiteral("Сидоров Пётр Алексеевич — длинное имя, которое не "
                                     "помещается в одну строку карточки"))};
    QStringList ids;
};

} // namespace

TEST_F(VCardRoundTrip, ThreeAndFourPointOhCardsReadBackAsTheSameContactFieldByField)
{
    for (CardVersion version : {CardVersion::V30, CardVersion::V40}) {
        JobControl control;
        EXPECT_EQ(runCardExport(places.databasePath(), ids, places.stagingDir(), control, version),
                  2);
        EXPECT_TRUE(control.report().succeeded());
        for (const Columns &contact : contacts) {
            const QString name = contact.front().second.toString();
            QStringList fieldNames;
            const std::map<QString, QString> read = readBack(cardPath(name), fieldNames);
            const std::map<QString, QString> expected = expectedFields(contact, version);
            for (const auto &[field, value] : expected) {
                const auto found = read.find(field);
                ASSERT_NE(found, read.end()) << field.toStdString();
                EXPECT_EQ(found->second, value) << field.toStdString();
            }
            // Nothing more comes back than the contact holds.
            for (const auto &[field, value] : read)
                EXPECT_TRUE(expected.count(field))
                    << field.toStdString() << " = " << value.toStdString();
            // The card also names every part of the name and of each address.
            EXPECT_TRUE(fieldNames.contains(QStringLiteral("N;SUFFIX")));
            EXPECT_TRUE(fieldNames.contains(QStringLiteral("ADR;HOME;POBOX")));
        }
    }
}

TEST_F(VCardRoundTrip, AnIndependentParserReadsEveryVersionTheProgramWrites)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable() ||
        QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import vobject")}) != 0)
        GTEST_SKIP() << "python3-vobject is not installed";

    // Each value as vobject gives it: names, parts, lists and types of every property.
    const char *script = R"(
import json, sys, vobject
def s(v):
    return v if isinstance(v, str) else str(v)
out = []
for path, encoding in zip(sys.argv[1::2], sys.argv[2::2]):
    cards = list(vobject.readComponents(open(path, encoding=encoding, newline='').read()))
    card = cards[0]
    c = {'count': len(cards)}
    for name in ('fn', 'nickname', 'title', 'bday'):
        if name in card.contents:
            c[name] = s(card.contents[name][0].value)
    if 'n' in card.contents:
        n = card.n.value
        c['n'] = [s(n.family), s(n.given), s(n.additional), s(n.prefix), s(n.suffix)]
    if 'org' in card.contents:
        c['org'] = list(card.org.value)
    for name in ('tel', 'email', 'url'):
        c[name] = [[','.join(p.params.get('TYPE', [])).lower(), s(p.value)]
                   for p in card.contents.get(name, [])]
    c['adr'] = [[','.join(p.params.get('TYPE', [])).lower(),
                 [s(p.value.street), s(p.value.city), s(p.value.code), s(p.value.country)]]
                for p in card.contents.get('adr', [])]
    out.append(c)
print(json.dumps(out))
)";
    // 2.1 in both of its encodings, from plain contacts: its values are written unescaped.
    QStringList simple;
    {
        auto connection = places.connect();
        simple << QString::number(addContact(connection->db(), {{"NAME", "Plain Ann"},
                                                                {"FIRST", "Ann"},
                                                                {"LAST", "Plain"},
                                                                {"H_PH1", "111"},
                                                                {"H_EMAIL1", "ann@example"}}))
               << QString::number(addContact(connection->db(), {{"NAME", QStringLiteral("Пётр")},
                                                                {"FIRST", QStringLiteral("Пётр")},
                                                                {"H_PH1", "222"}}));
    }
    QStringList arguments{QStringLiteral("-c"), QString::fromUtf8(script)};
    JobControl control;
    runCardExport(places.databasePath(), simple, places.stagingDir(), control, CardVersion::V21);
    arguments << cardPath("Plain Ann") << "cp1252" << cardPath(QStringLiteral("Пётр")) << "utf-8";
    for (CardVersion version : {CardVersion::V30, CardVersion::V40}) {
        const QString folder = places.root() + '/' + cardVersionText(version);
        ASSERT_TRUE(QDir().mkpath(folder));
        runCardExport(places.databasePath(), ids, folder, control, version);
        arguments << folder + '/' + contacts[0].front().second.toString() + ".vcf"
                  << "utf-8";
    }
    ASSERT_TRUE(control.report().succeeded());

    QProcess process;
    process.start(python, arguments);
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QJsonArray parsed = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    ASSERT_EQ(parsed.size(), 4);

    const QJsonObject ann = parsed[0].toObject();
    EXPECT_EQ(ann["fn"].toString(), "Plain Ann");
    EXPECT_EQ(ann["n"].toArray()[0].toString(), "Ann Plain ");
    EXPECT_EQ(ann["tel"].toArray()[3].toArray()[1].toString(), "111");
    EXPECT_EQ(ann["email"].toArray()[0].toArray()[1].toString(), "ann@example");
    EXPECT_EQ(parsed[1].toObject()["fn"].toString(), QStringLiteral("Пётр"));

    std::map<QString, QString> stored = storedOf(contacts[0]);
    for (int i : {2, 3}) {
        const QJsonObject card = parsed[i].toObject();
        const bool v4 = i == 3;
        EXPECT_EQ(card["count"].toInt(), 1);
        EXPECT_EQ(card["fn"].toString(), stored["NAME"]);
        EXPECT_EQ(card["nickname"].toString(), stored["NICK"]);
        EXPECT_EQ(card["title"].toString(), stored["JOB_TITLE"]);
        EXPECT_EQ(card["bday"].toString(), v4 ? "19840229" : "1984-02-29");
        EXPECT_EQ(card["n"].toArray(),
                  (QJsonArray{stored["LAST"], stored["FIRST"], "", stored["TITLE"], ""}));
        EXPECT_EQ(card["org"].toArray(), QJsonArray{stored["COMPANY"]});
        const QJsonArray tel = card["tel"].toArray();
        ASSERT_EQ(tel.size(), 8);
        EXPECT_EQ(tel[1].toArray(), (QJsonArray{"work,voice", stored["W_PH2"]}));
        EXPECT_EQ(tel[6].toArray(), (QJsonArray{"cell,voice", stored["MOBILE"]}));
        EXPECT_EQ(tel[7].toArray(), (QJsonArray{"work,fax", stored["FAX"]}));
        const QJsonArray email = card["email"].toArray();
        ASSERT_EQ(email.size(), 4);
        EXPECT_EQ(email[0].toArray()[1].toString(), stored["H_EMAIL1"]);
        EXPECT_EQ(email[0].toArray()[0].toString(), v4 ? "home" : "internet,home,pref");
        EXPECT_EQ(email[3].toArray()[1].toString(), stored["B_EMAIL2"]);
        const QJsonArray adr = card["adr"].toArray();
        ASSERT_EQ(adr.size(), 3);
        EXPECT_EQ(adr[0].toArray()[1].toArray(),
                  (QJsonArray{stored["W_ADD1"] + '\n' + stored["W_ADD2"], stored["W_CITY"],
                              stored["W_PIN"], stored["W_COUNTRY"]}));
        EXPECT_EQ(adr[2].toArray()[1].toArray()[1].toString(), stored["B_CITY"]);
        EXPECT_EQ(card["url"].toArray()[0].toArray()[1].toString(), stored["H_WEB"]);
    }
}
