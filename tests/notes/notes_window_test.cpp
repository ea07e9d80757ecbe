#include "common/QdGrid.h"
#include "db/database.h"
#include "formats/rtf_reader.h"
#include "jobs/job_widgets.h"
#include "notes/FrmNotesIpod.h"
#include "splitter/frmsplit.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace quenda;
using namespace quenda::test;

namespace {

struct NotesWindowTest : ::testing::Test {
    TempPlaces places;
    TestServices doubles;
    ScriptedMessages &messages = doubles.messages;

    std::unique_ptr<FrmNotesIpod> open()
    {
        auto w = std::make_unique<FrmNotesIpod>(doubles.services(places.places()));
        w->show();
        return w;
    }
    QString src() const { return QDir(places.root()).filePath(QStringLiteral("src")); }
    static QdGrid *grid(FrmNotesIpod &w, const char *name) { return control<QdGrid>(&w, name); }
    // Brings the button's tab to the front first, as the user would, and waits for the job
    // the button starts.
    void click(FrmNotesIpod &w, const char *name)
    {
        auto *button = control<QPushButton>(&w, name);
        auto *tabs = control<QTabWidget>(&w, "SSActiveTabs1");
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->widget(i)->isAncestorOf(button) && tabs->currentIndex() != i)
                tabs->setCurrentIndex(i);
        QTest::mouseClick(button, Qt::LeftButton);
        w.job()->wait();
    }
    void scan(FrmNotesIpod &w)
    {
        control<QLineEdit>(&w, "FolderViewOff")->setText(src());
        click(w, "CmdScanOff");
    }
    // Scans src, converts what it holds and chooses the first note, as the user would.
    void convertAndView(FrmNotesIpod &w, int notes = 1)
    {
        scan(w);
        click(w, "CmdConvert");
        ASSERT_EQ(grid(w, "GrdView")->dataRows(), notes);
        grid(w, "GrdView")->setCurrentRowNumber(1);
    }
    static int rowOf(QdGrid *grid, const QString &app)
    {
        for (int r = 1; r <= grid->dataRows(); ++r)
            if (grid->text(r, QStringLiteral("App")) == app)
                return r;
        return 0;
    }
};

} // namespace

