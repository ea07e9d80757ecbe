#include "contact_rows.h"
#include "contacts/export/vcard_writer.h"
#include "db/settings.h"
#include "support/cli_runner.h"

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

class CliContactsTest : public ::testing::Test {
protected:
    CliRun run(const QStringList &args) { return runCli(places, args); }

    TempPlaces places;
};

} // namespace

TEST_F(CliContactsTest, VcfWritesTheCombinedCardOfEachIdAndSendIpodEveryContact)
{
    QString a, b;
    {
        auto connection = places.connect();
        a = QString::number(addNamed(connection->db(), "O'Brien"));
        b = QString::number(addNamed(connection->db(), "Дмитрий"));
        addNamed(connection->db(), "Other");
    }
    const QString out = places.root() + "/out";
    QDir().mkpath(out);
    const CliRun ok = run({"vcf", "--out", out, a, b});
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, "VCF File Saved to Desktop\\Ipod\n");
    EXPECT_EQ(filesIn(out), (QStringList{"O'Brien.vcf", "Дмитрий.vcf"}));
    // Without --vcard, the version last chosen: 2.1 at first.
    EXPECT_TRUE(readAll(out + "/O'Brien.vcf").contains("\r\nVERSION:2.1\r\n"));

    // One trailing comma is part of the form an id list takes.
    const CliRun comma = run({"vcf", "--out", out, "--vcard", "4.0", a + ','});
    EXPECT_EQ(comma.status, 0) << comma.err.toStdString();
    EXPECT_TRUE(readAll(out + "/O'Brien.vcf").contains("\r\nVERSION:4.0\r\n"));

    for (const QStringList &bad :
         {QStringList{"vcf", "1 or 1=1"}, QStringList{"vcf"}, QStringList{"vcf", "--vcard", "3", a},
          QStringList{"send-ipod", "--vcard", "2.1.0"}, QStringList{"send-ipod", "--vcard"}}) {
        const CliRun r = run(bad);
        EXPECT_EQ(r.status, 2) << bad.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    // The staging folder is the default and is not created on the way.
    const CliRun noFolder = run({"vcf", a});
    EXPECT_NE(noFolder.status, 0);
    EXPECT_TRUE(noFolder.err.contains("does not exist"));
    QDir().mkpath(places.stagingDir());
    const CliRun missing = run({"vcf", a, "424242"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("424242"));
    EXPECT_EQ(filesIn(places.stagingDir()), QStringList{"O'Brien.vcf"});

    // send-ipod writes three cards for every contact.
    const CliRun sent = run({"send-ipod"});
    EXPECT_EQ(sent.status, 0) << sent.err.toStdString();
    EXPECT_EQ(sent.out, QStringLiteral("File Saved to %1\n").arg(places.stagingDir()));
    EXPECT_EQ(filesIn(places.stagingDir()).size(), 9);

    // The version the windows keep, unless --vcard names one.
    {
        auto connection = places.connect();
        ASSERT_TRUE(rememberCardVersion(connection->db(), CardVersion::V30).ok());
    }
    EXPECT_EQ(run({"send-ipod", "--out", out}).status, 0);
    EXPECT_TRUE(readAll(out + "/Other-W .vcf").contains("\r\nVERSION:3.0\r\n"));
    EXPECT_EQ(run({"send-ipod", "--out=" + out, "--vcard=2.1"}).status, 0);
    EXPECT_TRUE(readAll(out + "/Other-H.vcf").contains("\r\nVERSION:2.1\r\n"));
    EXPECT_EQ(run({"send-ipod", "--out", out}).status, 0);
    EXPECT_TRUE(readAll(out + "/Other-H.vcf").contains("\r\nVERSION:3.0\r\n"))
        << "the option is not remembered";

    {
        auto connection = places.connect();
        addNamed(connection->db(), "..");
    }
    const CliRun bad = run({"send-ipod"});
    EXPECT_EQ(bad.status, 1);
    // One "name: reason" line per card that failed.
    EXPECT_EQ(bad.err.count("..: the name is a folder reference\n"), 3) << bad.err.toStdString();
}
