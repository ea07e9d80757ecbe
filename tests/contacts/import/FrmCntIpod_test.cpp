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

    // Opens the window (closing one opened before) and keeps it in `window`.
    void open()
    {
        window.reset();
        window = std::make_unique<FrmCntIpod>(services.services(places.places()));
        window->show();
    }
    template <class T> T *ctl(const char *name) { return control<T>(window.get(), name); }
    QdGrid *grid(const char *name) { return ctl<QdGrid>(name); }
    QStringList items(const char *list)
    {
        QStringList out;
        for (int i = 0; i < ctl<QListWidget>(list)->count(); ++i)
            out << ctl<QListWidget>(list)->item(i)->text();
        return out;
    }
    QStringList texts() const { return services.messages.texts(); }
    void click(const char *name) { QTest::mouseClick(ctl<QAbstractButton>(name), Qt::LeftButton); }
    void tab(int number) { ctl<QTabWidget>("SSActiveTabs1")->setCurrentIndex(number - 1); }
    QString people()
    {
        return places.writeFile(QStringLiteral("data/people.csv"),
                                "Nm,Tel,Born\nO'Brien,555 1,1980-05-17\nZoë,555 2,\n");
    }
    void choose(const QString &kind, const QString &path)
    {
        ctl<QComboBox>("Combo1")->setCurrentText(kind);
        services.dialogs.openAnswers.push_back(path);
        click("Cmdsel");
        // The tables and fields are read as a job; a read that ends starts a newer one.
        while (window->sourceJob()->isRunning())
            window->sourceJob()->wait();
    }
    // The import runs as two jobs, the look for duplicates and the import itself.
    void import()
    {
        click("CmdImport");
        while (window->job()->isRunning())
            window->job()->wait();
    }
    static void setField(QdGrid *grid, int row, const QString &field)
    {
        grid->model()->setData(grid->model()->index(row - 1, kFieldCol), field, Qt::EditRole);
    }

    TempPlaces places;
    TestServices services;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<FrmCntIpod> window;
};

} // namespace

