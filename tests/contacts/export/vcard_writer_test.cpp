#include "contact_rows.h"
#include "contacts/export/vcard_writer.h"
#include "support/test_places.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

class VCardWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection = places.connect();
        folder = places.stagingDir();
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    QSqlDatabase &db() { return connection->db(); }
    QByteArray card(const QString &fileName) { return readAll(folder + '/' + fileName); }
    QStringList failedNames() const
    {
        QStringList names;
        for (const ItemFailure &f : control.failures())
            names << f.path;
        return names;
    }

    JobControl control;

    TempPlaces places;
    std::unique_ptr<Connection> connection;
    QString folder;
};

} // namespace

TEST_F(VCardWriterTest, ContactWithOnlyANameGivesEveryLineWithEmptyValues)
{
    const QString id = QString::number(addNamed(db(), QStringLiteral("Dentist")));
    SaveAsVCF(db(), id, folder, control);
    SaveAsVCFHome(db(), id, folder, control);
    EXPECT_EQ(SaveAsVCFWork(db(), id, folder, control), 1);
    EXPECT_TRUE(control.report().succeeded());
    EXPECT_EQ(filesIn(folder), (QStringList{"Dentist-H.vcf", "Dentist-W .vcf", "Dentist.vcf"}));

    EXPECT_EQ(card(QStringLiteral("Dentist.vcf")),
              crlf("BEGIN:VCARD\nVERSION:2.1\nN:  ;\nFN:Dentist\nNICKNAME:\nORG:\nSPOUSE:\n"
                   "TEL;WORK;VOICE:\nTEL;WORK;VOICE:\nTEL;WORK;VOICE:\nTEL;HOME;VOICE:\n"
                   "TEL;HOME;VOICE:\nTEL;HOME;VOICE:\nTEL;CELL;VOICE:\nTEL;WORK;FAX:\n"
                   "ADR;WORK:;office; ;;;;\nADR;HOME:;; ;;;;\nADR;POSTAL:;; ;;;;\nBDAY:\n"
                   "EMAIL;PREF;INTERNET:\nEMAIL;INTERNET:\nURL:http://\nEnd:VCARD\n"));
    EXPECT_EQ(card(QStringLiteral("Dentist-H.vcf")),
              crlf("BEGIN:VCARD\nVERSION:2.1\nN:;;\nFN:Dentist\nNICKNAME:\nSPOUSE:\n"
                   "TEL;HOME;VOICE:\nTEL;HOME;VOICE:\nTEL;HOME;VOICE:\nTEL;CELL;VOICE:\n"
                   "ADR;HOME:;; ;;;;\nADR;POSTAL:;; ;;;;\nBDAY:\nEnd:VCARD\n"));
    EXPECT_EQ(card(QStringLiteral("Dentist-W .vcf")),
              crlf("BEGIN:VCARD\nVERSION:2.1\nN:;;\nFN:Dentist\nORG:\nTEL;WORK;VOICE:\n"
                   "TEL;WORK;VOICE:\nTEL;WORK;VOICE:\nTEL;CELL;VOICE:\nTEL;WORK;FAX:\n"
                   "ADR;WORK:;office; ;;;;\nADR;POSTAL:;; ;;;;\nEMAIL;PREF;INTERNET:\n"
                   "EMAIL;INTERNET:\nURL:http://\nEnd:VCARD\n"));
}

