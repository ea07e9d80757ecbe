#pragma once
// The bytes of a foreign file for its reader: a regular file, opened so that a FIFO or a device
// is refused without ever blocking, or bytes already in memory (tests, fuzzing). Reads are
// positioned, so a reader may return to an earlier offset (a memo block, a second pass).

#include "common/result.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace quenda {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The size when opened.
    virtual qint64 size() const = 0;
    // Reads up to count bytes at offset into dest: the number read, 0 at the end, -1 on a fault
    // (then status() gives the system's reason).
    virtual qint64 readAt(qint64 offset, char *dest, qint64 count) = 0;
    // Ok unless a read failed: then the system's reason, without the file name.
    virtual Status status() const = 0;
};

// Opens a regular file for reading. Fails with kErrorFileNotFound when nothing is at the path,
// and with the system's reason (or "it is not a regular file") otherwise; the message names the
// file.
Result<std::unique_ptr<ByteSource>> openFileSource(const QString &path);

std::unique_ptr<ByteSource> memorySource(QByteArray bytes);

// "The file <path> cannot be read: <reason>."
QString cannotReadMessage(const QString &path, const QString &reason);

} // namespace quenda
