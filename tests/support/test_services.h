#pragma once
// Scripted stand-ins for the seams: they record what a window showed or asked and answer from
// a script, so a test drives a real window without a person at the screen.

#include "common/services.h"

#include <QStringList>

#include <deque>
#include <vector>

namespace quenda::test {

struct ShownMessage {
    QString text;
    MsgIcon icon;
    MsgButtons buttons;
    QString title;
};

class ScriptedMessages : public Messages {
public:
    MsgAnswer show(const QString &text, MsgIcon icon, MsgButtons buttons,
                   const QString &title) override;
    // Answers for Yes/No questions, in order; Yes when the script has run out.
    std::deque<MsgAnswer> answers;
    std::vector<ShownMessage> shown;
    QStringList texts() const;
};

class ScriptedDialogs : public Dialogs {
public:
    QString openFile(const FileDialogOptions &options) override;
    QString saveFile(const FileDialogOptions &options) override;
    QString chooseFolder(const QString &title, const QString &initialDir) override;
    // Each call takes the next answer; an empty string stands for Cancel.
    std::deque<QString> openAnswers, saveAnswers, folderAnswers;
    std::vector<FileDialogOptions> openRequests, saveRequests;
};

class RecordingShell : public Shell {
public:
    bool openDocument(const QString &path) override;
    bool startProgram(const QString &program, const QStringList &arguments) override;
    QStringList opened;
    QStringList started;
};

// One bundle of the doubles above, with places in temporary folders (see TempPlaces).
struct TestServices {
    ScriptedMessages messages;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    Services services(const Places &places)
    {
        return Services{&messages, &dialogs, &shell, places};
    }
};

} // namespace quenda::test
