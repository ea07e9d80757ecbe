#pragma once
// Reader of OLE2 compound files (the container of .xls workbooks): the header, the sector
// allocation table with its DIFAT extension, the directory and the mini stream. Every chain
// is walked with a bound: a loop or a sector number past the end of the file is an error, never
// a hang. Large streams are read lazily from the file, so a big workbook costs little memory.

#include "common/result.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>
#include <vector>

namespace quenda {

// One stream of a compound file, read at any position.
class CfbStream {
public:
    virtual ~CfbStream() = default;
    virtual qint64 size() const = 0;
    // Reads exactly n bytes at pos into dst; false when they are not all there or the device
    // fails.
    virtual bool read(qint64 pos, char *dst, qint64 n) = 0;
};

class CompoundFile {
public:
    // The device must stay open and unchanged while the compound file and its streams live.
    static Result<std::unique_ptr<CompoundFile>> open(QIODevice *device);

    // The stream of that name directly inside the root storage (names compare without regard
    // to case); null when there is none, an error on a fault.
    Result<std::unique_ptr<CfbStream>> openStream(const QString &name) const;

    // True when the bytes begin with the compound-file signature.
    static bool hasSignature(QByteArrayView head);

private:
    CompoundFile() = default;
    Result<std::vector<quint32>> chain(quint32 start, const std::vector<quint32> &table,
                                       quint64 limit) const;
    bool readSector(quint32 sector, char *dst) const;

    struct Entry {
        QString name;
        quint8 type = 0;
        quint32 left = 0, right = 0, child = 0;
        quint32 start = 0;
        quint64 size = 0;
    };

    QIODevice *m_device = nullptr;
    qint64 m_fileSize = 0;
    quint32 m_sectorSize = 512;
    quint32 m_miniSectorSize = 64;
    quint32 m_miniCutoff = 4096;
    quint64 m_sectorCount = 0; // sectors that the file holds, the last one possibly partial
    std::vector<quint32> m_fat;
    std::vector<quint32> m_miniFat;
    std::vector<Entry> m_entries;
    std::vector<quint32> m_miniStreamSectors; // the root entry's chain
    quint64 m_miniStreamSize = 0;

    friend class SectorStream;
};

} // namespace quenda
