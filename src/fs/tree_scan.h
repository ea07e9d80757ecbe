#pragma once
// One walk of a folder tree for every scan of the program: file searches, folder trees, folder
// sizes and copy plans. Symbolic links are reported as links and never followed, so a link
// loop cannot trap the walk; a folder that cannot be read is reported through the JobControl
// (path and the system's reason) and the walk goes on. Without metadata the walk asks the
// system about an entry only when the folder listing does not tell its kind.

#include "common/result.h"
#include "fs/name_masks.h"
#include "jobs/job_control.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <functional>

namespace quenda {

enum class EntryKind : quint8 { File, Folder, Link, Other };

enum class ScanOrder : quint8 {
    Unordered, // the order the file system lists them: fastest
    ByName,    // byte order of the names, which is code point order for UTF-8
    Natural,   // "Day 2" before "Day 10", letters without regard to case
};

struct FileTime {
    qint64 seconds = 0;
    quint32 nanoseconds = 0;
    bool valid = false;
    // Local time; invalid when the file system keeps no such time.
    QDateTime toDateTime() const;
};

// What the system knows about one entry; links are described, not followed.
struct EntryMeta {
    EntryKind kind = EntryKind::Other;
    qint64 size = 0;
    quint32 mode = 0; // st_mode: type and permission bits
    quint64 device = 0;
    quint64 inode = 0;
    quint32 links = 0; // hard link count
    FileTime birth;    // only where the file system keeps a birth time
    FileTime modified;
    FileTime accessed;
};

struct ScanOptions {
    NameMasks masks;      // tested on every name but a folder's
    bool files = true;    // report files, links and other entries that are no folder
    bool folders = false; // report folders
    int maxDepth = -1;    // -1: any depth; 0: only the root's own entries
    // Enter folders where another file system (or a bind mount) is mounted; by default a walk
    // reports such a mount point but stays on the mount it started on.
    bool otherMounts = false;
    ScanOrder order = ScanOrder::Unordered;
    bool metadata = false; // fill ScanEntry::meta beyond its kind
};

// One entry as the walk meets it. The views point into the walk's own buffers and are valid
// only during the call to the sink; take what you need as QString or QByteArray.
struct ScanEntry {
    QByteArrayView nativeFolder; // the folder holding the entry, no trailing "/" (but "/")
    QByteArrayView nativeName;
    int depth = 0;  // 0 for the root's own entries
    EntryMeta meta; // kind always; the rest when ScanOptions::metadata is set

    EntryKind kind() const { return meta.kind; }
    QString name() const;
    QString folder() const;
    QString path() const;
    QByteArray nativePath() const;
};

struct ScanSummary {
    qint64 reported = 0;    // entries handed to the sink
    qint64 foldersRead = 0; // the root included
    bool complete = true;   // false when a folder could not be read (see the failures)
    bool stopped = false;   // cancelled, or the sink asked to stop
};

// The sink returns false to end the walk early.
using ScanSink = std::function<bool(const ScanEntry &)>;

// Walks the folder root (a link given as the root is followed: the user chose it). Fails only
// when root itself cannot be read. Polls control for a cancel request at every entry, adds one
// to its done counter per entry reported and shows the folder being read as its item.
Result<ScanSummary> scanTree(const QString &root, const ScanOptions &options, JobControl &control,
                             const ScanSink &sink);

// The metadata of one path; followLinks describes a link's target instead of the link.
Result<EntryMeta> statEntry(const QString &path, bool followLinks = false);

} // namespace quenda
