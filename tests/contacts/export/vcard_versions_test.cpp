#include "common/QdGrid.h"
#include "contact_rows.h"
#include "contacts/export/FrmVCF.h"
#include "contacts/export/vcard_writer.h"
#include "contacts/import/FrmCntIpod.h"
#include "db/settings.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

CardRow rowOf(std::initializer_list<std::pair<card::Field, QString>> values)
{
    CardRow row;
    for (const auto &[field, value] : values)
        row.field[field] = value;
    return row;
}

QByteArray unfolded(QByteArray bytes)
{
    return bytes.replace("\r\n ", "");
}

} // namespace

TEST(CardVersions, ValuesAreEscapedTypedSortedAndFoldedAt75OctetsBetweenCharacters)
{
    const CardRow row = rowOf({{card::NAME, "O'Brien, Ann; \"Annie\""},
                               {card::FIRST, "Ann"},
                               {card::LAST, "O'Brien"},
                               {card::TITLE, "Dr"},
                               {card::NICK, "A\\B"},
                               {card::COMPANY, "Smith, Jones; Partners"},
                               {card::JOB_TITLE, "Head of Sales"},
                               {card::SPOUSE, "Tom"},
                               {card::W_PH1, "+1 555 0100"},
                               {card::H_PH2, "+1 555 0200"},
                               {card::MOBILE, "  "},
                               {card::FAX, "+1 555 0199"},
                               {card::H_ADD1, "1 Main St"},
                               {card::H_ADD2, "Flat 2"},
                               {card::H_CITY, "Springfield"},
                               {card::H_COUNTRY, "USA"},
                               {card::B_CITY, "Shelbyville"},
                               {card::M_BD, "1980-02-29"},
                               {card::H_EMAIL1, "ann@home.example"},
                               {card::B_EMAIL2, "ann@work.example"},
                               {card::H_WEB, "ann.example"},
                               {card::B_WEB, "https://work.example/a,b"}});
    EXPECT_EQ(cardBytes(row, CardKind::Combined, CardVersion::V30),
              crlf("BEGIN:VCARD\nVERSION:3.0\nN:O'Brien;Ann;;Dr;\n"
                   "FN:O'Brien\\, Ann\\; \"Annie\"\nNICKNAME:A\\\\B\n"
                   "ORG:Smith\\, Jones\\; Partners\nTITLE:Head of Sales\nX-SPOUSE:Tom\n"
                   "TEL;TYPE=WORK,VOICE:+1 555 0100\nTEL;TYPE=HOME,VOICE:+1 555 0200\n"
                   "TEL;TYPE=WORK,FAX:+1 555 0199\n"
                   "ADR;TYPE=HOME:;;1 Main St\\nFlat 2;Springfield;;;USA\n"
                   "ADR;TYPE=POSTAL:;;;Shelbyville;;;\nBDAY:1980-02-29\n"
                   "EMAIL;TYPE=INTERNET,HOME,PREF:ann@home.example\n"
                   "EMAIL;TYPE=INTERNET,WORK:ann@work.example\n"
                   "URL;TYPE=HOME:http://ann.example\nURL;TYPE=WORK:https://work.example/a\\,b\n"
                   "END:VCARD\n"));
    EXPECT_EQ(cardBytes(row, CardKind::Home, CardVersion::V40),
              crlf("BEGIN:VCARD\nVERSION:4.0\nN:O'Brien;Ann;;Dr;\n"
                   "FN:O'Brien\\, Ann\\; \"Annie\"\nNICKNAME:A\\\\B\n"
                   "RELATED;TYPE=spouse;VALUE=text:Tom\nTEL;TYPE=home,voice:+1 555 0200\n"
                   "ADR;TYPE=home:;;1 Main St\\nFlat 2;Springfield;;;USA\nBDAY:19800229\n"
                   "EMAIL;TYPE=home;PREF=1:ann@home.example\nURL;TYPE=home:http://ann.example\n"
                   "END:VCARD\n"));
    EXPECT_EQ(cardBytes(row, CardKind::Work, CardVersion::V40),
              crlf("BEGIN:VCARD\nVERSION:4.0\nN:O'Brien;Ann;;Dr;\n"
                   "FN:O'Brien\\, Ann\\; \"Annie\"\n"
                   "ORG:Smith\\, Jones\\; Partners\nTITLE:Head of Sales\n"
                   "TEL;TYPE=work,voice:+1 555 0100\nTEL;TYPE=work,fax:+1 555 0199\n"
                   "ADR;TYPE=postal:;;;Shelbyville;;;\nEMAIL;TYPE=work:ann@work.example\n"
                   "URL;TYPE=work:https://work.example/a\\,b\nEND:VCARD\n"));

    // The columns the newer cards add change nothing in a 2.1 card.
    CardRow older = row;
    for (card::Field f : {card::JOB_TITLE, card::H_EMAIL2, card::B_EMAIL2, card::B_WEB})
        older.field[f].clear();
    for (CardKind kind : {CardKind::Combined, CardKind::Home, CardKind::Work})
        EXPECT_EQ(cardBytes(row, kind), cardBytes(older, kind));

    // A contact with only a name: 3.0 asks for N even when no part of it is known, 4.0 does not.
    const CardRow dentist = rowOf({{card::NAME, QStringLiteral("Dentist")}});
    for (CardKind kind : {CardKind::Combined, CardKind::Home, CardKind::Work})
        EXPECT_EQ(cardBytes(dentist, kind, CardVersion::V30),
                  crlf("BEGIN:VCARD\nVERSION:3.0\nN:;;;;\nFN:Dentist\nEND:VCARD\n"));
    EXPECT_EQ(cardBytes(dentist, CardKind::Combined, CardVersion::V40),
              crlf("BEGIN:VCARD\nVERSION:4.0\nFN:Dentist\nEND:VCARD\n"));

    // Long lines fold at 75 octets between characters; line breaks are escaped.
    // Two-, three- and four-byte characters, so that the 75th octet falls inside one of them.
    const QString name = QStringLiteral("Ж漢🙂a").repeated(20);
    const CardRow folded = rowOf(
        {{card::NAME, name}, {card::COMPANY, QStringLiteral("Line 1\r\nLine 2\rLine 3\nEnd")}});
    for (CardVersion version : {CardVersion::V30, CardVersion::V40}) {
        const QByteArray bytes = cardBytes(folded, CardKind::Work, version);
        ASSERT_TRUE(bytes.endsWith("\r\n"));
        int continued = 0;
        // Every line ends in CR LF, and no CR or LF stands alone.
        EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
        EXPECT_EQ(bytes.count('\r'), bytes.count("\r\n"));
        for (const QByteArray &line :
             QByteArray(bytes).replace("\r\n", "\n").chopped(1).split('\n')) {
            EXPECT_LE(line.size(), 75) << line.constData();
            // Each physical line is whole UTF-8 by itself: no character was cut.
            EXPECT_EQ(QString::fromUtf8(line).toUtf8(), line);
            continued += line.startsWith(' ') ? 1 : 0;
        }
        EXPECT_GE(continued, 2);
        const QByteArray whole = unfolded(bytes);
        EXPECT_TRUE(whole.contains("\r\nFN:" + name.toUtf8() + "\r\n"));
        EXPECT_TRUE(whole.contains("\r\nORG:Line 1\\nLine 2\\nLine 3\\nEnd\r\n"));
    }
}

