#include "common/QdGrid.h"
#include "support/test_places.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

TEST(Grid, FormatStringSetsHeadersAndBlanksSetWidths)
{
    QdGrid grid;
    grid.setFormatString(QStringLiteral("|Name      |Name|>Size"));
    ASSERT_EQ(grid.cols(), 4);
    EXPECT_EQ(grid.text(0, 1), QStringLiteral("Name"));
    EXPECT_EQ(grid.text(0, 3), QStringLiteral("Size"));
    EXPECT_GT(grid.columnWidth(1), grid.columnWidth(2));
    grid.setColWidthTwips(2, 0);
    EXPECT_TRUE(grid.isColumnHidden(2));
    grid.setColWidthTwips(2, 1500);
    EXPECT_EQ(grid.columnWidth(2), 100);
}

TEST(Grid, RowsCountFromOneAndColumnsAnswerToKeys)
{
    QdGrid grid;
    grid.setFormatString(QStringLiteral("File|Path|Size|date"));
    grid.setColKey(0, QStringLiteral("App"));
    grid.setColKey(1, QStringLiteral("Path"));
    EXPECT_EQ(grid.rows(), 1);
    const int row = grid.addRow();
    EXPECT_EQ(row, 1);
    grid.setText(row, QStringLiteral("Path"), QStringLiteral("/x/a.rtf"));
    grid.setText(row, QStringLiteral("Nope"), QStringLiteral("ignored"));
    EXPECT_EQ(grid.text(1, 1), QStringLiteral("/x/a.rtf"));
    EXPECT_EQ(grid.text(1, QStringLiteral("App")), QString());
    EXPECT_EQ(grid.colIndex(QStringLiteral("Nope")), -1);
    grid.addRow({QStringLiteral("b")});
    grid.removeRow(1);
    EXPECT_EQ(grid.dataRows(), 1);
    EXPECT_EQ(grid.text(1, 0), QStringLiteral("b"));
    EXPECT_EQ(grid.text(7, 0), QString());
    grid.clearRows();
    EXPECT_EQ(grid.rows(), 1);
}

TEST(Grid, MarksAreRowColoursAndSurviveSelection)
{
    QdGrid grid;
    grid.setRowsData({{"1", "a"}, {"2", "b"}, {"3", "c"}});
    EXPECT_FALSE(grid.isRowMarked(1));
    EXPECT_FALSE(grid.rowBackColor(1).isValid());
    grid.toggleRowMark(2);
    EXPECT_TRUE(grid.isRowMarked(2));
    EXPECT_EQ(grid.rowBackColor(2), QColor(47, 103, 159));
    EXPECT_EQ(grid.model()->index(1, 1).data(Qt::ForegroundRole).value<QColor>(),
              QColor(Qt::white));
    grid.toggleRowMark(2);
    EXPECT_FALSE(grid.isRowMarked(2));
    EXPECT_EQ(grid.rowBackColor(2), QColor(175, 189, 205));
    grid.setAllRowsMarked(true);
    EXPECT_TRUE(grid.isRowMarked(1) && grid.isRowMarked(3));
    grid.setRowsData({{"4"}});
    EXPECT_FALSE(grid.isRowMarked(1)); // new rows start unmarked
}

TEST(Grid, TickBoxColumnsAndMergedCells)
{
    QdGrid grid;
    grid.setRowsData({{"C:", "a", "true"}, {"C:", "b", "0"}, {"D:", "c", "1"}});
    grid.setCheckColumn(2);
    QSignalSpy toggled(&grid, &QdGrid::checkToggled);
    EXPECT_TRUE(grid.isChecked(1, 2));
    EXPECT_FALSE(grid.isChecked(2, 2));
    grid.setChecked(2, 2, true);
    EXPECT_TRUE(grid.isChecked(2, 2));
    EXPECT_EQ(toggled.count(), 1);
    EXPECT_EQ(grid.model()->index(1, 2).data(Qt::CheckStateRole).toInt(), Qt::Checked);

    grid.setColMerge(0);
    EXPECT_EQ(grid.rowSpan(0, 0), 2);
    EXPECT_EQ(grid.rowSpan(2, 0), 1);
    grid.setText(2, 0, QStringLiteral("E:"));
    EXPECT_EQ(grid.rowSpan(0, 0), 1);
}

TEST(Grid, RowsWithAFixedFirstColumnSignalRowEvents)
{
    QdGrid grid;
    grid.setRowsData({{QString(), "1", "Ann"}, {QString(), "2", "Bob"}});
    ASSERT_EQ(grid.dataRows(), 2);
    EXPECT_EQ(grid.cols(), 3);
    EXPECT_EQ(grid.text(2, 2), QStringLiteral("Bob"));
    EXPECT_EQ(grid.text(1, 0), QString());

    grid.resize(400, 200);
    grid.show();
    QSignalSpy pressed(&grid, &QdGrid::rowPressed);
    QSignalSpy doubled(&grid, &QdGrid::rowDoubleClicked);
    QSignalSpy current(&grid, &QdGrid::currentRowNumberChanged);
    const QPoint second = grid.visualRect(grid.model()->index(1, 1)).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ControlModifier, second);
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed.at(0).at(0).toInt(), 2);
    EXPECT_EQ(pressed.at(0).at(2).value<Qt::KeyboardModifiers>(), Qt::ControlModifier);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, second);
    ASSERT_EQ(doubled.count(), 1);
    EXPECT_EQ(doubled.at(0).at(0).toInt(), 2);
    EXPECT_EQ(grid.currentRowNumber(), 2);
    EXPECT_GE(current.count(), 1);
}
