#include "common/QdGrid.h"
#include "contact_rows.h"
#include "contacts/export/FrmVCF.h"
#include "db/setup.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QFrame>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

using namespace quenda;
using namespace quenda::test;

namespace {

constexpr int kNameCol = 4;

struct Person {
    QString name, category, sub, priority;
};

class FrmVCFTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection = places.connect();
        ASSERT_TRUE(QDir().mkpath(places.stagingDir()));
        for (const char *cat : {"Work", "Kid's"})
            for (const char *sub : {"X", "Y"})
                for (const char *pri : {"1", "2"}) {
                    const Person p{QStringLiteral("%1 %2 %3").arg(cat, sub, pri),
                                   QString::fromUtf8(cat), QString::fromLatin1(sub),
                                   QString::fromLatin1(pri)};
                    people.push_back(p);
                    addContact(connection->db(), {{"NAME", p.name},
                                                  {"CATEGORY1", p.category},
                                                  {"CATEGORY2", p.sub},
                                                  {"priority", p.priority}});
                }
        people.push_back({QStringLiteral("Loose"), {}, {}, {}});
        addNamed(connection->db(), QStringLiteral("Loose"));
        window = std::make_unique<FrmVCF>(services.services(places.places()));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <class T> T *ctl(const char *name) { return control<T>(window.get(), name); }
    QdGrid *grid() { return ctl<QdGrid>("Grid1"); }
    void exportNow(QObject *trigger)
    {
        if (auto *button = qobject_cast<QPushButton *>(trigger))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            qobject_cast<QAction *>(trigger)->trigger();
        window->job()->wait();
    }

    std::set<QString> shownNames(bool markedOnly = false)
    {
        std::set<QString> out;
        for (int row = 1; row <= grid()->dataRows(); ++row)
            if (!markedOnly || grid()->isRowMarked(row))
                out.insert(grid()->text(row, kNameCol));
        return out;
    }
    std::set<QString> markedNames() { return shownNames(true); }
    int rowOf(const QString &name)
    {
        for (int row = 1; row <= grid()->dataRows(); ++row)
            if (grid()->text(row, kNameCol) == name)
                return row;
        return 0;
    }
    static void choose(QComboBox *box, const QString &text)
    {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index);
    }
    QPoint rowPoint(int row)
    {
        return grid()->visualRect(grid()->model()->index(row - 1, kNameCol)).center();
    }
    void ctrlClick(int row)
    {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(row));
    }
    void doubleClick(int row)
    {
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier, rowPoint(row));
    }

    TempPlaces places;
    TestServices services;
    std::unique_ptr<Connection> connection;
    std::vector<Person> people;
    std::unique_ptr<FrmVCF> window;
};

} // namespace

TEST_F(FrmVCFTest, OpensWithEveryContactAndEveryFilterListsExactlyTheMatchingOnes)
{
    EXPECT_EQ(grid()->dataRows(), 9);
    EXPECT_EQ(grid()->colHeader(1), QStringLiteral("id"));
    EXPECT_FALSE(grid()->isColumnHidden(1));
    EXPECT_EQ(ctl<QComboBox>("CmbCat")->count(), 3);
    for (QComboBox *box :
         {ctl<QComboBox>("CmbCat"), ctl<QComboBox>("CmbSub"), ctl<QComboBox>("CmbPriority")})
        EXPECT_EQ(box->currentText(), QStringLiteral("All"));

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(ctl<QPushButton>("CmdHelps"), &enter);
    EXPECT_EQ(ctl<QPushButton>("CmdHelps")->toolTip(),
              *tooltipText(connection->db(), QStringLiteral("LS0027")));

    // Every filter shape lists exactly the matching contacts.
    const QString all = QStringLiteral("All");
    for (const QString &cat : {all, QStringLiteral("Kid's")})
        for (const QString &sub : {all, QStringLiteral("Y")})
            for (const QString &pri : {all, QStringLiteral("2")}) {
                // Typed texts filter only once a list entry is chosen.
                ctl<QComboBox>("CmbCat")->setEditText(cat);
                ctl<QComboBox>("CmbSub")->setEditText(sub);
                const int before = grid()->dataRows();
                ctl<QComboBox>("CmbPriority")->setEditText(pri);
                EXPECT_EQ(grid()->dataRows(), before);
                choose(ctl<QComboBox>("CmbPriority"), pri);
                std::set<QString> expected;
                for (const Person &p : people)
                    if ((cat == all || p.category == cat) && (sub == all || p.sub == sub) &&
                        (pri == all || p.priority == pri))
                        expected.insert(p.name);
                EXPECT_EQ(shownNames(), expected)
                    << cat.toStdString() << '/' << sub.toStdString() << '/' << pri.toStdString();
                EXPECT_TRUE(services.messages.shown.empty());
            }
    EXPECT_TRUE(grid()->isColumnHidden(1)) << "the id is not shown once the layout applies";

    // A chosen category refills the sub-categories; "All" is looked up as a category name, and
    // nothing but the entry "All" comes back.
    choose(ctl<QComboBox>("CmbCat"), QStringLiteral("Work"));
    EXPECT_EQ(ctl<QComboBox>("CmbSub")->count(), 3);
    choose(ctl<QComboBox>("CmbCat"), QStringLiteral("All"));
    EXPECT_EQ(ctl<QComboBox>("CmbSub")->count(), 1);
}

