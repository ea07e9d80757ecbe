#include "fs/shortcuts.h"

#include "fs/atomic_file.h"
#include "fs/native_path.h"
#include "fs/regular_file.h"
#include "fs/tree_scan.h"

#include <QFileInfo>
#include <QMimeDatabase>

#include <unistd.h>

namespace quenda {

namespace {

// Values of a desktop entry escape backslashes and control characters; a leading blank would
// be trimmed by readers, so it is escaped too.
QString escapeValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u' ' && i == 0)
            out += QLatin1String("\\s");
        else
            out += c;
    }
    return out;
}

} // namespace

QByteArray fileUrl(const QString &path)
{
    const QByteArray bytes = toNativePath(QFileInfo(path).absoluteFilePath());
    QByteArray out("file://");
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += "0123456789ABCDEF"[c >> 4];
            out += "0123456789ABCDEF"[c & 15];
        }
    }
    return out;
}

QString iconNameFor(const QString &target)
{
    const Result<EntryMeta> meta = statEntry(target, true);
    if (meta && meta->kind == EntryKind::Folder)
        return QStringLiteral("folder");
    // The first bytes decide where the name alone does not; read through the byte-exact path.
    QByteArray head;
    if (Result<UniqueFd> fd = openRegularFile(target)) {
        head.resize(4096);
        const ssize_t n = ::read(fd->get(), head.data(), static_cast<size_t>(head.size()));
        head.resize(n > 0 ? n : 0);
    }
    const QString name = target.section(QLatin1Char('/'), -1);
    const QString icon = QMimeDatabase().mimeTypeForFileNameAndData(name, head).iconName();
    return icon.isEmpty() ? QStringLiteral("text-x-generic") : icon;
}

QByteArray desktopEntryText(const QString &name, const QString &target, const QString &icon)
{
    QByteArray text("[Desktop Entry]\n");
    text += "Version=1.0\n";
    text += "Type=Link\n";
    text += "Name=" + escapeValue(name).toUtf8() + '\n';
    text += "URL=" + fileUrl(target) + '\n';
    text += "Icon=" + escapeValue(icon).toUtf8() + '\n';
    return text;
}

Result<QString> createDesktopShortcut(const QString &folder, const QString &name,
                                      const QString &target)
{
    if (Result<QString> checked = safeChildPath(folder, name); !checked)
        return checked.error();
    Result<QString> path = safeChildPath(folder, name + QStringLiteral(".desktop"));
    if (!path)
        return path.error();
    AtomicFileOptions options;
    options.permissions = 0755;
    const Status written =
        writeFileAtomically(*path, desktopEntryText(name, target, iconNameFor(target)), options);
    if (!written)
        return written.error();
    return path;
}

} // namespace quenda
