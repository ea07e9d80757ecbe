#pragma once
// The seams every window receives at construction: messages, dialogs, shell and places.
// Real implementations live in the UI library; tests pass scripted ones.

#include "common/places.h"

#include <QString>
#include <QStringList>

namespace quenda {

enum class MsgIcon { None, Information, Exclamation, Critical, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

class Messages {
public:
    virtual ~Messages() = default;
    // Modal; returns the button the user pressed.
    virtual MsgAnswer show(const QString &text, MsgIcon icon = MsgIcon::None,
                           MsgButtons buttons = MsgButtons::Ok,
                           const QString &title = QString()) = 0;
};

struct FileDialogOptions {
    QString title;
    QString initialDir;
    QString proposedName;
    // Either a Qt filter ("Rich Text (*.rtf)") or the classic "description|pattern|..." form.
    QString filter;
    QString defaultSuffix;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Each returns the chosen path, or an empty string when the user cancelled.
    virtual QString openFile(const FileDialogOptions &options) = 0;
    virtual QString saveFile(const FileDialogOptions &options) = 0;
    virtual QString chooseFolder(const QString &title, const QString &initialDir) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a document with the program registered for its type.
    virtual bool openDocument(const QString &path) = 0;
    virtual bool startProgram(const QString &program, const QStringList &arguments) = 0;
};

struct Services {
    Messages *messages = nullptr;
    Dialogs *dialogs = nullptr;
    Shell *shell = nullptr;
    Places places;
};

} // namespace quenda
