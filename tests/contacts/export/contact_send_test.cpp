#include "contact_rows.h"
#include "contacts/export/contact_send.h"
#include "contacts/export/vcard_writer.h"
#include "db/contacts.h"
#include "fs/fs_fixture.h"
#include "fs/text_output.h"
#include "support/test_places.h"
#include "support/window_controls.h"

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
    int sendAll(const QStringList &names) { return sendContacts(db(), names, folder, control); }
    int sendAll() { return sendAll(contactNames(db()).value()); }

    TempPlaces places;
    std::unique_ptr<Connection> connection;
    QString folder;
    JobControl control;
};

} // namespace

TEST_F(ContactSendTest, EachNameTakesTheFirstHolderOfExactlyThatNameAndUnsafeNamesAreTold)
{
    addContact(db(), {{"NAME", "Twin"}, {"NICK", "first"}});
    addContact(db(), {{"NAME", "twin"}, {"NICK", "lower"}});
    addContact(db(), {{"NAME", "Twin"}, {"NICK", "second"}});
    addContact(db(), {{"NAME", ""}, {"NICK", "blank"}});
    addContact(db(), {{"NICK", "null"}});
    addNamed(db(), QStringLiteral("sub/dir"));
    addNamed(db(), QStringLiteral("."));
    EXPECT_EQ(sendAll(), 15);
    // Unsafe names are reported once per card, and once per contact in the message.
    EXPECT_EQ(control.failures().size(), 6u);
    const QString message = cardFailureMessage(control.report());
    EXPECT_TRUE(message.startsWith(QStringLiteral("6 vCard file(s) could not be written, for 2 "
                                                  "contact(s):")))
        << message.toStdString();
    EXPECT_EQ(message.count(QStringLiteral("\"sub/dir\"")), 1);
    EXPECT_TRUE(readAll(folder + QStringLiteral("/Twin.vcf")).contains("NICKNAME:first\r\n"));
    EXPECT_TRUE(readAll(folder + QStringLiteral("/Twin-H.vcf")).contains("NICKNAME:first\r\n"));
    EXPECT_TRUE(readAll(folder + QStringLiteral("/twin.vcf")).contains("NICKNAME:lower\r\n"));
    // A null name is listed blank, and the blank name finds the contact named "".
    EXPECT_TRUE(readAll(folder + QStringLiteral("/-H.vcf")).contains("NICKNAME:blank\r\n"));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/-W .vcf")));
    // Without the contact named "", the blank name finds no one: told, not skipped.
    ASSERT_TRUE(QSqlQuery(db()).exec(QStringLiteral("delete from cnt_main where NAME = ''")));
    JobControl blank;
    EXPECT_EQ(sendContacts(db(), {QString()}, folder, blank), 0);
    ASSERT_EQ(blank.failures().size(), 1u);
    EXPECT_EQ(blank.failures()[0].path, QStringLiteral("A contact without a name"));

    // A list older than the table: Cain is no contact now, the twins still get theirs.
    const QString older = places.root() + QStringLiteral("/older");
    ASSERT_TRUE(QDir().mkpath(older));
    JobControl again;
    EXPECT_EQ(sendContacts(db(), {QStringLiteral("Cain"), QStringLiteral("twin")}, older, again),
              3);
    EXPECT_EQ(filesIn(older), (QStringList{"twin-H.vcf", "twin-W .vcf", "twin.vcf"}));
}

TEST_F(ContactSendTest, CancelledMidwayKeepsTheCardsWritten)
{
    constexpr int kContacts = 2000;
    {
        QSqlQuery begin(db());
        begin.exec(QStringLiteral("begin"));
        for (int i = 0; i < kContacts; ++i)
            addNamed(db(), QStringLiteral("Contact %1").arg(i, 5, 10, QLatin1Char('0')));
        begin.exec(QStringLiteral("commit"));
    }
    int written = 0;
    {
        CancelAfter cancel(control, 10);
        written = sendAll();
    }
    EXPECT_TRUE(control.report().cancelled);
    EXPECT_EQ(written % 3, 0) << "a contact's three cards are written together";
    EXPECT_GE(written, 30);
    EXPECT_LT(written, 3 * kContacts);
    EXPECT_EQ(filesIn(folder).size(), written);
}

TEST_F(ContactSendTest, ACardOnAFullDiskKeepsTheEarlierCardAndALinkIsNotFollowed)
{
    addNamed(db(), QStringLiteral("Bob"));
    const QString victim = places.writeFile(QStringLiteral("victim.txt"), "KEEP");
    ASSERT_TRUE(QFile::link(victim, folder + QStringLiteral("/Bob.vcf")));
    EXPECT_EQ(sendAll(), 3);
    EXPECT_EQ(readAll(victim), QByteArray("KEEP"));
    EXPECT_TRUE(readAll(folder + QStringLiteral("/Bob.vcf")).endsWith("End:VCARD\r\n"));

    TmpfsMount disk(folder, "size=8k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    ASSERT_TRUE(writeBytesFile(folder + QStringLiteral("/Bob.vcf"), "the earlier card"));
    // The rest of the small file system is taken, so no card fits.
    const Status filled =
        writeBytesFile(folder + QStringLiteral("/fill"), QByteArray(64 * 1024, 'x'));
    ASSERT_FALSE(filled);
    ASSERT_TRUE(writeBytesFile(folder + QStringLiteral("/fill"), QByteArray(4 * 1024, 'x')));
    JobControl full;
    EXPECT_EQ(sendContacts(db(), {QStringLiteral("Bob")}, folder, full), 0);
    ASSERT_FALSE(full.report().failures.empty());
    EXPECT_TRUE(
        full.report().failures[0].reason.contains(QStringLiteral("No space left on device")))
        << full.report().failures[0].reason.toStdString();
    EXPECT_EQ(readAll(folder + QStringLiteral("/Bob.vcf")), QByteArray("the earlier card"));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/Bob-H.vcf")));
}

TEST_F(ContactSendTest, ACardThatCannotTakeItsNameIsReportedByContactAndFileAndNotCounted)
{
    addNamed(db(), QStringLiteral("Ann"));
    addNamed(db(), QStringLiteral("Bob"));
    const QString locked = folder + QStringLiteral("/Bob-W .vcf");
    ASSERT_TRUE(writeBytesFile(locked, "old"));
    // The card is written whole; only its rename, which the run does a batch later, fails.
    ImmutableFile immutable(locked);
    if (!immutable.marked())
        GTEST_SKIP() << "an immutable file needs root and a file system that keeps the mark";

    for (CardVersion version : {CardVersion::V21, CardVersion::V40}) {
        JobControl send;
        EXPECT_EQ(sendContacts(db(), *contactNames(db()), folder, send, version), 5);
        ASSERT_EQ(send.failures().size(), 1u);
        EXPECT_EQ(send.failures()[0].path, QStringLiteral("Bob"));
        EXPECT_EQ(send.failures()[0].reason,
                  QStringLiteral("Cannot write %1: Operation not permitted").arg(locked));
        EXPECT_TRUE(cardFailureMessage(send.report())
                        .startsWith(QStringLiteral("1 vCard file(s) could not be written, for 1 "
                                                   "contact(s):\n\"Bob\": Cannot write ")));
        EXPECT_EQ(readAll(locked), QByteArray("old"));
        // No temporary stays beside the cards.
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 6);
    }
}
