#include "contact_rows.h"
#include "contacts/export/contact_send.h"
#include "support/test_places.h"

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

class ContactSendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection = places.connect();
        folder = places.stagingDir();
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    QSqlDatabase &db() { return connection->db(); }
    CardResult sendAll()
    {
        const auto names = contactNames(db());
        EXPECT_TRUE(names.has_value());
        return sendContacts(db(), names.value_or(QStringList()), folder);
    }

    TempPlaces places;
    std::unique_ptr<Connection> connection;
    QString folder;
};

} // namespace

TEST_F(ContactSendTest, EveryContactGetsHomeWorkAndCombinedCards)
{
    for (const char *name : {"Dentist", "O'Brien", "Zoe"})
        addNamed(db(), QString::fromUtf8(name));
    int reported = 0;
    const CardResult result =
        sendContacts(db(), *contactNames(db()), folder, [&](int done) { reported = done; });
    EXPECT_FALSE(result.hasProblems());
    EXPECT_EQ(reported, 3);
    EXPECT_EQ(result.written.size(), 9);
    EXPECT_EQ(filesIn(folder),
              (QStringList{"Dentist-H.vcf", "Dentist-W .vcf", "Dentist.vcf", "O'Brien-H.vcf",
                           "O'Brien-W .vcf", "O'Brien.vcf", "Zoe-H.vcf", "Zoe-W .vcf", "Zoe.vcf"}));
    // Written home, work, combined for each name in turn.
    EXPECT_TRUE(result.written[0].endsWith(QStringLiteral("/Dentist-H.vcf")));
    EXPECT_TRUE(result.written[1].endsWith(QStringLiteral("/Dentist-W .vcf")));
    EXPECT_TRUE(result.written[2].endsWith(QStringLiteral("/Dentist.vcf")));
}

TEST_F(ContactSendTest, NameLookupTakesTheFirstHolderOfExactlyThatName)
{
    addContact(db(), {{"NAME", "Twin"}, {"NICK", "first"}});
    addContact(db(), {{"NAME", "Twin"}, {"NICK", "second"}});
    addContact(db(), {{"NAME", "twin"}, {"NICK", "lower"}});
    addContact(db(), {{"NAME", ""}, {"NICK", "blank"}});
    const CardResult result = sendAll();
    EXPECT_EQ(result.written.size(), 12);
    EXPECT_TRUE(readAll(folder + QStringLiteral("/Twin.vcf")).contains("NICKNAME:first\r\n"));
    EXPECT_TRUE(readAll(folder + QStringLiteral("/twin.vcf")).contains("NICKNAME:lower\r\n"));
    EXPECT_TRUE(readAll(folder + QStringLiteral("/-H.vcf")).contains("NICKNAME:blank\r\n"));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/-W .vcf")));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/.vcf")));
}

TEST_F(ContactSendTest, UnsafeNamesAreSkippedAndCountedOncePerCard)
{
    addNamed(db(), QStringLiteral("Good"));
    addNamed(db(), QStringLiteral("sub/dir"));
    addNamed(db(), QStringLiteral("."));
    const CardResult result = sendAll();
    EXPECT_EQ(filesIn(folder), (QStringList{"Good-H.vcf", "Good-W .vcf", "Good.vcf"}));
    EXPECT_EQ(result.failures.size(), 6u);
    const QString message = cardFailureMessage(result);
    EXPECT_TRUE(message.startsWith(QStringLiteral("6 vCard file(s) could not be written, for 2 "
                                                  "contact(s):")))
        << message.toStdString();
    EXPECT_EQ(message.count(QStringLiteral("\"sub/dir\"")), 1);
}
