#include "common/QdGrid.h"
#include "contact_rows.h"
#include "contacts/import/FrmCntIpod.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

class SendIpodTabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection = places.connect();
        ASSERT_TRUE(QDir().mkpath(places.stagingDir()));
    }
    std::unique_ptr<FrmCntIpod> open()
    {
        auto window = std::make_unique<FrmCntIpod>(services.services(places.places()));
        window->show();
        control<QTabWidget>(window.get(), "SSActiveTabs1")
            ->setCurrentIndex(FrmCntIpod::kSendIpodTab);
        return window;
    }

    TempPlaces places;
    TestServices services;
    std::unique_ptr<Connection> connection;
};

} // namespace

TEST_F(SendIpodTabTest, TheListShowsTheNamesAndSendWritesThreeCardsEach)
{
    for (const char *name : {"Zoe", "Adam", "O'Brien", "x\\y"})
        addNamed(connection->db(), QString::fromLatin1(name));
    auto window = open();
    EXPECT_TRUE(control<QPushButton>(window.get(), "CmdImport")->isHidden());
    QdGrid *grid = control<QdGrid>(window.get(), "GridIpod");
    EXPECT_EQ(grid->colHeader(1), QStringLiteral("Name"));
    EXPECT_TRUE(grid->isColumnHidden(0));
    QStringList names;
    for (int row = 1; row <= grid->dataRows(); ++row)
        names << grid->text(row, 1);
    EXPECT_EQ(names, (QStringList{"Adam", "O'Brien", "x\\y", "Zoe"}));

    auto *send = control<QPushButton>(window.get(), "CmdIpod");
    QTest::mouseClick(send, Qt::LeftButton);
    EXPECT_FALSE(send->isEnabled()) << "no second send while one runs";
    window->job()->wait();
    EXPECT_TRUE(send->isEnabled());
    EXPECT_EQ(filesIn(places.stagingDir()).size(), 9);
    EXPECT_TRUE(QFile::exists(places.stagingDir() + QStringLiteral("/O'Brien-W .vcf")));
    ASSERT_EQ(services.messages.shown.size(), 2u);
    EXPECT_EQ(services.messages.shown[0].text,
              QStringLiteral("File Saved to ") + QDir::toNativeSeparators(places.stagingDir()));
    EXPECT_TRUE(services.messages.shown[1].text.startsWith(QStringLiteral("3 vCard file(s)")));
}