TEST_F(NotesWindowTest, LoadShowsStoredRowsAndReadFolderListsDocumentsOrSaysFileNotFound)
{
    {
        auto c = places.connect();
        for (const char *name : {"zeta.txt", "Alpha.rtf", "mid.txt"})
            ASSERT_TRUE(execBound(c->db(),
                                  QStringLiteral("Insert Into Quenda_IpodScan(Application,Path,"
                                                 "Type) values(?,?,?)"),
                                  {QString::fromLatin1(name), QStringLiteral("/d/x"), "txt"}));
    }
    QDir().mkpath(src());
    auto w = open();
    QdGrid *office = grid(*w, "GrdOffice");
    auto *count = control<QLabel>(w.get(), "LblCount");
    // The list is refilled by the load and the scans below.
    QAbstractItemModelTester tester(office->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(office->dataRows(), 3);
    EXPECT_EQ(office->text(1, QStringLiteral("App")) + office->text(3, QStringLiteral("App")),
              QStringLiteral("Alpha.rtfzeta.txt"));
    // Loaded rows carry the Type where scanned rows carry the size.
    EXPECT_EQ(office->text(1, QStringLiteral("Size")), QStringLiteral("txt"));
    EXPECT_EQ(count->text(), QStringLiteral("There are 3 RTF & TXT Files"));

    scan(*w);
    EXPECT_EQ(messages.texts(), QStringList{"File Not Found"});
    EXPECT_EQ(count->text(), QStringLiteral("There are 0 RTF & TXT Files"));

    places.writeFile(QStringLiteral("src/RTF drafts/letter.txt"), "Dear Kim");
    places.writeFile(QStringLiteral("src/Notes.RTF"), "{\\rtf1\\ansi Shopping}");
    places.writeFile(QStringLiteral("src/skip.odt"), "x");
    messages.shown.clear();
    scan(*w);
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_EQ(office->dataRows(), 2);
    EXPECT_EQ(office->text(rowOf(office, QStringLiteral("letter.txt")), QStringLiteral("Size")),
              QStringLiteral("8"));
    EXPECT_EQ(count->text(), QStringLiteral("There are 2 RTF & TXT Files"));

    // Previewing the capitalised RTF shows its text, not its markup.
    office->setCurrentRowNumber(rowOf(office, QStringLiteral("Notes.RTF")));
    EXPECT_EQ(w->previewText(), QStringLiteral("Shopping"));
    EXPECT_EQ(w->currentNoteName(), QStringLiteral("Notes"));
}

TEST_F(NotesWindowTest, ConvertAsksThenWritesListsAndMergeAsksWhere)
{
    places.writeFile(QStringLiteral("src/Kid's Notes.rtf"), "{\\rtf1\\ansi Lunch box}");
    places.writeFile(QStringLiteral("src/todo.txt"), "milk\neggs");
    auto w = open();
    QAbstractItemModelTester notes(grid(*w, "GrdView")->model(),
                                   QAbstractItemModelTester::FailureReportingMode::Fatal);
    scan(*w);
    messages.answers = {MsgAnswer::No};
    click(*w, "CmdConvert");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Quenda Ipod"));
    EXPECT_EQ(messages.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_FALSE(QFileInfo::exists(places.stagingDir() + QStringLiteral("/todo.txt")));

    auto *bar = control<QProgressBar>(w.get(), "PG3");
    messages.shown.clear();
    click(*w, "CmdConvert");
    EXPECT_EQ(messages.texts().last(), QStringLiteral("File Converted"));
    EXPECT_EQ(bar->value(), 100);
    EXPECT_EQ(grid(*w, "GrdView")->dataRows(), 2);
    auto *tabs = control<QTabWidget>(w.get(), "SSActiveTabs1");
    tabs->setCurrentIndex(2);
    tabs->setCurrentIndex(1);
    EXPECT_EQ(bar->value(), 0);

    // A merge whose dialog is cancelled saves nothing.
    messages.shown.clear();
    click(*w, "CmdMerge"); // no answer scripted: the dialog is cancelled
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(QFileInfo::exists(places.stagingDir() + QStringLiteral("/Merged.txt")));
    const QString out = QDir(places.root()).filePath(QStringLiteral("notes.rtf"));
    doubles.dialogs.saveAnswers = {out};
    click(*w, "CmdMerge");
    EXPECT_EQ(messages.texts(), QStringList{"Merged Doc is created on " + out});
}

TEST_F(NotesWindowTest, ViewCutAndSplitterHandOver)
{
    QString text;
    for (int i = 0; i < 250; ++i)
        text += QChar(u'A' + i % 26);
    places.writeFile(QStringLiteral("src/long.txt"), text.toLatin1());
    auto w = open();
    ASSERT_NO_FATAL_FAILURE(convertAndView(*w));
    EXPECT_EQ(w->viewText(), text);
    ASSERT_NE(w->splitWindow(), nullptr);

    messages.shown.clear();
    click(*w, "CmdCut");
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[0].text, text.left(100));
    EXPECT_EQ(messages.shown[1].text, text.mid(100, 97));
    EXPECT_EQ(w->viewText().count(QStringLiteral("@*@")), 2);

    // The splitter opens modally with the note's path.
    QTimer::singleShot(0, w.get(), [&] { w->splitWindow()->reject(); });
    click(*w, "cmdSplit");
    EXPECT_EQ(QDir::fromNativeSeparators(w->splitWindow()->filePath()),
              places.stagingDir() + QStringLiteral("/long.txt"));
}

TEST_F(NotesWindowTest, JournalSendAndOpenButtons)
{
    places.writeFile(QStringLiteral("src/diary.txt"), "Rainy day");
    auto w = open();
    scan(*w);
    grid(*w, "GrdOffice")->setCurrentRowNumber(1);
    // A fresh profile has no user files folder: the export makes it.
    const QString folder = places.places().userFilesDir();
    ASSERT_FALSE(QFileInfo::exists(folder));
    click(*w, "SSCommand1");
    const QString journal = folder + QStringLiteral("/Journal.rtf");
    EXPECT_TRUE(messages.shown.empty()) << messages.texts().join('\n').toStdString();
    EXPECT_EQ(doubles.shell.opened, QStringList{journal});
    EXPECT_EQ(rtfToPlainText(readAll(journal)), QStringLiteral("Rainy day"));

    // A journal that cannot be written is named with the reason, and not opened.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(places.writeFile(QStringLiteral("home/QDuserFiles"), "a file, not a folder")
                    .endsWith(QLatin1String("QDuserFiles")));
    click(*w, "Command1");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.texts()[0].contains(folder)) << messages.texts()[0].toStdString();
    EXPECT_EQ(doubles.shell.opened, QStringList{journal});

    click(*w, "SSCommand2");
    EXPECT_EQ(doubles.shell.opened.last(), src() + QStringLiteral("/diary.txt"));
    click(*w, "CmdSendIpod");
    EXPECT_EQ(messages.texts().last(), QStringLiteral("File Save to Desktop\\Ipod Directory"));
}