TEST_F(VCardWriterTest, FilledContactsPutEachColumnOnItsLineInWindows1252OrMarkedUtf8)
{
    Columns columns{{"NAME", "Renée Dupont"},
                    {"FIRST", "Renée"},
                    {"LAST", "Dupont"},
                    {"TITLE", "Dr"},
                    {"Nview", "Dupont, Renée"},
                    {"NICK", "Ren"},
                    {"COMPANY", "Café € Co"},
                    {"SPOUSE", "Marc"},
                    {"M_BD", "1971-03-09"},
                    {"H_EMAIL1", "r@home"},
                    {"B_EMAIL1", "r@work"},
                    {"H_WEB", "http://renee.example"},
                    {"FAX", "F"},
                    {"MOBILE", "M"}};
    const char *prefixes[] = {"W_", "H_", "B_"};
    for (const char *p : prefixes)
        for (const char *part : {"ADD1", "ADD2", "CITY", "STATE", "PIN", "COUNTRY"})
            columns.push_back({QString::fromLatin1(p) + QString::fromLatin1(part),
                               QString::fromLatin1(p) + QString::fromLatin1(part).toLower()});
    for (const char *ph : {"W_PH1", "W_PH2", "W_PH3", "H_PH1", "H_PH2", "H_PH3"})
        columns.push_back({QString::fromLatin1(ph), QString::fromLatin1(ph).toLower()});
    const QString id = QString::number(addContact(db(), columns));

    SaveAsVCF(db(), id + ',', folder, control);
    SaveAsVCFHome(db(), id, folder, control);
    // The scheme is put before H_WEB even when it already holds one.
    EXPECT_EQ(card(QStringLiteral("Renée Dupont.vcf")),
              crlf("BEGIN:VCARD\nVERSION:2.1\nN:Ren\xE9"
                   "e Dupont Dr;\nFN:Ren\xE9"
                   "e Dupont\n"
                   "NICKNAME:Ren\nORG:Caf\xE9 \x80 Co\nSPOUSE:Marc\nTEL;WORK;VOICE:w_ph1\n"
                   "TEL;WORK;VOICE:w_ph2\nTEL;WORK;VOICE:w_ph3\nTEL;HOME;VOICE:h_ph1\n"
                   "TEL;HOME;VOICE:h_ph2\nTEL;HOME;VOICE:h_ph3\nTEL;CELL;VOICE:M\n"
                   "TEL;WORK;FAX:F\n"
                   "ADR;WORK:;office;W_add1 W_add2;W_city;W_state;W_pin;W_country\n"
                   "ADR;HOME:;;H_add1 H_add2;H_city;H_state;H_pin;H_country\n"
                   "ADR;POSTAL:;;B_add1 B_add2;B_city;B_state;B_pin;B_country\n"
                   "BDAY:19710309\nEMAIL;PREF;INTERNET:r@home\nEMAIL;INTERNET:r@work\n"
                   "URL:http://http://renee.example\nEnd:VCARD\n"));
    const QByteArray home = card(QStringLiteral("Renée Dupont-H.vcf"));
    EXPECT_TRUE(home.contains("\r\nN:Dupont, Ren\xE9"
                              "e;Dr;\r\n"))
        << home.constData();
    EXPECT_TRUE(home.contains("\r\nBDAY:19710309\r\n"));

    // Characters outside Windows-1252 make a UTF-8 card with marked lines.
    const qint64 cyrillic = addContact(
        db(), {{"NAME", "Дмитрий"}, {"FIRST", "Дмитрий"}, {"LAST", "Müller"}, {"COMPANY", "Acme"}});
    SaveAsVCF(db(), QString::number(cyrillic), folder, control);
    const QByteArray bytes = card(QStringLiteral("Дмитрий.vcf"));
    EXPECT_TRUE(bytes.contains(QStringLiteral("\r\nFN;CHARSET=UTF-8:Дмитрий\r\n").toUtf8()));
    EXPECT_TRUE(
        bytes.contains(QStringLiteral("\r\nN;CHARSET=UTF-8:Дмитрий Müller ;\r\n").toUtf8()));
    EXPECT_TRUE(bytes.contains("\r\nORG:Acme\r\nSPOUSE:\r\n"));
    EXPECT_EQ(bytes.count("CHARSET"), 2);
}

TEST_F(VCardWriterTest, IdListFormsAndUncheckedInput)
{
    const qint64 a = addNamed(db(), QStringLiteral("Alpha"));
    const qint64 b = addNamed(db(), QStringLiteral("Beta"));
    addNamed(db(), QStringLiteral("Gamma"));

    // The export window passes one id and a comma.
    EXPECT_EQ(SaveAsVCF(db(), QString::number(a) + ',', folder, control), 1);
    EXPECT_EQ(filesIn(folder), QStringList{"Alpha.vcf"});
    EXPECT_EQ(SaveAsVCFHome(db(), QStringLiteral("%1, %2").arg(a).arg(b), folder, control), 2);

    EXPECT_EQ(SaveAsVCF(db(), QStringLiteral("9999"), folder, control), 0);
    EXPECT_EQ(failedNames(), QStringList{"id 9999"});

    // Anything but whole numbers is refused before a query is formed.
    for (const char *bad : {"1) or (1=1", "1,,", "abc", "1;2"})
        EXPECT_EQ(SaveAsVCFWork(db(), QString::fromLatin1(bad), folder, control), 0) << bad;
    EXPECT_EQ(control.failures().size(), 5u);
    EXPECT_EQ(filesIn(folder), (QStringList{"Alpha-H.vcf", "Alpha.vcf", "Beta-H.vcf"}));
}

TEST_F(VCardWriterTest, NamesDecideTheFileAndUnsafeNamesOrAMissingFolderAreRefused)
{
    QString all;
    for (const qint64 id :
         {addNamed(db(), QStringLiteral("O'Brien")), addNamed(db(), QString("")),
          addContact(db(), {{"NAME", "Twin"}, {"NICK", "first"}}),
          addContact(db(), {{"NAME", "Twin"}, {"NICK", "second"}}),
          addNamed(db(), QStringLiteral("../escape")), addNamed(db(), QStringLiteral("a\\b")),
          addNamed(db(), QStringLiteral(".."))})
        all += QString::number(id) + ',';

    SaveAsVCFHome(db(), all, folder, control);
    EXPECT_EQ(filesIn(folder), (QStringList{"-H.vcf", "O'Brien-H.vcf", "Twin-H.vcf"}));
    // The later of two contacts with one name replaces the earlier one's card.
    EXPECT_TRUE(card(QStringLiteral("Twin-H.vcf")).contains("NICKNAME:second\r\n"));
    EXPECT_EQ(failedNames(), (QStringList{"../escape", "a\\b", ".."}));
    EXPECT_TRUE(filesIn(places.desktopDir()).isEmpty()) << "nothing escaped the folder";

    EXPECT_TRUE(cardFailureMessage(control.report()).contains(QStringLiteral("\"a\\b\"")));

    // A folder that is not there is a failure of the card, with the system's reason.
    const QString nobody = QString::number(addNamed(db(), QStringLiteral("Nobody")));
    EXPECT_EQ(SaveAsVCF(db(), nobody, folder + QStringLiteral("/absent"), control), 0);
    ASSERT_EQ(failedNames().last(), QStringLiteral("Nobody"));
    EXPECT_TRUE(
        control.failures().back().reason.endsWith(QLatin1String("No such file or directory")))
        << control.failures().back().reason.toStdString();
}
