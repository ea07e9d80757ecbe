#include "common/ui_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace quenda {

QString defaultMessageTitle()
{
    return QStringLiteral("Quenda Ipod");
}

MsgAnswer BoxMessages::show(const QString &text, MsgIcon icon, MsgButtons buttons,
                            const QString &title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? defaultMessageTitle() : title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

QString qtFilterFromClassic(const QString &filter)
{
    if (filter.isEmpty() || !filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString a = parts[i].trimmed(), b = parts[i + 1].trimmed();
        // Either order occurs: "description|pattern" and "pattern|description".
        if (a.contains(QLatin1Char('*')) && !b.contains(QLatin1Char('*')))
            std::swap(a, b);
        QString patterns = b;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(a, patterns);
    }
    return out.join(QStringLiteral(";;"));
}

namespace {
QString startPath(const FileDialogOptions &o)
{
    const QString dir = QDir::fromNativeSeparators(o.initialDir);
    if (o.proposedName.isEmpty())
        return dir;
    return dir.isEmpty() ? o.proposedName : QDir(dir).filePath(o.proposedName);
}
} // namespace

QString FileDialogs::openFile(const FileDialogOptions &o)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), o.title, startPath(o),
                                        qtFilterFromClassic(o.filter));
}

QString FileDialogs::saveFile(const FileDialogOptions &o)
{
    QFileDialog dialog(QApplication::activeWindow(), o.title, startPath(o),
                       qtFilterFromClassic(o.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(o.defaultSuffix);
    if (!o.proposedName.isEmpty())
        dialog.selectFile(o.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString FileDialogs::chooseFolder(const QString &title, const QString &initialDir)
{
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, initialDir);
}

bool DesktopShell::openDocument(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(path)));
}

bool DesktopShell::startProgram(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

} // namespace quenda
