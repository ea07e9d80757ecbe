#pragma once
// Every function window of the program in one table: how the start-up keyword and the toolbar
// reach it, how it opens, and how it is built. The main window dispatches through it, and any
// window that opens another builds it here.

#include "common/services.h"

#include <QString>

#include <span>

class QDialog;
class QWidget;

namespace quenda {

struct WindowEntry {
    const char *className;
    const char *keyword; // the start-up keyword, lower case; nullptr when none opens it
    const char *toolId;  // the toolbar tool; nullptr when none opens it
    // Opened from a tool or by another window it is modal; a keyword never waits for it.
    bool modal;
    // The main window shows the busy pointer while it opens the window (and, when modal, until
    // it is closed again).
    bool busyPointer;
    QDialog *(*create)(const Services &services, QWidget *parent);
};

std::span<const WindowEntry> windowRegistry();

// Exact comparisons: keywords arrive lower-cased, tool ids are case-sensitive.
const WindowEntry *windowForKeyword(const QString &keyword);
const WindowEntry *windowForTool(const QString &toolId);
const WindowEntry *windowForClass(const QString &className);

// Builds a function window by its class name; nullptr for a name no window carries.
QDialog *createFunctionWindow(const QString &className, const Services &services, QWidget *parent);

} // namespace quenda
