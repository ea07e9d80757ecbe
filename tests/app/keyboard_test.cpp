#include "app/FrmMDI.h"
#include "app/window_places.h"
#include "app/window_registry.h"
#include "common/keyboard_access.h"
#include "support/test_places.h"
#include "support/test_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QShortcutEvent>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace quenda;
using namespace quenda::test;

namespace {

TEST(AccessKeys, CaptionsReadTheSameAndDoubledAmpersandsAreNoKeys)
{
    EXPECT_EQ(accessKeyOf(QStringLiteral("&Split File")), QLatin1Char('S'));
    EXPECT_EQ(accessKeyOf(QStringLiteral("Sa&ve")), QLatin1Char('V'));
    EXPECT_TRUE(accessKeyOf(QStringLiteral("Tom && Jerry")).isNull());
    EXPECT_TRUE(accessKeyOf(QStringLiteral("Tom & Jerry")).isNull());
    EXPECT_EQ(accessKeyOf(QStringLiteral("A && B &Copy")), QLatin1Char('C'));
    EXPECT_EQ(withoutAccessKey(QStringLiteral("Tom && &Jerry")), QStringLiteral("Tom & Jerry"));
}

QPushButton *addButton(QWidget *parent, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    parent->layout()->addWidget(button);
    return button;
}

// Scarce letters, pages that are never on screen together, keys a caption brings along, and
// captions that hold an ampersand of their own.
TEST(AccessKeys, EveryCaptionGetsAKeyTheLettersAllow)
{
    QDialog window;
    new QVBoxLayout(&window);
    QPushButton *exit = addButton(&window, QStringLiteral("&Exit"));
    QPushButton *edit = addButton(&window, QStringLiteral("Edit"));
    QPushButton *copy = addButton(&window, QStringLiteral("Copy Folders"));
    QPushButton *close = addButton(&window, QStringLiteral("Close"));
    QPushButton *cl = addButton(&window, QStringLiteral("CL"));
    QPushButton *tom = addButton(&window, QStringLiteral("Tom & Jerry"));
    QPushButton *both = addButton(&window, QStringLiteral("Save && Quit"));
    auto *tabs = new QTabWidget(&window);
    window.layout()->addWidget(tabs);
    QPushButton *saves[2];
    for (int i = 0; i < 2; ++i) {
        auto *page = new QWidget;
        new QVBoxLayout(page);
        saves[i] = addButton(page, QStringLiteral("Save"));
        tabs->addTab(page, i == 0 ? QStringLiteral("Page One") : QStringLiteral("Page Two"));
    }
    assignAccessKeys(&window);

    EXPECT_EQ(exit->text(), QStringLiteral("&Exit"));
    EXPECT_EQ(accessKeyOf(edit->text()), QLatin1Char('D'));
    // "Copy Folders" took C first and "Close" the L; "CL" has no other letters, so Copy Folders
    // moves on to one of its many and all three keep a key.
    EXPECT_EQ(accessKeyOf(close->text()), QLatin1Char('L'));
    EXPECT_EQ(accessKeyOf(cl->text()), QLatin1Char('C'));
    EXPECT_EQ(accessKeyOf(copy->text()), QLatin1Char('F'));
    EXPECT_EQ(withoutAccessKey(tom->text()), QStringLiteral("Tom & Jerry"));
    EXPECT_EQ(withoutAccessKey(both->text()), QStringLiteral("Save & Quit"));

    QSet<QChar> outside;
    for (QPushButton *b : {exit, edit, copy, close, cl, tom, both})
        outside.insert(accessKeyOf(b->text()));
    for (int i = 0; i < 2; ++i)
        outside.insert(accessKeyOf(tabs->tabText(i)));
    outside.remove(QChar());
    EXPECT_EQ(outside.size(), 9) << "every caption outside the pages has a key of its own";
    // The pages are never shown together, so they share a key, but not one of the window's.
    EXPECT_EQ(accessKeyOf(saves[0]->text()), accessKeyOf(saves[1]->text()));
    EXPECT_FALSE(outside.contains(accessKeyOf(saves[0]->text())));
    EXPECT_EQ(withoutAccessKey(saves[0]->text()), QStringLiteral("Save"));
}

// What one press of a key should do: focus a control (a label's buddy) or choose a tab.
struct Target {
    QChar key{};
    QString what{};
    QWidget *focus = nullptr;
    QTabBar *bar = nullptr;
    int tab = -1;
};

bool hasLetters(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// The keyed controls on screen now, and the captions on screen that have no key.
std::vector<Target> onScreen(QWidget *window, QStringList *unkeyed = nullptr)
{
    std::vector<Target> targets;
    auto add = [&](const QString &text, Target target) {
        target.key = accessKeyOf(text);
        target.what = withoutAccessKey(text);
        if (!target.key.isNull())
            targets.push_back(target);
        else if (unkeyed && hasLetters(text))
            *unkeyed << target.what;
    };
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>())
        if (button->isVisible() && button->isEnabled() &&
            !(qobject_cast<QToolButton *>(button) && button->text().size() <= 1))
            add(button->text(), {.focus = button});
    for (QTabBar *bar : window->findChildren<QTabBar *>())
        if (bar->isVisible() && bar->isEnabled())
            for (int i = 0; i < bar->count(); ++i)
                if (bar->isTabEnabled(i))
                    add(bar->tabText(i), {.bar = bar, .tab = i});
    for (QLabel *label : window->findChildren<QLabel *>())
        if (label->buddy() && label->isVisible() && label->buddy()->isEnabled())
            add(label->text(), {.focus = label->buddy()});
    return targets;
}

// Takes the shortcut events meant for buttons, so a key can be checked to reach its button
// without clicking it (a click would run the function, or open a drop-down's menu).
class ShortcutCatcher : public QObject {
public:
    ShortcutCatcher() { qApp->installEventFilter(this); }
    QObject *receiver = nullptr;
    bool ambiguous = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Shortcut || !qobject_cast<QAbstractButton *>(watched))
            return false;
        receiver = watched;
        ambiguous = static_cast<QShortcutEvent *>(event)->isAmbiguous();
        return true;
    }
};

