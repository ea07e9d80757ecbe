#include "app/FrmMDI.h"
#include "app/frmSplash.h"
#include "app/window_registry.h"
#include "contacts/import/FrmCntIpod.h"
#include "db/database.h"
#include "jobs/job_runner.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <thread>

using namespace quenda;
using namespace quenda::test;

namespace {

// A real main window on temporary places, recording the class of every function window it opens
// ("modal" added for a modal one). Modal windows are closed again as soon as their event loop
// runs.
class MainWindowTest : public ::testing::Test {
protected:
    TempPlaces places;
    TestServices doubles;
    QStringList opened;
    QPointer<QDialog> last; // the window opened last, while it lives

    std::unique_ptr<FrmMDI> makeWindow()
    {
        auto window = std::make_unique<FrmMDI>(doubles.services(places.places()));
        QObject::connect(window.get(), &FrmMDI::windowOpened, window.get(),
                         [this](QDialog *dialog, bool modal) {
                             opened << QString::fromLatin1(dialog->metaObject()->className())
                                           .remove(QStringLiteral("quenda::"))
                                           .append(modal ? " modal" : "");
                             last = dialog;
                             if (modal)
                                 QTimer::singleShot(0, dialog, &QDialog::reject);
                         });
        return window;
    }

    void setKey(const QVariant &value)
    {
        ASSERT_TRUE(execBound(places.connect()->db(), "update QD_SETUP set Key = ?", {value}));
    }

    QVariant key()
    {
        auto c = places.connect();
        QSqlQuery q(c->db());
        q.exec(QStringLiteral("select Key from QD_SETUP"));
        q.next();
        return q.value(0);
    }

    void TearDown() override
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog *>(w))
                w->close();
        QApplication::processEvents();
    }
};

} // namespace

// A keyword in any case opens its window once, modeless and without a busy pointer left
// behind; an unknown, blank or null one opens nothing. Either way the stored keyword is cleared
// to an empty text, not to null.
TEST_F(MainWindowTest, EachKeywordOpensItsWindowOnceAndIsCleared)
{
    const std::pair<QVariant, const char *> table[] = {
        {QStringLiteral("SendToIpod"), "FrmCntIpod"},
        {QStringLiteral("sendtoipodph"), "FrmPhIpod"},
        {QStringLiteral("EXPORTQUENDACONTACTTOVCF"), "FrmVCF"},
        {QStringLiteral("notes"), "FrmNotesIpod"},
        {QStringLiteral("FileCopier"), "frmFile"},
        {QStringLiteral("textfile"), "FrmText"},
        {QStringLiteral("sendtoipod "), nullptr},
        {QString(), nullptr},
        {QVariant(QMetaType::fromType<QString>()), nullptr}};
    for (const auto &[value, className] : table) {
        SCOPED_TRACE(value.isNull() ? "null" : value.toString().toStdString());
        opened.clear();
        setKey(value);
        auto window = makeWindow();
        window->activated();
        window->activated(); // back from the function window
        EXPECT_EQ(opened, className ? QStringList{className} : QStringList());
        EXPECT_EQ(window->keyword(), QString());
        EXPECT_NE(window->cursor().shape(), Qt::WaitCursor) << "busy pointer left behind";
        const QVariant after = key();
        EXPECT_FALSE(after.isNull());
        EXPECT_EQ(after.toString(), QString());
    }
}

TEST_F(MainWindowTest, ToolIdsAreCaseSensitiveAndOpenModalWindows)
{
    auto window = makeWindow();
    for (const char *id :
         {"sendtoipod", "notes", "Contact", "SendtoIpod", "ExportQuendaContacttoVCF",
          "SendToIpodPH", "Notes", "FileCopier", "TextFile"})
        window->toolClick(QString::fromLatin1(id));
    EXPECT_EQ(opened, (QStringList{"FrmCntIpod modal", "FrmVCF modal", "FrmPhIpod modal",
                                   "FrmNotesIpod modal", "frmFile modal", "FrmText modal"}));
    EXPECT_NE(window->cursor().shape(), Qt::WaitCursor);
}

TEST_F(MainWindowTest, DropDownButtonsOfferTheirMenusAndEntriesGoThroughTheToolTable)
{
    auto window = makeWindow();
    auto entries = [&](const char *button) {
        QStringList ids;
        for (QAction *a : control<QToolButton>(window.get(), button)->menu()->actions())
            ids << a->objectName();
        return ids;
    };
    EXPECT_EQ(entries("Contact"), (QStringList{"SendtoIpod", "ExportQuendaContacttoVCF"}));
    EXPECT_EQ(entries("Photo"), QStringList{"SendToIpodPH"});

    control<QAction>(window.get(), "SendToIpodPH")->trigger();
    EXPECT_EQ(opened, QStringList{"FrmPhIpod modal"});

    window->show();
    window->toolClick(QStringLiteral("Exit"));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, ClosingTheMainWindowAsksAKeywordWindowWithARunningJob)
{
    setKey(QStringLiteral("sendtoipod"));
    auto window = makeWindow();
    window->show();
    window->activated();
    QPointer<FrmCntIpod> contacts = qobject_cast<FrmCntIpod *>(last.data());
    ASSERT_TRUE(contacts);
    ASSERT_TRUE(contacts->job()->start([](JobControl &job) {
        while (!job.isCancelled())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }));

    doubles.messages.answers = {MsgAnswer::No, MsgAnswer::Yes};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(contacts->job()->isRunning());
    EXPECT_TRUE(window->close());
    QApplication::processEvents();
    EXPECT_FALSE(contacts) << "the keyword window went with its stopped job";
}

