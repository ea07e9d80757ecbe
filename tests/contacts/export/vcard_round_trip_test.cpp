#include "contact_rows.h"
#include "contacts/export/vcard_writer.h"
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
// folding, line breaks and names in other scripts.
struct TrickyColumn {
    const char *column;
    QString value;
};
const TrickyColumn kTricky[] = {{"FIRST", QStringLiteral("Zoë, \"Zee\"")},
                                {"LAST", QStringLiteral("O'Brien; 오브라이언")},
                                {"TITLE", QStringLiteral("Dr\\Prof")},
                                {"NICK", QStringLiteral("Z;Z,Z\\Z 😀")},
                                {"COMPANY", QStringLiteral("Сидоров и сыновья; Ltd, Inc")},
                                {"JOB_TITLE", QStringLiteral("Head\nof\nSales")},
                                {"SPOUSE", QStringLiteral("王小明")},
                                {"W_PH1", "+1 (555) 010-0001"},
                                {"W_PH2", "+1 555 0002;ext=2"},
                                {"H_PH1", "+44 20 0000 0004"},
                                {"MOBILE", "+7 900 000-00-07"},
                                {"FAX", "+1 555 0008"},
                                {"W_ADD1", QStringLiteral("1 Infinite Loop, Building 2")},
                                {"W_ADD2", QStringLiteral("Floor 3; Room 4")},
                                {"W_CITY", QStringLiteral("Cupertino")},
                                {"W_PIN", "95014"},
                                {"W_COUNTRY", "USA"},
                                {"H_ADD1", QStringLiteral("ул. Ленина, д. 1")},
                                {"B_CITY", QStringLiteral("東京")},
                                {"M_BD", "1984-02-29"},
                                {"H_EMAIL1", "zoe@home.example"},
                                {"H_EMAIL2", "zoe+2@home.example"},
                                {"B_EMAIL1", "zoe@work.example"},
                                {"B_EMAIL2", "zoe+2@work.example"},
                                {"H_WEB", "https://zoe.example/?a=1,b=2;c"},
                                {"B_WEB", "http://work.example/zoë"}};

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

class VCardRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(places.stagingDir()));
        auto connection = places.connect();
        id = QString::number(addContact(connection->db(), tricky)) + ',';
    }
    QString cardPath(const QString &name) const
    {
        return places.stagingDir() + '/' + name + QStringLiteral(".vcf");
    }

    TempPlaces places;
    // A name long enough to be folded.
    const Columns tricky = trickyContact(
        QStringLiteral("Zoë O'Brien, \"Zee\"; 오브라이언 😀 — длинное имя, которое не помещается"));
    QString id;
};

} // namespace

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
        runCardExport(places.databasePath(), {id}, folder, control, version);
        arguments << folder + '/' + tricky.front().second.toString() + ".vcf"
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
    EXPECT_EQ(ann["tel"].toArray()[3].toArray()[1].toString(), "111");
    EXPECT_EQ(parsed[1].toObject()["fn"].toString(), QStringLiteral("Пётр"));

    std::map<QString, QString> stored = storedOf(tricky);
    for (int i : {2, 3}) {
        const QJsonObject card = parsed[i].toObject();
        const bool v4 = i == 3;
        EXPECT_EQ(card["count"].toInt(), 1);
        EXPECT_EQ((QStringList{card["fn"].toString(), card["nickname"].toString(),
                               card["title"].toString(), card["bday"].toString()}),
                  (QStringList{stored["NAME"], stored["NICK"], stored["JOB_TITLE"],
                               v4 ? "19840229" : "1984-02-29"}));
        EXPECT_EQ(card["n"].toArray(),
                  (QJsonArray{stored["LAST"], stored["FIRST"], "", stored["TITLE"], ""}));
        EXPECT_EQ(card["org"].toArray(), QJsonArray{stored["COMPANY"]});
        const QJsonArray tel = card["tel"].toArray();
        ASSERT_EQ(tel.size(), 5);
        EXPECT_EQ(tel[1].toArray(), (QJsonArray{"work,voice", stored["W_PH2"]}));
        EXPECT_EQ(tel[3].toArray(), (QJsonArray{"cell,voice", stored["MOBILE"]}));
        EXPECT_EQ(tel[4].toArray(), (QJsonArray{"work,fax", stored["FAX"]}));
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
