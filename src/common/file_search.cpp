#include "common/file_search.h"

#include "common/result.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace quenda {

QStringList splitMasks(const QString &masks)
{
    QStringList out;
    for (const QString &m : masks.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = m.trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

bool matchesMask(QStringView name, QStringView mask)
{
    // Iterative wildcard match with one back-track point: linear for the masks in use.
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == QLatin1Char('*')) {
            starM = m++;
            starN = n;
        } else if (m < mask.size() && (mask[m] == QLatin1Char('?') ||
                                       mask[m].toCaseFolded() == name[n].toCaseFolded())) {
            ++m;
            ++n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == QLatin1Char('*'))
        ++m;
    return m == mask.size();
}

namespace {

struct Walker {
    QStringList masks;
    bool subfolders;
    const std::function<bool(const FoundFile &)> &sink;
    const std::function<void(const QString &, const QString &)> &unreadable;
    bool stopped = false;

    void report(const QString &folder, int err) const
    {
        if (unreadable)
            unreadable(folder, systemErrorText(err));
    }

    bool matches(const QString &name) const
    {
        return std::any_of(masks.begin(), masks.end(),
                           [&](const QString &m) { return matchesMask(name, m); });
    }

    void walk(const QString &folder)
    {
        const QByteArray encoded = QFile::encodeName(folder);
        DIR *dir = opendir(encoded.constData());
        if (!dir) {
            report(folder, errno);
            return;
        }
        QStringList files, dirs;
        for (;;) {
            errno = 0;
            dirent *e = readdir(dir);
            if (!e) {
                if (errno != 0)
                    report(folder, errno);
                break;
            }
            const char *n = e->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            unsigned char type = e->d_type;
            if (type == DT_UNKNOWN || type == DT_LNK) {
                struct stat st {};
                const QByteArray full = encoded + '/' + n;
                // A link to a file counts as that file; a linked folder is not entered.
                if (stat(full.constData(), &st) != 0)
                    continue;
                if (S_ISDIR(st.st_mode))
                    type = e->d_type == DT_LNK ? DT_LNK : DT_DIR;
                else if (S_ISREG(st.st_mode))
                    type = DT_REG;
                else
                    continue;
            }
            const QString name = QFile::decodeName(n);
            if (type == DT_DIR)
                dirs << name;
            else if (type == DT_REG && matches(name))
                files << name;
        }
        closedir(dir);
        files.sort();
        dirs.sort();
        const QString prefix =
            folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        for (const QString &f : files) {
            if (!sink(FoundFile{prefix, f})) {
                stopped = true;
                return;
            }
        }
        if (!subfolders)
            return;
        for (const QString &d : dirs) {
            walk(prefix + d);
            if (stopped)
                return;
        }
    }
};

} // namespace

void searchFiles(const QString &folder, const QString &masks, bool subfolders,
                 const std::function<bool(const FoundFile &)> &sink,
                 const std::function<void(const QString &, const QString &)> &unreadable)
{
    if (folder.isEmpty())
        return;
    QString start = QDir::fromNativeSeparators(folder);
    if (start.size() > 1 && start.endsWith(QLatin1Char('/')))
        start.chop(1);
    Walker walker{splitMasks(masks), subfolders, sink, unreadable};
    walker.walk(start);
}

std::vector<FoundFile> searchFiles(const QString &folder, const QString &masks, bool subfolders)
{
    std::vector<FoundFile> out;
    searchFiles(folder, masks, subfolders, [&](const FoundFile &f) {
        out.push_back(f);
        return true;
    });
    return out;
}

} // namespace quenda
