#pragma once
// The real message boxes, file dialogs and shell behind the Services seams.

#include "common/services.h"

class QWidget;

namespace quenda {

class BoxMessages : public Messages {
public:
    MsgAnswer show(const QString &text, MsgIcon icon, MsgButtons buttons,
                   const QString &title) override;
};

class FileDialogs : public Dialogs {
public:
    QString openFile(const FileDialogOptions &options) override;
    QString saveFile(const FileDialogOptions &options) override;
    QString chooseFolder(const QString &title, const QString &initialDir) override;
};

class DesktopShell : public Shell {
public:
    bool openDocument(const QString &path) override;
    bool startProgram(const QString &program, const QStringList &arguments) override;
};

// "*.rtf|Rich Text File" or "Text|*.txt|All|*.*" become Qt's "Rich Text File (*.rtf)" form.
QString qtFilterFromClassic(const QString &filter);

// The title message boxes carry when a caller gives none.
QString defaultMessageTitle();

} // namespace quenda
