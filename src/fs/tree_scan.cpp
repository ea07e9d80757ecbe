#include "fs/tree_scan.h"

#include "fs/item_pacer.h"
#include "fs/mounts.h"
#include "fs/native_path.h"
#include "fs/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

namespace quenda {

namespace {

constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_SIZE |
                                STATX_MTIME | STATX_ATIME | STATX_BTIME;

EntryKind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISLNK(mode))
        return EntryKind::Link;
    return EntryKind::Other;
}

FileTime fileTime(const struct statx_timestamp &t, bool valid)
{
    return FileTime{t.tv_sec, t.tv_nsec, valid};
}

EntryMeta metaOf(const struct statx &st)
{
    EntryMeta meta;
    meta.kind = kindOfMode(st.stx_mode);
    meta.size = static_cast<qint64>(st.stx_size);
    meta.mode = st.stx_mode;
    meta.device = makedev(st.stx_dev_major, st.stx_dev_minor);
    meta.inode = st.stx_ino;
    meta.links = st.stx_nlink;
    meta.birth = fileTime(st.stx_btime, (st.stx_mask & STATX_BTIME) != 0);
    meta.modified = fileTime(st.stx_mtime, (st.stx_mask & STATX_MTIME) != 0);
    meta.accessed = fileTime(st.stx_atime, (st.stx_mask & STATX_ATIME) != 0);
    return meta;
}

struct RawEntry {
    quint32 nameOffset;
    quint32 nameLength;
    EntryKind kind;
    bool kindKnown;
};

// The entries of one open folder, names NUL-terminated in one buffer.
struct Listing {
    QByteArray names;
    std::vector<RawEntry> entries;

    const char *name(const RawEntry &e) const { return names.constData() + e.nameOffset; }
};

struct alignas(dirent64) ListingBuffer {
    char bytes[32 * 1024];
};

bool readListing(int fd, Listing &out, ListingBuffer &buffer, int *error)
{
    out.names.clear();
    out.entries.clear();
    for (;;) {
        const ssize_t n = getdents64(fd, buffer.bytes, sizeof buffer.bytes);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        for (ssize_t pos = 0; pos < n;) {
            const auto *d = reinterpret_cast<const dirent64 *>(buffer.bytes + pos);
            pos += d->d_reclen;
            const char *name = d->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            const auto length = static_cast<quint32>(std::strlen(name));
            RawEntry e{static_cast<quint32>(out.names.size()), length, EntryKind::Other, true};
            switch (d->d_type) {
            case DT_REG:
                e.kind = EntryKind::File;
                break;
            case DT_DIR:
                e.kind = EntryKind::Folder;
                break;
            case DT_LNK:
                e.kind = EntryKind::Link;
                break;
            case DT_UNKNOWN:
                e.kindKnown = false;
                break;
            default:
                break;
            }
            out.names.append(name, length + 1);
            out.entries.push_back(e);
        }
    }
}

class Walker {
public:
    Walker(const ScanOptions &options, JobControl &control, const ScanSink &sink)
        : m_options(options), m_control(control), m_sink(sink)
    {
    }

    ScanSummary summary;

    // The mount the walk stays on unless it may enter others.
    void stayOn(quint64 device, std::optional<quint64> mountId)
    {
        m_device = device;
        m_mountId = mountId;
    }

    void walk(int fd, const QByteArray &folder, int depth)
    {
        ++summary.foldersRead;
        if (m_pacer.due())
            m_control.setItem(fromNativePath(folder));
        if (m_listings.size() <= static_cast<size_t>(depth))
            m_listings.resize(depth + 1);
        Listing &listing = m_listings[depth];
        int error = 0;
        if (!readListing(fd, listing, m_buffer, &error)) {
            failFolder(folder, error);
            return;
        }

        const bool needMeta = m_options.metadata;
        for (RawEntry &e : listing.entries) {
            if (e.kindKnown)
                continue;
            struct stat st {};
            if (fstatat(fd, listing.name(e), &st, AT_SYMLINK_NOFOLLOW) == 0)
                e.kind = kindOfMode(st.st_mode);
            // An entry that vanished meanwhile stays Other and is reported as such.
            e.kindKnown = true;
        }
        sortListing(listing);

        ScanEntry entry;
        entry.nativeFolder = QByteArrayView(folder);
        entry.depth = depth;
        const bool mayDescend = m_options.maxDepth < 0 || depth < m_options.maxDepth;
        for (const RawEntry &e : listing.entries) {
            if (stopRequested())
                return;
            const char *name = listing.name(e);
            entry.nativeName = QByteArrayView(name, e.nameLength);
            const bool folderEntry = e.kind == EntryKind::Folder;
            const bool report = folderEntry
                                    ? m_options.folders
                                    : m_options.files && m_options.masks.matches(entry.nativeName);
            if (!report && !(folderEntry && mayDescend))
                continue;

            entry.meta = EntryMeta{};
            entry.meta.kind = e.kind;
            if (report && needMeta) {
                struct statx st {};
                if (statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, kStatxMask, &st) == 0)
                    entry.meta = metaOf(st);
                else if (errno == ENOENT)
                    continue; // gone between the listing and now: nothing to report
            }
            if (report) {
                ++summary.reported;
                m_control.advance();
                if (!m_sink(entry)) {
                    summary.stopped = true;
                    return;
                }
            }
            if (folderEntry && mayDescend)
                descend(fd, folder, name, e.nameLength, depth);
            if (summary.stopped)
                return;
        }
    }

    void failFolder(const QByteArray &path, int error)
    {
        summary.complete = false;
        m_control.fail(fromNativePath(path), systemErrorText(error));
    }