TEST_F(FrmVCFTest, MarksFollowMouseKeysAndSelectAll)
{
    // Filters, marks and the marked-only view all go through the contact model.
    QAbstractItemModelTester tester(grid()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    choose(ctl<QComboBox>("CmbPriority"), QStringLiteral("All"));
    doubleClick(rowOf(QStringLiteral("Loose")));
    ctrlClick(rowOf(QStringLiteral("Work X 1")));
    ctrlClick(rowOf(QStringLiteral("Work X 2")));
    ctrlClick(rowOf(QStringLiteral("Work X 2")));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      rowPoint(rowOf(QStringLiteral("Work Y 1"))));
    EXPECT_EQ(markedNames(), (std::set<QString>{"Loose", "Work X 1"}));

    // A filter reloads the rows and drops every mark.
    choose(ctl<QComboBox>("CmbPriority"), QStringLiteral("1"));
    EXPECT_TRUE(markedNames().empty());

    QTest::keyClick(grid(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(markedNames().size(), 4u);
    QTest::keyClick(grid(), Qt::Key_F5);
    EXPECT_EQ(grid()->dataRows(), 9);
    EXPECT_TRUE(markedNames().empty());
    QTest::keyClick(ctl<QComboBox>("CmbCat"), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(markedNames().size(), 9u);

    ctl<QCheckBox>("ChkSelect")->setChecked(true);
    ctl<QCheckBox>("ChkSelect")->setChecked(false);
    EXPECT_TRUE(markedNames().empty());
    ctl<QMenu>("Menu")->findChild<QAction *>(QStringLiteral("SelectAll"))->trigger();
    EXPECT_TRUE(ctl<QCheckBox>("ChkSelect")->isChecked());
    EXPECT_EQ(markedNames().size(), 9u);
}

TEST_F(FrmVCFTest, ViewSelectedShowsOnlyMarkedRowsOrRefusesWithoutMarks)
{
    ctl<QTabBar>("Tab1")->setCurrentIndex(1);
    EXPECT_EQ(services.messages.texts(), QStringList{"Record not selected"});
    EXPECT_EQ(ctl<QTabBar>("Tab1")->currentIndex(), 0);

    choose(ctl<QComboBox>("CmbCat"), QStringLiteral("Kid's"));
    doubleClick(rowOf(QStringLiteral("Kid's X 1")));
    doubleClick(rowOf(QStringLiteral("Kid's Y 2")));
    ctl<QTabBar>("Tab1")->setCurrentIndex(1);
    EXPECT_EQ(shownNames(), (std::set<QString>{"Kid's X 1", "Kid's Y 2"}));
    EXPECT_TRUE(ctl<QFrame>("PnlFilter")->isHidden() && ctl<QPushButton>("CmdFilter")->isHidden() &&
                ctl<QCheckBox>("ChkSelect")->isHidden());

    ctl<QTabBar>("Tab1")->setCurrentIndex(0);
    EXPECT_EQ(grid()->dataRows(), 9);
    EXPECT_FALSE(ctl<QPushButton>("CmdFilter")->isHidden() ||
                 ctl<QCheckBox>("ChkSelect")->isHidden());
}

// Nothing marked is still told as saved; a card that cannot be written gets a second message.
TEST_F(FrmVCFTest, ExportWritesMarkedRowsOnlyAndFailedCardsGetASecondMessage)
{
    exportNow(ctl<QPushButton>("CmdSave"));
    EXPECT_TRUE(filesIn(places.stagingDir()).isEmpty());
    EXPECT_EQ(services.messages.texts(), QStringList{"VCF File Saved to Desktop\\Ipod"});

    const qint64 id = addNamed(connection->db(), QStringLiteral("up/down"));
    QTest::keyClick(grid(), Qt::Key_F5);
    const int row = rowOf(QStringLiteral("up/down"));
    ASSERT_EQ(grid()->text(row, 1), QString::number(id));
    ctrlClick(row);
    ctrlClick(rowOf(QStringLiteral("Loose")));
    services.messages.shown.clear();
    exportNow(ctl<QMenu>("Menu")->findChild<QAction *>(QStringLiteral("SaveasVCF")));
    EXPECT_EQ(filesIn(places.stagingDir()), QStringList{"Loose.vcf"});
    ASSERT_EQ(services.messages.shown.size(), 2u);
    EXPECT_EQ(services.messages.shown[0].text, QStringLiteral("VCF File Saved to Desktop\\Ipod"));
    EXPECT_EQ(services.messages.shown[1].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(services.messages.shown[1].text.contains(QStringLiteral("\"up/down\"")));
}
