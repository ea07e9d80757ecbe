#include "splitter/frmsplit.h"
#include "support/test_places.h"
#include "support/test_services.h"

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
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

struct Window {
    TempPlaces places{false};
    TestServices doubles;
    frmsplit w{doubles.services(places.places())};

    void showActive()
    {
        w.show();
        QApplication::setActiveWindow(&w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    }
    std::vector<ShownMessage> split()
    {
        doubles.messages.shown.clear();
        QTest::mouseClick(w.cmdSplit, Qt::LeftButton);
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
    t.w.Option1[1]->click();
    EXPECT_EQ(t.w.Label2->text(), QStringLiteral("Size in KB"));
    EXPECT_TRUE(t.w.Text2->hasFocus());
    t.w.Option1[2]->click();
    EXPECT_EQ(t.w.Label2->text(), QStringLiteral("Size in MB"));

    QTest::keyClicks(t.w.Text2, QStringLiteral("1a2.b5-+ e"));
    EXPECT_EQ(t.w.Text2->text(), QStringLiteral("12.5"));
    QTest::keyClick(t.w.Text2, Qt::Key_Backspace);
    QTest::keyClick(t.w.Text2, Qt::Key_Left);
    QTest::keyClick(t.w.Text2, Qt::Key_Delete);
    EXPECT_EQ(t.w.Text2->text(), QStringLiteral("12"));
}

TEST(frmsplit, BrowseStartsInTheProgramFolderAndKeepsOnlyAnExistingFile)
{
    Window t;
    const QString file = t.places.writeFile(QStringLiteral("Desktop/long.txt"), lines(3));
    t.doubles.dialogs.openAnswers = {file, t.places.root() + QStringLiteral("/gone.txt"),
                                     QString()};
    QTest::mouseClick(t.w.cmdBrowse, Qt::LeftButton);
    ASSERT_EQ(t.doubles.dialogs.openRequests.size(), 1u);
    EXPECT_EQ(t.doubles.dialogs.openRequests[0].initialDir, t.places.programDir());
    EXPECT_EQ(t.w.Text1->text(), QFileInfo(file).absoluteFilePath());
    QTest::mouseClick(t.w.cmdBrowse, Qt::LeftButton);
    EXPECT_TRUE(t.w.Text1->text().isEmpty());
    t.w.Text1->setText(file);
    QTest::mouseClick(t.w.cmdBrowse, Qt::LeftButton);
    EXPECT_TRUE(t.w.Text1->text().isEmpty());
}

TEST(frmsplit, EachCheckShowsItsMessageAndWritesNothing)
{
    Window t;
    t.showActive();
    const QString bare = t.places.writeFile(QStringLiteral("Desktop/notes"), lines(10));
    const QString small = t.places.writeFile(QStringLiteral("Desktop/small.txt"), lines(10));
    const QString missing = t.places.root() + QStringLiteral("/none.txt");
    auto texts = [](const std::vector<ShownMessage> &shown) {
        QStringList out;
        for (const ShownMessage &m : shown)
            out << m.text + QStringLiteral(" #") + QString::number(int(m.icon));
        return out;
    };
    const QString critical = QStringLiteral(" #") + QString::number(int(MsgIcon::Critical));
    const QString plain = QStringLiteral(" #") + QString::number(int(MsgIcon::None));

    t.w.Text2->setText(QStringLiteral("5"));
    EXPECT_EQ(texts(t.split()), QStringList{"Please specify the file to be splitted." + plain});

    t.w.Text1->setText(small);
    t.w.Text2->clear();
    const char *invalid[] = {"Invalid Number of Lines value!", "Invalid KB value!",
                             "Invalid MB value!"};
    for (int i = 0; i < 3; ++i) {
        t.w.Option1[i]->click();
        t.w.cmdSplit->setFocus();
        EXPECT_EQ(texts(t.split()), QStringList{QLatin1String(invalid[i]) + critical});
        EXPECT_TRUE(t.w.Text2->hasFocus());
    }

    t.w.Option1[1]->click();
    t.w.Text2->setText(QStringLiteral("2000"));
    EXPECT_EQ(texts(t.split()), QStringList{"Maximum KB = 1024" + plain});
    EXPECT_EQ(t.w.Text2->text(), QStringLiteral("1024"));

    t.w.Text2->setText(QStringLiteral("1"));
    EXPECT_EQ(texts(t.split()),
              (QStringList{"The file you want to split is smaller then then size you specified!!!" +
                               plain,
                           "Process failed..." + critical}));

    t.w.Option1[0]->click();
    t.w.Text1->setText(missing);
    EXPECT_EQ(texts(t.split()), (QStringList{"File: " + missing + " not found!" + critical,
                                             "Process failed..." + critical}));
    t.w.Text1->setText(bare);
    EXPECT_EQ(texts(t.split()), (QStringList{"file extension is required!!!" + plain,
                                             "Process failed..." + critical}));
    EXPECT_EQ(QDir(t.places.desktopDir()).entryList(QDir::Files),
              (QStringList{QStringLiteral("notes"), QStringLiteral("small.txt")}));
}

TEST(frmsplit, ASplitReportsItsPiecesAndAnErrorStopsIt)
{
    Window t;
    const QString path = t.places.writeFile(QStringLiteral("Desktop/long.txt"), lines(10));
    t.w.Text1->setText(path);
    // The result quotes the size as typed, while the split used its leading number.
    t.w.Text2->setText(QStringLiteral("5.0"));
    const std::vector<ShownMessage> shown = t.split();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(shown[0].text, "The file " + path +
                                 " has been splitted into 3 files each containing  5.0 Lines\r"
                                 "The last file may contain less then 5.0 Lines");
    EXPECT_EQ(readAll(t.places.desktopDir() + QStringLiteral("/long2.txt")),
              lines(10).mid(lines(5).size()));

    // The third piece's name is taken by a folder now.
    QFile::remove(t.places.desktopDir() + QStringLiteral("/long3.txt"));
    QDir(t.places.desktopDir()).mkdir(QStringLiteral("long3.txt"));
    const std::vector<ShownMessage> failed = t.split();
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[0].text,
              "Error: 75 - Path/File access error: " + t.places.desktopDir() + "/long3.txt");
    EXPECT_EQ(failed[0].icon, MsgIcon::None);
    EXPECT_EQ(failed[1].text, QStringLiteral("Process failed..."));
    EXPECT_EQ(readAll(t.places.desktopDir() + QStringLiteral("/long1.txt")), lines(5));
    EXPECT_FALSE(t.w.Timer1->isActive());
    EXPECT_TRUE(t.w.PanelText->text().isEmpty());
    EXPECT_TRUE(t.w.PanelPicture->pixmap().isNull());
    EXPECT_TRUE(t.w.cmdSplit->isEnabled());
}

TEST(frmsplit, TheLightBlinksWhileASplitRunsAndTheWindowWillNotCloseUnderIt)
{
    Window t;
    t.showActive();
    // Several read blocks, so the split yields to the window several times.
    QByteArray text;
    while (text.size() < 6 * 1024 * 1024)
        text += QByteArray(120, 'w') + "\r\n";
    const QString path = t.places.writeFile(QStringLiteral("Desktop/big.txt"), text);
    t.w.Text1->setText(path);
    t.w.Text2->setText(QStringLiteral("1000000"));

    QStringList tags, panels;
    bool stayedOpen = true, splitDisabled = true;
    t.w.setSplitStepHook([&] {
        QThread::msleep(90);
        tags << t.w.lightTag();
        panels << t.w.PanelText->text();
        splitDisabled = splitDisabled && !t.w.cmdSplit->isEnabled();
        QTest::mouseClick(t.w.cmdExit, Qt::LeftButton);
        stayedOpen = stayedOpen && t.w.isVisible();
    });
    const std::vector<ShownMessage> shown = t.split();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, MsgIcon::Information);
    EXPECT_TRUE(tags.contains(QStringLiteral("LightOn.bmp"))) << tags.join(u',').toStdString();
    EXPECT_TRUE(tags.contains(QStringLiteral("LightOff.bmp"))) << tags.join(u',').toStdString();
    EXPECT_EQ(panels.last(), "Creating File: " + t.places.desktopDir() + "/big1.txt");
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(splitDisabled);
    EXPECT_FALSE(t.w.Timer1->isActive());
    EXPECT_TRUE(t.w.PanelText->text().isEmpty());
    EXPECT_TRUE(t.w.PanelPicture->pixmap().isNull());

    t.w.setSplitStepHook({});
    QTest::mouseClick(t.w.Image4, Qt::LeftButton);
    EXPECT_FALSE(t.w.isVisible());
    t.showActive();
    QTest::mouseClick(t.w.cmdExit, Qt::LeftButton);
    EXPECT_FALSE(t.w.isVisible());
}