TEST_F(NotesWindowTest, ClosingWhileAScanRunsAsksAndStopsItOnYes)
{
    places.writeFile(QStringLiteral("src/a.txt"), "a");
    std::atomic<bool> held{false};
    // The scan waits at its start until it is cancelled: the window is closed meanwhile.
    JobRunner::setStartHook([&](JobControl &control) {
        held = true;
        while (!control.isCancelled())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    auto w = open();
    control<QLineEdit>(w.get(), "FolderViewOff")->setText(src());
    QTest::mouseClick(control<QPushButton>(w.get(), "CmdScanOff"), Qt::LeftButton);
    while (!held)
        QTest::qWait(1);
    EXPECT_FALSE(control<QPushButton>(w.get(), "CmdConvert")->isEnabled());

    messages.answers = {MsgAnswer::No, MsgAnswer::Yes};
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->close());
    JobRunner::setStartHook({});
    EXPECT_FALSE(w->isVisible() || w->job()->isRunning());
    EXPECT_EQ(messages.texts().value(0), stopRunningActionQuestion());
}

TEST_F(NotesWindowTest, ALongCutAsksOnceAndEndsWithOneSummary)
{
    places.writeFile(QStringLiteral("src/long.txt"), QByteArray(97 * 30, 'x'));
    auto w = open();
    ASSERT_NO_FATAL_FAILURE(convertAndView(*w));
    const QString first = places.stagingDir() + QStringLiteral("/long.txt0.txt");

    messages.shown.clear();
    messages.answers = {MsgAnswer::No};
    click(*w, "CmdCut");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("This note gives 30 pieces. Cut it?"));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_EQ(w->viewText().count(QStringLiteral("@*@")), 0);

    messages.shown.clear();
    messages.answers = {MsgAnswer::Yes};
    click(*w, "CmdCut");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(messages.shown[1].text.startsWith(QStringLiteral("30 of 30 pieces")))
        << messages.shown[1].text.toStdString();
    EXPECT_TRUE(QFileInfo::exists(places.stagingDir() + QStringLiteral("/long.txt29.txt")));
}

TEST_F(NotesWindowTest, ALongNoteArrivesBeforeItCanBeCutAndIsShownInLines)
{
    // 3 MB without a line break: laid out as one line it would stall the window.
    QByteArray line;
    for (int i = 0; line.size() < (3 << 20); ++i)
        line += "word" + QByteArray::number(i % 10) + ' ';
    places.writeFile(QStringLiteral("src/line.txt"), line);
    auto w = open();
    scan(*w);
    grid(*w, "GrdOffice")->setCurrentRowNumber(1);
    EXPECT_EQ(w->previewText(), QString()) << "a large preview is read by a worker";
    click(*w, "CmdConvert");
    ASSERT_EQ(grid(*w, "GrdView")->dataRows(), 1);
    grid(*w, "GrdView")->setCurrentRowNumber(1);
    // While the note is read, a cut waits for it rather than cutting nothing.
    messages.shown.clear();
    click(*w, "CmdCut");
    EXPECT_EQ(messages.texts(), QStringList{"The note is still being read."});
    w->waitForReads();
    QCoreApplication::processEvents();

    // The note is held whole for a cut, within its limit; the viewers show it in short lines.
    EXPECT_EQ(w->viewText().size(), line.size());
    EXPECT_FALSE(w->viewText().contains(QLatin1Char('\n')));
    for (const char *name : {"RtfView1", "rtfView"})
        EXPECT_GT(control<QPlainTextEdit>(w.get(), name)->document()->blockCount(), 1000) << name;
    QTest::qWait(1); // one paint of each viewer
}
