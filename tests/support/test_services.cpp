#include "support/test_services.h"

namespace quenda::test {

MsgAnswer ScriptedMessages::show(const QString &text, MsgIcon icon, MsgButtons buttons,
                                 const QString &title)
{
    shown.push_back(ShownMessage{text, icon, buttons, title});
    if (buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    if (answers.empty())
        return MsgAnswer::Yes;
    const MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
}

QStringList ScriptedMessages::texts() const
{
    QStringList out;
    for (const ShownMessage &m : shown)
        out << m.text;
    return out;
}

namespace {
QString take(std::deque<QString> &queue)
{
    if (queue.empty())
        return QString();
    QString a = queue.front();
    queue.pop_front();
    return a;
}
} // namespace

QString ScriptedDialogs::openFile(const FileDialogOptions &options)
{
    openRequests.push_back(options);
    return take(openAnswers);
}

QString ScriptedDialogs::saveFile(const FileDialogOptions &options)
{
    saveRequests.push_back(options);
    return take(saveAnswers);
}

QString ScriptedDialogs::chooseFolder(const QString &, const QString &)
{
    return take(folderAnswers);
}

bool RecordingShell::openDocument(const QString &path)
{
    opened << path;
    return true;
}

bool RecordingShell::startProgram(const QString &program, const QStringList &arguments)
{
    started << (QStringList{program} + arguments).join(QLatin1Char(' '));
    return true;
}

} // namespace quenda::test