// Presses every key on screen and checks it reaches its own control alone, and that no two
// controls on screen share a key.
void pressEveryKey(QWidget *window, const QString &state)
{
    std::map<QChar, QString> seen;
    for (const Target &t : onScreen(window)) {
        const auto [held, fresh] = seen.emplace(t.key, t.what);
        EXPECT_TRUE(fresh) << qPrintable(state + ": '" + t.what + "' and '" + held->second +
                                         "' share Alt+" + t.key);
    }
    ShortcutCatcher caught;
    for (const Target &t : onScreen(window)) {
        const QString key = QStringLiteral("Alt+") + t.key;
        const int before = t.bar ? t.bar->currentIndex() : -1;
        caught.receiver = nullptr;
        // A window may turn a tab down (nothing chosen to view), so the choice is what counts.
        std::optional<QSignalSpy> chosen;
        if (t.bar)
            chosen.emplace(t.bar, &QTabBar::currentChanged);
        QTest::keyClick(window, t.key.toLatin1(), Qt::AltModifier);
        const std::string what = qPrintable(state + ": " + key + " for '" + t.what + "'");
        if (t.bar) {
            EXPECT_EQ(chosen->isEmpty() ? t.bar->currentIndex() : chosen->first().first().toInt(),
                      t.tab)
                << what;
            t.bar->setCurrentIndex(before);
        } else if (qobject_cast<QAbstractButton *>(t.focus)) {
            EXPECT_TRUE(caught.receiver == t.focus && !caught.ambiguous) << what;
        } else {
            EXPECT_EQ(QApplication::focusWidget(), t.focus) << what;
        }
    }
}

class KeyboardTest : public ::testing::Test {
protected:
    TempPlaces places;
    TestServices doubles;
    FrmMDI main{doubles.services(places.places())};
    std::unique_ptr<QDialog> open(const char *className)
    {
        return std::unique_ptr<QDialog>(createFunctionWindow(
            QString::fromLatin1(className), doubles.services(places.places()), &main));
    }
};

// Every function window (and the main window) as the user meets it: on every tab, each button,
// option, tab and labelled field on screen answers to an Alt key of its own. What the window opens
// with, and what each tab shows, has a key; only panels the window opens later may run short of
// letters.
TEST_F(KeyboardTest, EveryWindowAnswersAltKeysOnEveryTab)
{
    auto check = [](QWidget *window) {
        const QString name = window->objectName();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << qPrintable(name);
        const auto everyKeyed = [window](const QString &state) {
            QStringList unkeyed;
            onScreen(window, &unkeyed);
            EXPECT_TRUE(unkeyed.isEmpty()) << qPrintable(state + ": " + unkeyed.join(", "));
            pressEveryKey(window, state);
        };
        everyKeyed(name);
        const QList<QTabBar *> bars = window->findChildren<QTabBar *>();
        for (QTabBar *bar : bars) {
            for (int i = 0; bar->isVisible() && i < bar->count(); ++i) {
                bar->setCurrentIndex(i);
                const QString state = name + ", tab " + bar->tabText(i);
                everyKeyed(state);
                for (QTabBar *inner : bars)
                    for (int j = 0; inner != bar && inner->isVisible() && j < inner->count(); ++j) {
                        inner->setCurrentIndex(j);
                        pressEveryKey(window, state + ", " + inner->tabText(j));
                    }
            }
            bar->setCurrentIndex(0);
        }
        // Panels a window opens on demand (the drive list, the copy panel) beside the rest.
        for (QGroupBox *panel : window->findChildren<QGroupBox *>())
            if (!panel->isVisibleTo(window))
                panel->setVisible(true);
        pressEveryKey(window, name + QStringLiteral(" with every panel open"));
    };
    for (const WindowEntry &entry : windowRegistry())
        check(open(entry.className).get());
    check(&main);
}

// Windows opened from inside other windows (properties, scheme dialogs) come back where they were
// closed too, as their own windows; a dialog that is none of the program's windows is left alone.
TEST_F(KeyboardTest, WindowsOpenedFromOtherWindowsKeepTheirPlaces)
{
    auto properties = open("FrmFileProperty");
    properties->show();
    const QRect moved(170, 120, properties->width() + 41, properties->height() + 17);
    properties->setGeometry(moved);
    properties->hide();
    properties.reset();

    auto again = open("FrmFileProperty");
    again->show();
    EXPECT_EQ(again->geometry(), moved);

    auto scheme = open("FrmFMSaveFolder");
    scheme->show();
    EXPECT_NE(scheme->geometry(), moved);

    QDialog other(&main);
    other.setObjectName(QStringLiteral("FileChooser"));
    auto *plain = new QPushButton(QStringLiteral("Open"), &other);
    other.show();
    other.setGeometry(moved);
    other.hide();
    QDialog second(&main);
    second.setObjectName(QStringLiteral("FileChooser"));
    second.show();
    EXPECT_NE(second.geometry(), moved);
    EXPECT_EQ(plain->text(), QStringLiteral("Open"));
}

} // namespace