TEST_F(ImportWindowTest, TheMappingGridsAreBuiltFromTheContactColumns)
{
    open();
    auto *grid1 = grid("Grid1");
    auto *grid2 = grid("Grid2");
    auto *grid4 = grid("Grid4");
    for (QdGrid *grid : {grid1, grid2, grid4, grid("Grid3"), grid("GridIpod")})
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

TEST_F(ImportWindowTest, ChoosingAFileGathersItsFieldsAndMapsThoseNamedForAColumn)
{
    open();
    auto *txtflnm = ctl<QLineEdit>("txtflnm");
    ctl<QComboBox>("Combo1")->setCurrentText(QStringLiteral("access"));
    click("Cmdsel");
    ASSERT_EQ(texts(), QStringList{"Invalid Database Type "});
    EXPECT_TRUE(services.dialogs.openRequests.empty());

    choose(QStringLiteral("Text;"), QString()); // cancelled
    EXPECT_EQ(txtflnm->text(), QString());
    ASSERT_EQ(services.dialogs.openRequests.size(), 1u);
    EXPECT_TRUE(services.dialogs.openRequests[0].filter.contains(QLatin1String("[cC][sS][vV]")));

    choose(QStringLiteral("Text;"), people());
    EXPECT_EQ(txtflnm->text(), QStringLiteral("people.csv"));
    EXPECT_EQ(items("List2"), (QStringList{"Nm", "Tel", "Born"}));
    EXPECT_FALSE(ctl<QListWidget>("List1")->isVisibleTo(window.get()));

    // The cell editor offers the fields; leaving the cell keeps the choice.
    auto *grid1 = grid("Grid1");
    tab(2);
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

    auto *grid4 = grid("Grid4");
    EXPECT_EQ(grid4->text(5, kFieldCol), QStringLiteral("Tel"));
    EXPECT_FALSE(grid4->isRowHidden(4));
    EXPECT_TRUE(grid4->isRowHidden(0)) << "unmapped rows leave the selection";
    setField(grid1, 5, QString());
    EXPECT_TRUE(grid4->isRowHidden(4));
    setField(grid("Grid2"), 2, QStringLiteral("Born"));
    EXPECT_EQ(grid4->text(41, kFieldCol), QStringLiteral("Born"));
    EXPECT_FALSE(grid4->isRowHidden(40));

    // Fields named for a column are mapped in advance (which rows is MappingModel's test), and
    // card files are offered with their property names as fields.
    choose(QStringLiteral("Text;"),
           places.writeFile(QStringLiteral("data/export.csv"),
                            "First Name,Last Name,Mobile Phone\nAnn,Lee,555\n"));
    EXPECT_EQ(grid1->text(16, kFieldCol), QStringLiteral("Mobile Phone"));
    choose(QStringLiteral("vCard"),
           places.writeFile(QStringLiteral("data/one.vcf"),
                            "BEGIN:VCARD\nVERSION:3.0\nFN:Ann Lee\nEND:VCARD\n"));
    EXPECT_EQ(items("List2"), QStringList{"FN"});
    EXPECT_EQ(grid1->text(1, kFieldCol), QStringLiteral("FN"));
}

// A file chosen while the fields of an earlier one are still being read wins: the earlier
// read is passed over and the later file's fields are shown.
TEST_F(ImportWindowTest, TheLatestChosenFileIsTheOneWhoseFieldsAreShown)
{
    open();
    const QString first = people();
    const QString second = places.writeFile(QStringLiteral("data/other.csv"), "Alpha,Beta\n1,2\n");
    std::atomic<bool> release{false};
    JobRunner::setStartHook([&release](JobControl &) {
        while (!release.load())
            std::this_thread::yield();
    });
    ctl<QComboBox>("Combo1")->setCurrentText(QStringLiteral("Text;"));
    for (const QString &path : {first, second}) {
        services.dialogs.openAnswers.push_back(path);
        click("Cmdsel");
    }
    EXPECT_TRUE(window->sourceJob()->isRunning()) << "nothing is read on the window's thread";
    EXPECT_TRUE(items("List2").isEmpty());
    release = true;
    while (window->sourceJob()->isRunning())
        window->sourceJob()->wait();
    JobRunner::setStartHook({});
    EXPECT_EQ(items("List2"), (QStringList{"Alpha", "Beta"}));
    EXPECT_TRUE(services.messages.shown.empty());
}

TEST_F(ImportWindowTest, AnAccessDatabaseListsItsTablesAndOpensTheFirst)
{
    const QString file = fixturePath(QStringLiteral("mdb/DateTestDatabase.mdb"));
    if (!QFile::exists(file))
        GTEST_SKIP() << "fixture folder absent";
    qputenv("QUENDA_MDB_READER", QUENDA_MDB_READER_PATH);
    open();
    choose(QStringLiteral("Access"), file);
    EXPECT_EQ(items("List1"), QStringList{"DateTest"});
    EXPECT_EQ(ctl<QLabel>("lbltable")->text(), QStringLiteral(" Table : DateTest"));
    EXPECT_EQ(items("List2").size(), 6);

    tab(5);
    click("Option1");
    window->previewJob()->wait();
    auto *grid3 = grid("Grid3");
    EXPECT_EQ(grid3->dataRows(), 6) << "the chosen table's records";

    // A database that cannot be read after a good one leaves nothing of the good one in sight.
    tab(1);
    const QString damaged =
        places.writeFile(QStringLiteral("data/damaged.mdb"), QByteArray(4096, 'x'));
    choose(QStringLiteral("Access"), damaged);
    EXPECT_EQ(ctl<QLabel>("lbltable")->text(), QStringLiteral(" Table : "));
    EXPECT_TRUE(items("List1").isEmpty() && items("List2").isEmpty());
    EXPECT_TRUE(texts().value(0).contains(QLatin1String("damaged.mdb")))
        << texts().join(' ').toStdString();
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
    open();
    choose(QStringLiteral("Text;"), places.writeFile(QStringLiteral("data/long.csv"), bytes));
    setField(grid("Grid1"), 1, QStringLiteral("Nm"));
    tab(5);
    auto *extent = ctl<QLabel>("LblPreviewRows");
    EXPECT_TRUE(extent->text().isEmpty()) << "the contacts are all shown";
    click("Option1");
    window->previewJob()->wait();
    EXPECT_EQ(grid("Grid3")->dataRows(), FrmCntIpod::kMaxPreviewRows);
    EXPECT_EQ(extent->text(), QStringLiteral("showing the first 200,000 of 200,025 rows"));
    EXPECT_TRUE(extent->isVisible());

    import();
    EXPECT_EQ(texts(),
              (QStringList{" Imported  ",
                           "1 record was skipped: every field of it was empty or blank."}));
    EXPECT_EQ(contactCount(connection->db()), records - 1);

    click("Option3");
    EXPECT_TRUE(extent->text().isEmpty());
}

TEST_F(ImportWindowTest, SchemesAreSavedFromGrid1AndRecalledInAnotherWindow)
{
    {
        open();
        auto *grid1 = grid("Grid1");
        setField(grid1, 1, QStringLiteral("Nm"));
        setField(grid1, 4, QStringLiteral("O'Title"));
        ctl<QComboBox>("cboScheme1")->setCurrentText(QStringLiteral("Mum's"));
        click("SSCommand2");
        EXPECT_EQ(texts(), QStringList{"Scheme saved successfully"});
        auto *recall = ctl<QComboBox>("cboScheme");
        EXPECT_EQ((QStringList{QString::number(recall->count()), recall->currentText()}),
                  (QStringList{"1", ""}))
            << "listed once, and it keeps what it showed";
    }

    open();
    auto *recall = ctl<QComboBox>("cboScheme");
    ASSERT_EQ(recall->count(), 1);
    recall->setFocus();
    QTest::keyClick(recall, Qt::Key_Down);
    EXPECT_EQ(grid("Grid1")->text(1, kFieldCol), QStringLiteral("Nm"));
    EXPECT_EQ(grid("Grid4")->text(4, kFieldCol), QStringLiteral("O'Title"))
        << "the selection follows a recalled scheme";
}

TEST_F(ImportWindowTest, StepButtonsAndTabsShowWhatEachStepNeeds)
{
    open();
    auto *back = ctl<QPushButton>("CmdBck");
    auto *next = ctl<QPushButton>("cmdNext");
    auto *import = ctl<QPushButton>("CmdImport");
    auto *frame = ctl<QFrame>("Frame2");
    // Back enabled, Next enabled, Import shown, Import enabled, the mapping frame shown.
    const auto states = [&] {
        return std::vector<bool>{back->isEnabled(), next->isEnabled(), import->isVisible(),
                                 import->isEnabled(), frame->isVisible()};
    };
    EXPECT_EQ(states(), (std::vector<bool>{false, true, false, false, false}));
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(ctl<QTabWidget>("SSActiveTabs1")->currentIndex(), 1);
    EXPECT_EQ(states(), (std::vector<bool>{true, true, false, true, true}));
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(states(), (std::vector<bool>{true, false, true, true, false}));
    EXPECT_TRUE(ctl<QRadioButton>("Option3")->isChecked());
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_FALSE(import->isVisible());

    const QString help = *tooltipText(connection->db(), QStringLiteral("LS0017"));
    auto *helps = ctl<QPushButton>("CmdHelps");
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(helps, &enter);
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
    open();
    tab(5);
    import();
    EXPECT_EQ(texts(), QStringList{"Fields Not Selected"});
    auto *grid3 = grid("Grid3");
    setField(grid("Grid1"), 1, QStringLiteral("Nm"));
    import();
    EXPECT_EQ(texts().last(), QStringLiteral("Item Not Selected"));

    tab(1);
    choose(QStringLiteral("Text;"), people());
    setField(grid("Grid1"), 1, QStringLiteral("Nm"));
    setField(grid("Grid2"), 4, QStringLiteral("Tel"));  // SP_MOBILE
    setField(grid("Grid2"), 2, QStringLiteral("Born")); // ANNIV
    auto *grid4 = grid("Grid4");
    grid4->setChecked(41, 5, false); // mapped but left out

    tab(5);
    EXPECT_TRUE(ctl<QRadioButton>("Option3")->isChecked());
    EXPECT_EQ(
        (QStringList{grid3->colHeader(2), grid3->text(1, 1), QString::number(grid3->dataRows())}),
        (QStringList{"First Name", "Dr", "1"}));

    click("CmdImport");
    EXPECT_TRUE(ctl<QRadioButton>("Option1")->isChecked())
        << "the preview turns to the new records first";
    import();
    window->previewJob()->wait();
    ASSERT_EQ(texts(), (QStringList{"Fields Not Selected", "Item Not Selected", " Imported  "}));
    EXPECT_EQ((QStringList{grid3->colHeader(1), QString::number(grid3->dataRows())}),
              (QStringList{"Nm", "2"}));

    // Grid2's mappings arrive; the unticked row is not written.
    QSqlDatabase &db = connection->db();
    EXPECT_EQ(columnValues(db, QStringLiteral("SP_MOBILE")),
              (QStringList{"<null>", "555 1", "555 2"}));
    EXPECT_EQ(columnValues(db, QStringLiteral("ANNIV")),
              (QStringList{"<null>", "<null>", "<null>"}));
}

TEST_F(ImportWindowTest, StoredContactsAreNamedFirstAndLeftOutOnNo)
{
    {
        QSqlQuery q(connection->db());
        q.exec(QStringLiteral("insert into cnt_main (NAME, H_PH1) values ('o''brien', '5551')"));
    }
    open();
    choose(QStringLiteral("Text;"), people());
    setField(grid("Grid1"), 1, QStringLiteral("Nm"));
    setField(grid("Grid1"), 24, QStringLiteral("Tel")); // H_PH1
    tab(5);

    services.messages.answers = {MsgAnswer::No};
    import();
    window->previewJob()->wait();
    ASSERT_GE(texts().size(), 2);
    EXPECT_EQ(services.messages.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(texts()[0].startsWith(QLatin1String("1 record is a stored contact already")) &&
                texts()[0].contains(QLatin1String(": O'Brien\n")));
    EXPECT_EQ(texts()[1], QStringLiteral(" Imported  "));
    EXPECT_EQ(columnValues(connection->db(), QStringLiteral("NAME")),
              (QStringList{"o'brien", "Zoë"}));
}
