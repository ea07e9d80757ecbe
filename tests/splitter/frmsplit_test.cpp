#include "splitter/frmsplit.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "jobs/job_widgets.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

struct Window {
    TempPlaces places{false};
    TestServices doubles;
    frmsplit w{doubles.services(places.places())};
    QLineEdit *Text1 = control<QLineEdit>(&w, "Text1");
    QLineEdit *Text2 = control<QLineEdit>(&w, "Text2");
    QLabel *Label2 = control<QLabel>(&w, "Label2");
    QPushButton *cmdSplit = control<QPushButton>(&w, "cmdSplit");

    QRadioButton *option(int index)
    {
        for (QRadioButton *b : w.findChildren<QRadioButton *>("Option1"))
            if (b->property("index").toInt() == index)
                return b;
        throw std::runtime_error("no such option");
    }
    void showActive()
    {
        w.show();
        QApplication::setActiveWindow(&w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    std::vector<ShownMessage> split()
    {
        doubles.messages.shown.clear();
        QTest::mouseClick(cmdSplit, Qt::LeftButton);
        w.job()->wait();
        return doubles.messages.shown;
    }
};

QByteArray lines(int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "note line " + QByteArray::number(i) + "\r\n";
    return text;
}

} // namespace

TEST(frmsplit, OptionsRenameTheSizeLabelAndTheSizeBoxTakesOnlyDigitsAndDots)
{
    Window t;
    t.showActive();
    t.option(1)->click();
    EXPECT_EQ(t.Label2->text(), "Size in KB");
    EXPECT_TRUE(t.Text2->hasFocus());
    t.option(2)->click();
    EXPECT_EQ(t.Label2->text(), "Size in MB");

    QTest::keyClicks(t.Text2, "1a2.b5-+ e");
    EXPECT_EQ(t.Text2->text(), "12.5");
    // Editing keys pass the filter: Backspace, then Delete before the last digit left.
    QTest::keyClick(t.Text2, Qt::Key_Backspace);
    QTest::keyClick(t.Text2, Qt::Key_Left);
    QTest::keyClick(t.Text2, Qt::Key_Delete);
    EXPECT_EQ(t.Text2->text(), "12");
}

TEST(frmsplit, BrowseStartsInTheProgramFolderAndKeepsOnlyAnExistingFile)
{
    Window t;
    const QString file = t.places.writeFile("Desktop/long.txt", lines(3));
    t.doubles.dialogs.openAnswers = {file, t.places.root() + "/gone.txt", QString()};
    QTest::mouseClick(control<QPushButton>(&t.w, "cmdBrowse"), Qt::LeftButton);
    ASSERT_EQ(t.doubles.dialogs.openRequests.size(), 1u);
    EXPECT_EQ(t.doubles.dialogs.openRequests[0].initialDir, t.places.programDir());
    EXPECT_EQ(t.Text1->text(), QFileInfo(file).absoluteFilePath());
    for (int gone = 0; gone < 2; ++gone) { // a missing file, then a cancelled dialog
        t.Text1->setText(file);
        QTest::mouseClick(control<QPushButton>(&t.w, "cmdBrowse"), Qt::LeftButton);
        EXPECT_TRUE(t.Text1->text().isEmpty());
    }
}

TEST(frmsplit, EachCheckShowsItsMessageAndWritesNothing)
{
    Window t;
    t.showActive();
    const QString bare = t.places.writeFile("Desktop/notes", lines(10));
    const QString small = t.places.writeFile("Desktop/small.txt", lines(10));
    auto texts = [](const std::vector<ShownMessage> &shown) {
        QStringList out;
        for (const ShownMessage &m : shown)
            out << m.text + " #" + QString::number(int(m.icon));
        return out;
    };
    const QString critical = " #" + QString::number(int(MsgIcon::Critical));
    const QString plain = " #" + QString::number(int(MsgIcon::None));

    t.Text2->setText("5");
    EXPECT_EQ(texts(t.split()), QStringList{"Please specify the file to be splitted." + plain});

    t.Text1->setText(small);
    t.Text2->clear();
    const char *invalid[] = {"Invalid Number of Lines value!", "Invalid KB value!",
                             "Invalid MB value!"};
    for (int i = 0; i < 3; ++i) {
        t.option(i)->click();
        t.cmdSplit->setFocus();
        EXPECT_EQ(texts(t.split()), QStringList{QLatin1String(invalid[i]) + critical});
        EXPECT_TRUE(t.Text2->hasFocus());
    }

    // A size of nothing in KB or MB would make a piece of every line.
    for (int i = 1; i < 3; ++i)
        for (const char *zero : {"0", ".", "0.0"}) {
            t.option(i)->click();
            t.Text2->setText(QLatin1String(zero));
            EXPECT_EQ(texts(t.split()), QStringList{QLatin1String(invalid[i]) + critical});
        }

    t.option(1)->click();
    t.Text2->setText("2000");
    EXPECT_EQ(texts(t.split()), QStringList{"Maximum KB = 1024" + plain});
    EXPECT_EQ(t.Text2->text(), "1024");

    t.option(0)->click();
    t.Text1->setText(bare);
    EXPECT_EQ(texts(t.split()), (QStringList{"file extension is required!!!" + plain,
                                             "Process failed..." + critical}));
    EXPECT_EQ(QDir(t.places.desktopDir()).entryList(QDir::Files),
              (QStringList{"notes", "small.txt"}));
}

TEST(frmsplit, ASplitReportsItsPiecesAndAnErrorStopsIt)
{
    Window t;
    t.showActive();
    const QString path = t.places.writeFile("Desktop/long.txt", lines(10));
    t.Text1->setText(path);
    // The result quotes the size as typed, while the split used its leading number.
    t.Text2->setText("5.0");
    t.cmdSplit->setFocus();
    const std::vector<ShownMessage> shown = t.split();
    EXPECT_EQ(QApplication::focusWidget(), t.cmdSplit) << "the focus is back, not on Exit";
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(shown[0].text, "The file " + path +
                                 " has been splitted into 3 files each containing  5.0 Lines\r"
                                 "The last file may contain less then 5.0 Lines");

    // The third piece's name is taken by a folder now.
    QFile::remove(t.places.desktopDir() + "/long3.txt");
    QDir(t.places.desktopDir()).mkdir("long3.txt");
    const std::vector<ShownMessage> failed = t.split();
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[0].text,
              "Error: 75 - Path/File access error: " + t.places.desktopDir() + "/long3.txt");
    EXPECT_EQ(failed[0].icon, MsgIcon::None);
    EXPECT_EQ(failed[1].text, "Process failed...");
    EXPECT_TRUE(t.cmdSplit->isEnabled());
}

