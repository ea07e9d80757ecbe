#include "fs/mounts.h"

#include "fs/native_path.h"

#include <QFile>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

namespace quenda {

namespace {

// The mount table escapes blank, tab, newline and backslash as "\ooo".
QByteArray unescapeMountPath(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

} // namespace

std::optional<quint64> mountIdAt(int folderFd, const char *name)
{
    struct statx st {};
    const int flags = AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC | (*name ? 0 : AT_EMPTY_PATH);
    if (statx(folderFd, name, flags, STATX_MNT_ID, &st) != 0 || !(st.stx_mask & STATX_MNT_ID))
        return std::nullopt;
    return st.stx_mnt_id;
}

QStringList mountPointsWithin(const QString &folder)
{
    char *resolved = ::realpath(toNativePath(folder).constData(), nullptr);
    if (!resolved)
        return {};
    QByteArray base(resolved);
    std::free(resolved);
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    const QByteArray below = base == "/" ? base : base + '/';
    QStringList found;
    for (const QByteArray &line : table.readAll().split('\n')) {
        // id parent major:minor root MOUNT-POINT options ...
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        const QByteArray point = unescapeMountPath(fields[4]);
        if (point == base || point.startsWith(below))
            found << fromNativePath(point);
    }
    return found;
}

} // namespace quenda
