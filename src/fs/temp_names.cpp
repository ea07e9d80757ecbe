#include "fs/temp_names.h"

#include "fs/unique_fd.h"

#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace quenda {

namespace {

constexpr char kPrefix[] = ".quenda-";
constexpr char kSuffix[] = ".tmp";
constexpr qsizetype kPrefixLength = sizeof kPrefix - 1;
constexpr qsizetype kSuffixLength = sizeof kSuffix - 1;

bool processRuns(pid_t pid)
{
    // EPERM: it runs, under another user.
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace

QByteArray temporaryName()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray random(8, '\0');
    for (char &c : random)
        c = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
    return kPrefix + QByteArray::number(::getpid()) + '-' + random + kSuffix;
}

pid_t temporaryWriter(QByteArrayView name)
{
    if (name.size() <= kPrefixLength + kSuffixLength || !name.startsWith(kPrefix) ||
        !name.endsWith(kSuffix))
        return 0;
    const QByteArrayView middle =
        name.sliced(kPrefixLength, name.size() - kPrefixLength - kSuffixLength);
    const qsizetype dash = middle.indexOf('-');
    if (dash <= 0 || dash == middle.size() - 1 || dash > 10)
        return 0;
    qint64 pid = 0;
    for (const char c : middle.first(dash)) {
        if (c < '0' || c > '9')
            return 0;
        pid = pid * 10 + (c - '0');
    }
    for (const char c : middle.sliced(dash + 1))
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return 0;
    return pid > 0 && pid <= INT32_MAX ? static_cast<pid_t>(pid) : 0;
}

bool isStaleTemporary(QByteArrayView name)
{
    const pid_t writer = temporaryWriter(name);
    return writer > 0 && writer != ::getpid() && !processRuns(writer);
}

int removeStaleTemporaries(int folderFd)
{
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return 0;
    }
    // Names are collected first: removing while reading a folder may skip entries.
    std::vector<QByteArray> stale;
    while (const dirent *e = ::readdir(dir)) {
        if (e->d_type != DT_REG && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN)
            continue;
        if (isStaleTemporary(QByteArrayView(e->d_name, qsizetype(std::strlen(e->d_name)))))
            stale.emplace_back(e->d_name);
    }
    ::closedir(dir);
    int removed = 0;
    for (const QByteArray &name : stale)
        if (::unlinkat(folderFd, name.constData(), 0) == 0)
            ++removed;
    return removed;
}

} // namespace quenda