TEST(frmsplit, TheLightBlinksWhileASplitRunsAndClosingAsksFirst)
{
    Window t;
    t.showActive();
    const QString path = t.places.writeFile("Desktop/big.txt", lines(2000));
    t.Text1->setText(path);
    t.Text2->setText("1000");
    // The split waits at its start until the test lets it go on.
    std::atomic<bool> held{false}, release{false};
    JobRunner::setStartHook([&](JobControl &) {
        held = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    t.doubles.messages.shown.clear();
    QTest::mouseClick(t.cmdSplit, Qt::LeftButton);
    JobRunner::setStartHook({});
    while (!held)
        QTest::qWait(1);
    auto *timer = control<QTimer>(&t.w, "Timer1");
    EXPECT_TRUE(timer->isActive());
    QTest::qWait(450);
    EXPECT_FALSE(t.w.lightTag().isEmpty()) << "the light blinks while the window waits";
    EXPECT_FALSE(t.cmdSplit->isEnabled());

    t.doubles.messages.answers = {MsgAnswer::No};
    QTest::mouseClick(control<QPushButton>(&t.w, "cmdExit"), Qt::LeftButton);
    EXPECT_TRUE(t.w.isVisible());
    EXPECT_EQ(t.doubles.messages.texts(), QStringList{stopRunningActionQuestion()});

    release = true;
    t.w.job()->wait();
    ASSERT_EQ(t.doubles.messages.shown.size(), 2u);
    EXPECT_EQ(t.doubles.messages.shown[1].icon, MsgIcon::Information);
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(control<QLabel>(&t.w, "PanelText")->text().isEmpty());
    EXPECT_TRUE(control<QLabel>(&t.w, "PanelPicture")->pixmap().isNull());
    EXPECT_TRUE(t.cmdSplit->isEnabled());

    QTest::mouseClick(control<QLabel>(&t.w, "Image4"), Qt::LeftButton);
    EXPECT_FALSE(t.w.isVisible());
}
