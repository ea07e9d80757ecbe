#include "common/QdGrid.h"
#include "common/row_table_model.h"
#include "support/test_places.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

struct Person {
    qint64 id = 0;
    QString group;
    QString name;
    bool ticked = false;
};

using PersonModel = RowTableModel<Person>;

std::unique_ptr<PersonModel> personModel()
{
    return std::make_unique<PersonModel>(std::vector<RowColumn<Person>>{
        RowColumn<Person>::blank(), RowColumn<Person>::text("Group", "Group", &Person::group),
        RowColumn<Person>::editable("Name", "Name", &Person::name),
        RowColumn<Person>::tick("Take", "Take", &Person::ticked)});
}

QColor pixelOf(QdGrid &grid, int row, int col)
{
    QApplication::processEvents();
    const QImage shot = grid.viewport()->grab().toImage();
    const QRect cell = grid.visualRect(grid.model()->index(row, col));
    // Inside the cell, clear of its text and of the current cell's focus frame.
    return QColor(shot.pixel(cell.right() - 6, cell.center().y()));
}

// The current row gets the style's faint focus tint over whatever colour it has.
bool near(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) < 20 && std::abs(a.green() - b.green()) < 20 &&
           std::abs(a.blue() - b.blue()) < 20;
}

} // namespace

TEST(Grid, FormatStringSetsHeadersAndWidthsAndKeysNameColumns)
{
    auto model = personModel();
    model->setRows({{1, "Main", "Ann", true}, {2, "Home", "Bob", false}});
    QdGrid grid;
    EXPECT_EQ(grid.cols(), 0) << "a grid without a model is empty, not broken";
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(grid.text(1, 1), QString());
    grid.setFormatString(QStringLiteral("|Name"));
    grid.setCurrentRowNumber(1);
    EXPECT_EQ(grid.currentRowNumber(), 0);

    grid.setModel(model.get());
    grid.setFormatString(QStringLiteral("|Kind      |Who|>Take|Extra"));
    ASSERT_EQ(grid.cols(), 4) << "a format wider than the model adds no columns";
    EXPECT_EQ(grid.text(0, 1), QStringLiteral("Kind"));
    EXPECT_EQ(grid.text(0, 3), QStringLiteral("Take"));
    EXPECT_GT(grid.columnWidth(1), grid.columnWidth(2));
    grid.setColWidthTwips(2, 0);
    EXPECT_TRUE(grid.isColumnHidden(2));
    grid.setColWidthTwips(2, 1500);
    EXPECT_EQ(grid.columnWidth(2), 100);

    grid.setColKey(1, QStringLiteral("Kind"));
    EXPECT_EQ(grid.colIndex(QStringLiteral("Kind")), 1) << "a key the window gives wins";
    EXPECT_EQ(grid.colIndex(QStringLiteral("Name")), 2) << "other keys come from the model";
    EXPECT_EQ(grid.colIndex(QStringLiteral("Nope")), -1);
    EXPECT_EQ(grid.text(2, QStringLiteral("Kind")), QStringLiteral("Home"));
    EXPECT_EQ(grid.text(7, 1), QString());

    grid.setAllRowsMarked(true);
    EXPECT_TRUE(grid.isRowMarked(1) && grid.isRowMarked(2));
    model->setRows({});
    EXPECT_EQ(grid.rows(), 1);
    grid.setModel(nullptr);
    EXPECT_EQ(grid.dataRows(), 0);
}

// A typed model behind the grid: the view reads texts, ticks and marks through roles, the
// format string only renames headers and sets widths, and merging follows the model's texts.
TEST(Grid, ShowsATypedModelInTheOldShape)
{
    auto model = personModel();
    QAbstractItemModelTester tester(model.get(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    model->setRows({{1, "Main", "Ann", true}, {2, "Main", "Bob", false}, {3, "Home", "Cy", true}});
    QdGrid grid;
    grid.setModel(model.get());
    grid.setFormatString(QStringLiteral("   |Kind      |Full Name|Take"));
    grid.setColMerge(1);
    EXPECT_EQ(grid.colHeader(2), QStringLiteral("Full Name"));
    EXPECT_TRUE(grid.isChecked(1, 3));
    EXPECT_EQ(grid.rowSpan(0, 1), 2);

    QSignalSpy toggled(&grid, &QdGrid::checkToggled);
    grid.setChecked(2, 3, true);
    EXPECT_TRUE(model->row(1).ticked);
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_EQ(toggled.at(0).at(0).toInt(), 2);

    model->updateRow(1, [](Person &p) { p.group = "Home"; });
    EXPECT_EQ(grid.rowSpan(0, 1), 1);
    EXPECT_EQ(grid.rowSpan(1, 1), 2) << "spans follow a changed row";

    grid.resize(400, 200);
    grid.show();
    grid.toggleRowMark(1);
    EXPECT_EQ(model->markedRows(), std::vector<int>{0});
    EXPECT_EQ(pixelOf(grid, 0, 2), QdGrid::markedBack());
    grid.setCurrentRowNumber(1); // the selection does not hide the mark
    EXPECT_TRUE(near(pixelOf(grid, 0, 2), QdGrid::markedBack()));
    grid.toggleRowMark(1);
    EXPECT_TRUE(near(pixelOf(grid, 0, 2), QdGrid::unmarkedBack()));
    EXPECT_NE(pixelOf(grid, 2, 2), QdGrid::unmarkedBack());
}

TEST(RowTableModel, MarksEditsAndBulkResetsPassTheModelTester)
{
    auto model = personModel();
    QAbstractItemModelTester tester(model.get(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    std::vector<Person> many(100000);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = {static_cast<qint64>(i), "G", QString::number(i), false};
    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    model->setRows(std::move(many));
    EXPECT_EQ(resets.count(), 1);

    model->setAllMarked(true);
    model->toggleMark(7);
    EXPECT_EQ(model->markedRows().size(), 99999u);
    EXPECT_EQ(model->mark(7), RowMark::WasMarked);
    model->setRows({{1, "G", "Ann", false}});
    EXPECT_TRUE(model->markedRows().empty()) << "new rows start unmarked";

    // Only editable and tick columns take what is typed or ticked.
    EXPECT_FALSE(model->setData(model->index(0, 1), "X", Qt::EditRole));
    EXPECT_TRUE(model->setData(model->index(0, 2), "Anne", Qt::EditRole));
    EXPECT_FALSE(model->index(0, 2).data(Qt::CheckStateRole).isValid());
    EXPECT_TRUE(model->setData(model->index(0, 3), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(model->row(0).name, QStringLiteral("Anne"));
    EXPECT_TRUE(model->row(0).ticked);
    EXPECT_FALSE(model->index(0, 0).data().isValid()) << "the blank column holds nothing";

    EXPECT_TRUE(model->setHeaderData(2, Qt::Horizontal, QStringLiteral("Who")));
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Who"));
    EXPECT_FALSE(model->setHeaderData(9, Qt::Horizontal, QStringLiteral("Nope")));
    EXPECT_EQ(model->columnOf(QStringLiteral("Take")), 3);
    EXPECT_EQ(model->columnOf(QString()), -1);
}