// The send tab lists every name and sends three cards each, in the version the export window
// chose last.
TEST(CardVersions, TheChoiceIsKeptInTheDatabaseAndShownByBothWindows)
{
    TempPlaces places;
    auto connection = places.connect();
    ASSERT_TRUE(QDir().mkpath(places.stagingDir()));
    addContact(connection->db(), {{"NAME", "Zoe"}, {"FIRST", "Zoe"}});
    EXPECT_EQ(*rememberedCardVersion(connection->db()), CardVersion::V21);
    ASSERT_TRUE(saveSetting(connection->db(), QStringLiteral("vCard version"), "9.9").ok());
    EXPECT_EQ(*rememberedCardVersion(connection->db()), CardVersion::V21);

    TestServices services;
    {
        FrmVCF window(services.services(places.places()));
        window.show();
        auto *box = control<QComboBox>(&window, "CmbVersion");
        EXPECT_EQ(box->currentText(), QStringLiteral("vCard 2.1"));
        QTest::keyClick(box, Qt::Key_Down);
        auto *grid = control<QdGrid>(&window, "Grid1");
        grid->setAllRowsMarked(true);
        QTest::mouseClick(control<QPushButton>(&window, "CmdSave"), Qt::LeftButton);
        window.job()->wait();
    }
    EXPECT_TRUE(readAll(places.stagingDir() + QStringLiteral("/Zoe.vcf"))
                    .startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\n"));

    for (const char *name : {"Adam", "O'Brien", "x\\y"})
        addNamed(connection->db(), QString::fromLatin1(name));
    FrmCntIpod send(services.services(places.places()));
    send.show();
    control<QTabWidget>(&send, "SSActiveTabs1")->setCurrentIndex(FrmCntIpod::kSendIpodTab);
    EXPECT_TRUE(control<QPushButton>(&send, "CmdImport")->isHidden());
    QdGrid *grid = control<QdGrid>(&send, "GridIpod");
    EXPECT_TRUE(grid->colHeader(1) == QStringLiteral("Name") && grid->isColumnHidden(0));
    QStringList names;
    for (int row = 1; row <= grid->dataRows(); ++row)
        names << grid->text(row, 1);
    EXPECT_EQ(names, (QStringList{"Adam", "O'Brien", "x\\y", "Zoe"}));
    auto *box = control<QComboBox>(&send, "CmbIpodVersion");
    EXPECT_EQ(box->currentText(), QStringLiteral("vCard 3.0"));
    QTest::keyClick(box, Qt::Key_Down);

    services.messages.shown.clear();
    auto *button = control<QPushButton>(&send, "CmdIpod");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(button->isEnabled()) << "no second send while one runs";
    send.job()->wait();
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(filesIn(places.stagingDir()).size(), 9); // three cards for each name but x\\y
    EXPECT_TRUE(readAll(places.stagingDir() + QStringLiteral("/Zoe-W .vcf"))
                    .startsWith("BEGIN:VCARD\r\nVERSION:4.0\r\n"));
    EXPECT_EQ(*rememberedCardVersion(connection->db()), CardVersion::V40);
    ASSERT_EQ(services.messages.texts().size(), 2);
    EXPECT_EQ(services.messages.texts()[0],
              QStringLiteral("File Saved to ") + QDir::toNativeSeparators(places.stagingDir()));
    EXPECT_TRUE(services.messages.texts()[1].startsWith(QStringLiteral("3 vCard file(s)")));
}