TEST_F(MainWindowTest, StagingFolderIsCreatedWhenMissingAndLeftAloneOtherwise)
{
    EXPECT_FALSE(QDir(places.stagingDir()).exists());
    makeWindow();
    EXPECT_TRUE(QDir(places.stagingDir()).exists());

    const QString kept = places.writeFile(QStringLiteral("Desktop/Ipod/kept.vcf"), "BEGIN:VCARD");
    makeWindow();
    EXPECT_EQ(readAll(kept), QByteArray("BEGIN:VCARD"));
}

TEST_F(MainWindowTest, SplashShowsTheMainWindowOnItsFirstTickOrOnEscape)
{
    auto window = makeWindow();
    QPointer<frmSplash> splash = new frmSplash(window.get());
    window->setSplash(splash);
    EXPECT_EQ(control<QLabel>(splash.data(), "lblVersion1")->text(), QStringLiteral("9.7"));
    splash->show();
    // Only the timer's tick shows the main window, never the splash's own show.
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 3000));
    // The first activation of the main window closes the splash.
    window->activated();
    QTest::qWait(20);
    EXPECT_TRUE(!splash || !splash->isVisible());

    window->hide();
    frmSplash second(window.get());
    control<QTimer>(&second, "Timer1")->stop();
    second.show();
    QTest::keyClick(&second, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, ALockedDatabaseNeitherHoldsActivationNorOpensTheWindowTwice)
{
    // Another writer holds the database: the keyword is read but cannot be cleared yet.
    setKey(QStringLiteral("notes"));
    auto writer = places.connect();
    QSqlQuery hold(writer->db());
    ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
    auto window = makeWindow();
    for (int i = 0; i < 3; ++i)
        window->activated();
    ASSERT_TRUE(hold.exec(QStringLiteral("COMMIT")));
    window->keywordJob()->wait();
    EXPECT_EQ(key().toString(), QString());
    EXPECT_EQ(opened, QStringList{"FrmNotesIpod"});

    // Not even readable: the window opens once the lock is gone.
    opened.clear();
    setKey(QStringLiteral("notes"));
    ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    auto second = makeWindow();
    second->activated();
    EXPECT_TRUE(opened.empty());
    ASSERT_TRUE(hold.exec(QStringLiteral("COMMIT")));
    second->keywordJob()->wait();
    second->activated();
    EXPECT_EQ(opened, QStringList{"FrmNotesIpod"});
    EXPECT_EQ(key().toString(), QString());
}

// Every function of the toolbar, including those inside the drop-down menus, has a key of its
// own held by the main window (a key left only in a closed menu never fires), and buttons that
// show only a sign have a name a screen reader can say.
TEST_F(MainWindowTest, EveryFunctionHasItsOwnKeyAndSignButtonsAreNamed)
{
    auto window = makeWindow();
    QStringList keys;
    for (const WindowEntry &entry : windowRegistry()) {
        if (!entry.toolId)
            continue;
        auto *action = window->findChild<QAction *>(QString::fromLatin1(entry.toolId));
        ASSERT_TRUE(action && window->actions().contains(action)) << entry.toolId;
        keys << action->shortcut().toString();
    }
    keys << control<QAction>(window.get(), "Exit")->shortcut().toString();
    ASSERT_EQ(keys.size(), 7) << "six functions and Exit";
    keys.removeDuplicates();
    keys.removeAll(QString());
    EXPECT_EQ(keys.size(), 7) << keys.join(QLatin1Char(' ')).toStdString();

    // The notes window, opened by its keyword, has a "..." and a "?" button.
    setKey(QStringLiteral("notes"));
    window->activated();
    ASSERT_TRUE(last);
    QStringList names;
    for (QAbstractButton *b : last->findChildren<QAbstractButton *>())
        if (b->text() == QLatin1String("?") || b->text() == QLatin1String("..."))
            names << b->accessibleName();
    names.sort();
    EXPECT_EQ(names, (QStringList{"Browse", "Help"}));
}

// A function named on the command line (a menu entry's action) opens at start in place of the
// suite's keyword, which is still consumed so it cannot open a window on the next start.
TEST_F(MainWindowTest, AFunctionAskedForAtStartOpensInPlaceOfTheKeyword)
{
    setKey(QStringLiteral("textfile"));
    auto window = makeWindow();
    window->setStartFunction(QStringLiteral("notes"));
    window->activated();
    window->activated(); // only the first activation opens it
    EXPECT_EQ(opened, QStringList{"FrmNotesIpod"});
    EXPECT_EQ(key().toString(), QString());
}
