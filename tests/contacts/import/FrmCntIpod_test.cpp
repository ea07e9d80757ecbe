#include "common/QdGrid.h"
#include "contacts/import/FrmCntIpod.h"
#include "db/setup.h"
#include "import_test_support.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace quenda;
using namespace quenda::test;

namespace {

constexpr int kFieldCol = 4;

class ImportWindowTest : public ::testing::Test {
protected:
    void SetUp() override { connection = places.connect(); }

    std::unique_ptr<FrmCntIpod> open()
    {
        auto window = std::make_unique<FrmCntIpod>(services.services(places.places()));
        window->show();
        return window;
    }
    QString people()
    {
        return places.writeFile(QStringLiteral("data/people.csv"),
                                "Nm,Tel,Born\nO'Brien,555 1,1980-05-17\nZoë,555 2,\n");
    }
    void choose(FrmCntIpod *window, const QString &kind, const QString &path)
    {
        control<QComboBox>(window, "Combo1")->setCurrentText(kind);
        services.dialogs.openAnswers.push_back(path);
        QTest::mouseClick(control<QPushButton>(window, "Cmdsel"), Qt::LeftButton);
        // The tables and fields are read as a job; a read that ends starts a newer one.
        while (window->sourceJob()->isRunning())
            window->sourceJob()->wait();
    }
    // The import runs as two jobs, the look for duplicates and the import itself.
    static void finishImport(FrmCntIpod *window)
    {
        while (window->job()->isRunning())
            window->job()->wait();
    }
    static void setField(QdGrid *grid, int row, const QString &field)
    {
        grid->model()->setData(grid->model()->index(row - 1, kFieldCol), field, Qt::EditRole);
    }
    static QStringList items(const QListWidget *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    void tab(FrmCntIpod *window, int number)
    {
        control<QTabWidget>(window, "SSActiveTabs1")->setCurrentIndex(number - 1);
    }

    TempPlaces places;
    TestServices services;
    std::unique_ptr<Connection> connection;
};

} // namespace

TEST_F(ImportWindowTest, TheMappingGridsAreBuiltFromTheContactColumns)
{
    auto window = open();
    auto *grid1 = control<QdGrid>(window.get(), "Grid1");
    auto *grid2 = control<QdGrid>(window.get(), "Grid2");
    auto *grid4 = control<QdGrid>(window.get(), "Grid4");
    for (QdGrid *grid : {grid1, grid2, grid4, control<QdGrid>(window.get(), "Grid3"),
                         control<QdGrid>(window.get(), "GridIpod")})
        new QAbstractItemModelTester(
            grid->model(), QAbstractItemModelTester::FailureReportingMode::Fatal, grid->model());
    EXPECT_EQ((std::vector<int>{grid1->rows(), grid2->rows(), grid4->rows()}),
              (std::vector<int>{40, 33, 72}));
    // Grid2's row r is Grid4's 39 + r.
    EXPECT_EQ(
        (QStringList{grid1->text(1, 1), grid1->text(1, 2), grid1->text(1, 3), grid1->text(4, 2),
                     grid2->text(2, 2), grid4->text(41, 2), grid1->colHeader(4)}),
        (QStringList{"Main", "NAME", "Name", "TITLE", "ANNIV", "ANNIV", "External Field Name"}));
    for (QdGrid *grid : {grid1, grid2})
        EXPECT_TRUE(grid->isColumnHidden(2) && grid->isColumnHidden(5));
    EXPECT_TRUE(grid4->isColumnHidden(2));
    EXPECT_FALSE(grid4->isColumnHidden(5));
    EXPECT_EQ(grid1->rowSpan(0, 1), 9) << "the nine Main rows share one group cell";
    for (int r = 1; r <= grid4->dataRows(); ++r) {
        ASSERT_TRUE(grid4->isChecked(r, 5)) << r;
        ASSERT_FALSE(grid4->isRowHidden(r - 1)) << "hidden only from the first refresh on";
    }
}

TEST_F(ImportWindowTest, ChoosingAFileGathersItsFieldsIntoTheDropDown)
{
    auto window = open();
    auto *txtflnm = control<QLineEdit>(window.get(), "txtflnm");
    control<QComboBox>(window.get(), "Combo1")->setCurrentText(QStringLiteral("access"));
    QTest::mouseClick(control<QPushButton>(window.get(), "Cmdsel"), Qt::LeftButton);
    ASSERT_EQ(services.messages.texts(), QStringList{"Invalid Database Type "});
    EXPECT_TRUE(services.dialogs.openRequests.empty());

    choose(window.get(), QStringLiteral("Text;"), QString()); // cancelled
    EXPECT_EQ(txtflnm->text(), QString());
    ASSERT_EQ(services.dialogs.openRequests.size(), 1u);
    EXPECT_TRUE(services.dialogs.openRequests[0].filter.contains(QLatin1String("[cC][sS][vV]")));

    choose(window.get(), QStringLiteral("Text;"), people());
    EXPECT_EQ(txtflnm->text(), QStringLiteral("people.csv"));
    EXPECT_EQ(control<QLabel>(window.get(), "lbltable")->text(), QString());
    EXPECT_EQ(items(control<QListWidget>(window.get(), "List2")),
              (QStringList{"Nm", "Tel", "Born"}));
    EXPECT_FALSE(control<QListWidget>(window.get(), "List1")->isVisibleTo(window.get()));

    // The cell editor offers the fields; leaving the cell keeps the choice.
    auto *grid1 = control<QdGrid>(window.get(), "Grid1");
    tab(window.get(), 2);
    const QModelIndex cell = grid1->model()->index(4, kFieldCol);
    grid1->setCurrentIndex(cell);
    grid1->edit(cell);
    auto *editor = control<QComboBox>(grid1, "FieldChoice");
    QStringList offered;
    for (int i = 0; i < editor->count(); ++i)
        offered << editor->itemText(i);
    EXPECT_EQ(offered, (QStringList{"", "Nm", "Tel", "Born"}));
    editor->setCurrentText(QStringLiteral("Tel"));
    grid1->setCurrentIndex(grid1->model()->index(6, kFieldCol));
    EXPECT_EQ(grid1->text(5, kFieldCol), QStringLiteral("Tel"));

    auto *grid4 = control<QdGrid>(window.get(), "Grid4");
    EXPECT_EQ(grid4->text(5, kFieldCol), QStringLiteral("Tel"));
    EXPECT_FALSE(grid4->isRowHidden(4));
    EXPECT_TRUE(grid4->isRowHidden(0)) << "unmapped rows leave the selection";
    setField(grid1, 5, QString());
    EXPECT_TRUE(grid4->isRowHidden(4));
    setField(control<QdGrid>(window.get(), "Grid2"), 2, QStringLiteral("Born"));
    EXPECT_EQ(grid4->text(41, kFieldCol), QStringLiteral("Born"));
    EXPECT_FALSE(grid4->isRowHidden(40));
}

// A file chosen while the fields of an earlier one are still being read wins: the earlier
// read is passed over and the later file's fields are shown.
TEST_F(ImportWindowTest, TheLatestChosenFileIsTheOneWhoseFieldsAreShown)
{
    auto window = open();
    const QString first = people();
    const QString second = places.writeFile(QStringLiteral("data/other.csv"), "Alpha,Beta\n1,2\n");
    std::atomic<bool> release{false};
    JobRunner::setStartHook([&release](JobControl &) {
        while (!release.load())
            std::this_thread::yield();
    });
    control<QComboBox>(window.get(), "Combo1")->setCurrentText(QStringLiteral("Text;"));
    for (const QString &path : {first, second}) {
        services.dialogs.openAnswers.push_back(path);
        QTest::mouseClick(control<QPushButton>(window.get(), "Cmdsel"), Qt::LeftButton);
    }
    EXPECT_TRUE(window->sourceJob()->isRunning()) << "nothing is read on the window's thread";
    EXPECT_TRUE(items(control<QListWidget>(window.get(), "List2")).isEmpty());
    release = true;
    while (window->sourceJob()->isRunning())
        window->sourceJob()->wait();
    JobRunner::setStartHook({});
    EXPECT_EQ(items(control<QListWidget>(window.get(), "List2")), (QStringList{"Alpha", "Beta"}));
    EXPECT_TRUE(services.messages.shown.empty());
}

TEST_F(ImportWindowTest, CardFilesAreOfferedAndFieldsNamedForAColumnAreMappedInAdvance)
{
    auto window = open();
    auto *grid1 = control<QdGrid>(window.get(), "Grid1");
    setField(grid1, 3, QStringLiteral("Mine")); // LAST, chosen by the user before the file
    const QString file = places.writeFile(QStringLiteral("data/export.csv"),
                                          "First Name,Last Name,Mobile Phone\nAnn,Lee,555\n");
    choose(window.get(), QStringLiteral("Text;"), file);
    EXPECT_EQ(grid1->text(2, kFieldCol), QStringLiteral("First Name"));
    EXPECT_EQ(grid1->text(3, kFieldCol), QStringLiteral("Mine"));
    EXPECT_EQ(grid1->text(16, kFieldCol), QStringLiteral("Mobile Phone"));

    const QString cards = places.writeFile(QStringLiteral("data/one.vcf"),
                                           "BEGIN:VCARD\nVERSION:3.0\nFN:Ann Lee\nEND:VCARD\n");
    choose(window.get(), QStringLiteral("vCard"), cards);
    EXPECT_EQ(items(control<QListWidget>(window.get(), "List2")), QStringList{"FN"});
    EXPECT_EQ(grid1->text(1, kFieldCol), QStringLiteral("FN"));
}

TEST_F(ImportWindowTest, AnAccessDatabaseListsItsTablesAndOpensTheFirst)
{
    const QString file = fixturePath(QStringLiteral("mdb/DateTestDatabase.mdb"));
    if (!QFile::exists(file))
        GTEST_SKIP() << "fixture folder absent";
    qputenv("QUENDA_MDB_READER", QUENDA_MDB_READER_PATH);
    auto window = open();
    choose(window.get(), QStringLiteral("Access"), file);
    EXPECT_TRUE(control<QListWidget>(window.get(), "List1")->isVisibleTo(window.get()));
    EXPECT_EQ(items(control<QListWidget>(window.get(), "List1")), QStringList{"DateTest"});
    EXPECT_EQ(control<QLabel>(window.get(), "lbltable")->text(),
              QStringLiteral(" Table : DateTest"));
    EXPECT_EQ(items(control<QListWidget>(window.get(), "List2")).size(), 6);

    tab(window.get(), 5);
    QTest::mouseClick(control<QRadioButton>(window.get(), "Option1"), Qt::LeftButton);
    window->previewJob()->wait();
    auto *grid3 = control<QdGrid>(window.get(), "Grid3");
    EXPECT_EQ(grid3->dataRows(), 6) << "the chosen table's records";

    // A database that cannot be read after a good one leaves nothing of the good one in sight.
    tab(window.get(), 1);
    const QString damaged =
        places.writeFile(QStringLiteral("data/damaged.mdb"), QByteArray(4096, 'x'));
    choose(window.get(), QStringLiteral("Access"), damaged);
    EXPECT_EQ(control<QLabel>(window.get(), "lbltable")->text(), QStringLiteral(" Table : "));
    EXPECT_TRUE(items(control<QListWidget>(window.get(), "List1")).isEmpty() &&
                items(control<QListWidget>(window.get(), "List2")).isEmpty());
    ASSERT_FALSE(services.messages.texts().isEmpty());
    EXPECT_TRUE(services.messages.texts().last().contains(QLatin1String("damaged.mdb")))
        << services.messages.texts().last().toStdString();
}

// The preview stops at its limit and says so; the import still reads every record, and says
// which ones it skipped for holding nothing.
TEST_F(ImportWindowTest, ALongSourceIsPreviewedInPartAndImportedWhole)
{
    const qint64 records = FrmCntIpod::kMaxPreviewRows + 25;
    QByteArray bytes = "Nm,Tel\n";
    bytes.reserve(records * 16);
    for (qint64 i = 1; i < records; ++i)
        bytes += "P" + QByteArray::number(i) + ',' + QByteArray::number(i) + '\n';
    bytes += " , \n";
    auto window = open();
    choose(window.get(), QStringLiteral("Text;"),
           places.writeFile(QStringLiteral("data/long.csv"), bytes));
    setField(control<QdGrid>(window.get(), "Grid1"), 1, QStringLiteral("Nm"));
    tab(window.get(), 5);
    auto *extent = control<QLabel>(window.get(), "LblPreviewRows");
    EXPECT_TRUE(extent->text().isEmpty()) << "the contacts are all shown";
    QTest::mouseClick(control<QRadioButton>(window.get(), "Option1"), Qt::LeftButton);
    window->previewJob()->wait();
    EXPECT_EQ(control<QdGrid>(window.get(), "Grid3")->dataRows(), FrmCntIpod::kMaxPreviewRows);
    EXPECT_EQ(extent->text(), QStringLiteral("showing the first 200,000 of 200,025 rows"));
    EXPECT_TRUE(extent->isVisible());

    QTest::mouseClick(control<QPushButton>(window.get(), "CmdImport"), Qt::LeftButton);
    finishImport(window.get());
    EXPECT_EQ(services.messages.texts(),
              (QStringList{" Imported  ",
                           "1 record was skipped: every field of it was empty or blank."}));
    EXPECT_EQ(contactCount(connection->db()), records - 1);

    QTest::mouseClick(control<QRadioButton>(window.get(), "Option3"), Qt::LeftButton);
    EXPECT_TRUE(extent->text().isEmpty());
}

TEST_F(ImportWindowTest, SchemesAreSavedFromGrid1AndRecalledInAnotherWindow)
{
    {
        auto window = open();
        auto *grid1 = control<QdGrid>(window.get(), "Grid1");
        setField(grid1, 1, QStringLiteral("Nm"));
        setField(grid1, 4, QStringLiteral("O'Title"));
        control<QComboBox>(window.get(), "cboScheme1")->setCurrentText(QStringLiteral("Mum's"));
        QTest::mouseClick(control<QPushButton>(window.get(), "SSCommand2"), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>(window.get(), "SSCommand2"), Qt::LeftButton);
        EXPECT_EQ(services.messages.texts(),
                  (QStringList{"Scheme saved successfully", "Scheme saved successfully"}));
        auto *recall = control<QComboBox>(window.get(), "cboScheme");
        EXPECT_EQ(recall->count(), 1) << "listed once";
        EXPECT_EQ(recall->currentText(), QString()) << "keeps what it showed";
    }

    auto window = open();
    auto *recall = control<QComboBox>(window.get(), "cboScheme");
    ASSERT_EQ(recall->count(), 1);
    recall->setFocus();
    QTest::keyClick(recall, Qt::Key_Down);
    EXPECT_EQ(control<QdGrid>(window.get(), "Grid1")->text(1, kFieldCol), QStringLiteral("Nm"));
    EXPECT_EQ(control<QdGrid>(window.get(), "Grid4")->text(4, kFieldCol), QStringLiteral("O'Title"))
        << "the selection follows a recalled scheme";
}

TEST_F(ImportWindowTest, StepButtonsAndTabsShowWhatEachStepNeeds)
{
    auto window = open();
    auto *back = control<QPushButton>(window.get(), "CmdBck");
    auto *next = control<QPushButton>(window.get(), "cmdNext");
    auto *import = control<QPushButton>(window.get(), "CmdImport");
    auto *frame = control<QFrame>(window.get(), "Frame2");
    // Back enabled, Next enabled, Import shown, Import enabled, the mapping frame shown.
    const auto states = [&] {
        return std::vector<bool>{back->isEnabled(), next->isEnabled(), import->isVisible(),
                                 import->isEnabled(), frame->isVisible()};
    };
    EXPECT_EQ(states(), (std::vector<bool>{false, true, false, false, false}));
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(control<QTabWidget>(window.get(), "SSActiveTabs1")->currentIndex(), 1);
    EXPECT_EQ(states(), (std::vector<bool>{true, true, false, true, true}));
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(states(), (std::vector<bool>{true, false, true, true, false}));
    EXPECT_TRUE(control<QRadioButton>(window.get(), "Option3")->isChecked());
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_FALSE(import->isVisible());

    const QString help = *tooltipText(connection->db(), QStringLiteral("LS0017"));
    auto *helps = control<QPushButton>(window.get(), "CmdHelps");
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(helps, &enter);
    EXPECT_FALSE(help.isEmpty());
    EXPECT_EQ(helps->toolTip(), help);

    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ImportWindowTest, ThePreviewAndTheImportRunThroughAllSteps)
{
    {
        QSqlQuery q(connection->db());
        q.exec(QStringLiteral("insert into cnt_main (TITLE, NAME) values ('Dr', 'Existing')"));
    }
    auto window = open();
    auto *import = control<QPushButton>(window.get(), "CmdImport");
    tab(window.get(), 5);
    QTest::mouseClick(import, Qt::LeftButton);
    EXPECT_EQ(services.messages.texts(), QStringList{"Fields Not Selected"});
    auto *grid3 = control<QdGrid>(window.get(), "Grid3");
    EXPECT_TRUE(control<QRadioButton>(window.get(), "Option1")->isChecked());

    setField(control<QdGrid>(window.get(), "Grid1"), 1, QStringLiteral("Nm"));
    QTest::mouseClick(import, Qt::LeftButton);
    EXPECT_EQ(services.messages.texts().last(), QStringLiteral("Item Not Selected"));

    tab(window.get(), 1);
    choose(window.get(), QStringLiteral("Text;"), people());
    setField(control<QdGrid>(window.get(), "Grid1"), 11, QStringLiteral("Born")); // M_BD
    setField(control<QdGrid>(window.get(), "Grid2"), 4, QStringLiteral("Tel"));   // SP_MOBILE
    setField(control<QdGrid>(window.get(), "Grid2"), 2, QStringLiteral("Born"));  // ANNIV
    auto *grid4 = control<QdGrid>(window.get(), "Grid4");
    grid4->setChecked(41, 5, false); // mapped but left out

    tab(window.get(), 5);
    EXPECT_TRUE(control<QRadioButton>(window.get(), "Option3")->isChecked());
    EXPECT_EQ((QStringList{grid3->colHeader(1), grid3->colHeader(2), grid3->text(1, 1)}),
              (QStringList{"Title", "First Name", "Dr"}));
    EXPECT_EQ(grid3->dataRows(), 1);

    services.messages.shown.clear();
    QTest::mouseClick(import, Qt::LeftButton);
    EXPECT_TRUE(control<QRadioButton>(window.get(), "Option1")->isChecked())
        << "the preview turns to the new records first";
    finishImport(window.get());
    window->previewJob()->wait();
    ASSERT_EQ(services.messages.texts(), QStringList{" Imported  "});
    EXPECT_EQ(services.messages.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(grid3->isColumnHidden(0));
    EXPECT_EQ(grid3->colHeader(1), QStringLiteral("Nm"));
    EXPECT_EQ(grid3->dataRows(), 2);

    // Grid2's mappings arrive; the unticked row is not written.
    QSqlDatabase &db = connection->db();
    EXPECT_EQ(columnValues(db, QStringLiteral("SP_MOBILE")),
              (QStringList{"<null>", "555 1", "555 2"}));
    EXPECT_EQ(columnValues(db, QStringLiteral("ANNIV")),
              (QStringList{"<null>", "<null>", "<null>"}));

    // A mapping made for another file names the missing field and imports nothing.
    setField(control<QdGrid>(window.get(), "Grid1"), 2, QStringLiteral("Vorname"));
    QTest::mouseClick(import, Qt::LeftButton);
    finishImport(window.get());
    EXPECT_TRUE(services.messages.texts().last().contains(QLatin1String("\"Vorname\"")));
    EXPECT_EQ(contactCount(db), 3);
}

TEST_F(ImportWindowTest, StoredContactsAreNamedFirstAndLeftOutOnNo)
{
    {
        QSqlQuery q(connection->db());
        q.exec(QStringLiteral("insert into cnt_main (NAME, H_PH1) values ('o''brien', '5551')"));
    }
    auto window = open();
    auto *import = control<QPushButton>(window.get(), "CmdImport");
    choose(window.get(), QStringLiteral("Text;"), people());
    setField(control<QdGrid>(window.get(), "Grid1"), 1, QStringLiteral("Nm"));
    setField(control<QdGrid>(window.get(), "Grid1"), 24, QStringLiteral("Tel")); // H_PH1
    tab(window.get(), 5);

    services.messages.shown.clear();
    services.messages.answers = {MsgAnswer::No};
    QTest::mouseClick(import, Qt::LeftButton);
    finishImport(window.get());
    window->previewJob()->wait();
    ASSERT_GE(services.messages.shown.size(), 2u);
    EXPECT_EQ(services.messages.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(services.messages.shown[0].text.startsWith(
        QLatin1String("1 record is a stored contact already")));
    EXPECT_TRUE(services.messages.shown[0].text.contains(QLatin1String(": O'Brien\n")));
    EXPECT_EQ(services.messages.texts().at(1), QStringLiteral(" Imported  "));
    EXPECT_TRUE(services.messages.texts().last().endsWith(QLatin1String("skipped.")));
    EXPECT_EQ(columnValues(connection->db(), QStringLiteral("NAME")),
              (QStringList{"o'brien", "Zoë"}));

    // Zoë is stored now too: both records are asked about, and Yes imports them.
    services.messages.shown.clear();
    services.messages.answers = {MsgAnswer::Yes};
    QTest::mouseClick(import, Qt::LeftButton);
    finishImport(window.get());
    EXPECT_EQ(services.messages.texts().size(), 3);
    EXPECT_TRUE(services.messages.shown[0].text.contains(QLatin1String("2 records")));
    EXPECT_EQ(contactCount(connection->db()), 4);
}