private:
    bool stopRequested()
    {
        if (!summary.stopped && m_control.isCancelled())
            summary.stopped = true;
        return summary.stopped;
    }

    void descend(int parentFd, const QByteArray &folder, const char *name, quint32 length,
                 int depth)
    {
        QByteArray child = folder;
        if (!child.endsWith('/'))
            child += '/';
        child.append(name, length);
        UniqueFd fd(openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) {
            // Replaced by a file or a link since the listing: nothing to enter.
            if (errno != ENOTDIR && errno != ELOOP && errno != ENOENT)
                failFolder(child, errno);
            return;
        }
        if (!m_options.otherMounts) {
            struct statx st {};
            if (statx(fd.get(), "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_MNT_ID, &st) != 0) {
                failFolder(child, errno);
                return;
            }
            if (makedev(st.stx_dev_major, st.stx_dev_minor) != m_device ||
                (m_mountId && (st.stx_mask & STATX_MNT_ID) && st.stx_mnt_id != *m_mountId))
                return;
        }
        walk(fd.get(), child, depth + 1);
    }

    void sortListing(Listing &listing)
    {
        auto &entries = listing.entries;
        // A folder's own entries come before its sub-folders, whatever the order.
        const auto firstFolder =
            std::stable_partition(entries.begin(), entries.end(),
                                  [](const RawEntry &e) { return e.kind != EntryKind::Folder; });
        if (m_options.order == ScanOrder::ByName) {
            const auto byName = [&](const RawEntry &a, const RawEntry &b) {
                return std::strcmp(listing.name(a), listing.name(b)) < 0;
            };
            std::sort(entries.begin(), firstFolder, byName);
            std::sort(firstFolder, entries.end(), byName);
        } else if (m_options.order == ScanOrder::Natural) {
            std::vector<std::pair<QString, RawEntry>> keyed;
            keyed.reserve(entries.size());
            for (const RawEntry &e : entries)
                keyed.emplace_back(fromNativePath(QByteArrayView(listing.name(e), e.nameLength)),
                                   e);
            const auto split = keyed.begin() + (firstFolder - entries.begin());
            const auto natural = [](const auto &a, const auto &b) {
                return naturalCompare(a.first, b.first) < 0;
            };
            std::sort(keyed.begin(), split, natural);
            std::sort(split, keyed.end(), natural);
            for (size_t i = 0; i < keyed.size(); ++i)
                entries[i] = keyed[i].second;
        }
    }

    const ScanOptions &m_options;
    JobControl &m_control;
    const ScanSink &m_sink;
    ItemPacer m_pacer;
    quint64 m_device = 0;
    std::optional<quint64> m_mountId;
    // One listing per depth, reused between sibling folders; a deque keeps references to the
    // outer listings valid while deeper ones are added.
    std::deque<Listing> m_listings;
    // Listings are read whole before any sub-folder is entered, so one buffer serves them all.
    ListingBuffer m_buffer;
};

QByteArray normalisedRoot(const QString &root)
{
    QByteArray native = toNativePath(root);
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    return native;
}

} // namespace

QDateTime FileTime::toDateTime() const
{
    if (!valid)
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + nanoseconds / 1000000);
}

QString ScanEntry::name() const
{
    return fromNativePath(nativeName);
}

QString ScanEntry::folder() const
{
    return fromNativePath(nativeFolder);
}

QByteArray ScanEntry::nativePath() const
{
    QByteArray out;
    out.reserve(nativeFolder.size() + 1 + nativeName.size());
    out.append(nativeFolder);
    if (!out.endsWith('/'))
        out += '/';
    out.append(nativeName);
    return out;
}

QString ScanEntry::path() const
{
    return fromNativePath(nativePath());
}

Result<ScanSummary> scanTree(const QString &root, const ScanOptions &options, JobControl &control,
                             const ScanSink &sink)
{
    const QByteArray native = normalisedRoot(root);
    if (native.isEmpty())
        return fail(QStringLiteral("No folder was given to scan"), ENOENT);
    UniqueFd fd(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!fd || fstat(fd.get(), &st) != 0) {
        const int error = errno;
        return fail(
            QStringLiteral("Cannot read the folder %1: %2").arg(root, systemErrorText(error)),
            error);
    }
    Walker walker(options, control, sink);
    walker.stayOn(st.st_dev, mountIdAt(fd.get(), ""));
    walker.walk(fd.get(), native, 0);
    return walker.summary;
}

Result<EntryMeta> statEntry(const QString &path, bool followLinks)
{
    struct statx st {};
    const QByteArray native = toNativePath(path);
    if (statx(AT_FDCWD, native.constData(), followLinks ? 0 : AT_SYMLINK_NOFOLLOW, kStatxMask,
              &st) != 0) {
        const int error = errno;
        return fail(QStringLiteral("Cannot read %1: %2").arg(path, systemErrorText(error)), error);
    }
    return metaOf(st);
}

} // namespace quenda
