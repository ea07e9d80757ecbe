#include "formats/sheet_cfb.h"

#include <QtEndian>

#include <cstring>

namespace quenda {

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kMaxRegularSector = 0xFFFFFFFA;
constexpr int kHeaderDifatEntries = 109;
constexpr quint8 kTypeStream = 2;
constexpr quint8 kTypeRoot = 5;

quint16 u16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}
quint32 u32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}
quint64 u64(const char *p)
{
    return qFromLittleEndian<quint64>(p);
}

class MemoryStream final : public CfbStream {
public:
    explicit MemoryStream(QByteArray data) : m_data(std::move(data)) {}
    qint64 size() const override { return m_data.size(); }
    bool read(qint64 pos, char *dst, qint64 n) override
    {
        if (pos < 0 || n < 0 || pos + n > m_data.size())
            return false;
        std::memcpy(dst, m_data.constData() + pos, size_t(n));
        return true;
    }

private:
    QByteArray m_data;
};

} // namespace

// A stream in regular sectors, read through a window of a few dozen sectors so that record
// after record costs no system call each.
class SectorStream final : public CfbStream {
public:
    SectorStream(QIODevice *device, quint32 sectorSize, std::vector<quint32> sectors, qint64 size)
        : m_device(device), m_sectorSize(sectorSize), m_sectors(std::move(sectors)), m_size(size)
    {
    }
    qint64 size() const override { return m_size; }
    bool read(qint64 pos, char *dst, qint64 n) override
    {
        if (pos < 0 || n < 0 || pos + n > m_size)
            return false;
        while (n > 0) {
            if (pos < m_bufStart || pos >= m_bufStart + m_buf.size()) {
                if (!fill(pos))
                    return false;
            }
            const qint64 offset = pos - m_bufStart;
            const qint64 take = std::min<qint64>(n, m_buf.size() - offset);
            std::memcpy(dst, m_buf.constData() + offset, size_t(take));
            dst += take;
            pos += take;
            n -= take;
        }
        return true;
    }

private:
    static constexpr qint64 kWindow = 64 * 1024;

    bool fill(qint64 pos)
    {
        const size_t first = size_t(pos / m_sectorSize);
        m_bufStart = qint64(first) * m_sectorSize;
        m_buf.resize(0);
        size_t i = first;
        while (i < m_sectors.size() && m_buf.size() < kWindow) {
            // One read for each run of consecutive sectors.
            size_t run = 1;
            while (i + run < m_sectors.size() && m_sectors[i + run] == m_sectors[i] + run &&
                   qint64(run + 1) * m_sectorSize + m_buf.size() <= kWindow)
                ++run;
            const qint64 offset = (qint64(m_sectors[i]) + 1) * m_sectorSize;
            const qint64 want = qint64(run) * m_sectorSize;
            const qsizetype old = m_buf.size();
            m_buf.resize(old + want);
            if (!m_device->seek(offset))
                return false;
            const qint64 got = m_device->read(m_buf.data() + old, want);
            if (got < 0)
                return false;
            if (got < want) { // the file ends inside this run
                m_buf.resize(old + got);
                break;
            }
            i += run;
        }
        return pos < m_bufStart + m_buf.size();
    }

    QIODevice *m_device;
    quint32 m_sectorSize;
    std::vector<quint32> m_sectors;
    qint64 m_size;
    QByteArray m_buf;
    qint64 m_bufStart = 0;
};

bool CompoundFile::hasSignature(QByteArrayView head)
{
    static const char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0',
                                       '\xA1', '\xB1', '\x1A', '\xE1'};
    return head.size() >= 8 && std::memcmp(head.data(), kSignature, 8) == 0;
}

bool CompoundFile::readSector(quint32 sector, char *dst) const
{
    if (sector >= m_sectorCount)
        return false;
    const qint64 offset = (qint64(sector) + 1) * m_sectorSize;
    if (!m_device->seek(offset))
        return false;
    const qint64 got = m_device->read(dst, m_sectorSize);
    if (got < 0)
        return false;
    if (got < qint64(m_sectorSize)) // a short last sector reads as zeros beyond the end
        std::memset(dst + got, 0, size_t(m_sectorSize - quint32(got)));
    return true;
}

Result<std::vector<quint32>> CompoundFile::chain(quint32 start, const std::vector<quint32> &table,
                                                 quint64 limit) const
{
    std::vector<quint32> out;
    quint32 s = start;
    while (s != kEndOfChain) {
        if (s > kMaxRegularSector || s >= table.size() || s >= limit)
            return fail(QStringLiteral("a sector chain points past the end of the file"));
        if (out.size() >= limit)
            return fail(QStringLiteral("a sector chain runs in a loop"));
        out.push_back(s);
        s = table[s];
    }
    return out;
}

Result<std::unique_ptr<CompoundFile>> CompoundFile::open(QIODevice *device)
{
    std::unique_ptr<CompoundFile> cf(new CompoundFile);
    cf->m_device = device;
    cf->m_fileSize = device->size();
    char header[512];
    if (!device->seek(0) || device->read(header, 512) != 512)
        return fail(QStringLiteral("it is too short to be a workbook"));
    if (!hasSignature(QByteArrayView(header, 8)))
        return fail(QStringLiteral("it is not an Excel workbook"));
    const quint16 shift = u16(header + 0x1E);
    const quint16 miniShift = u16(header + 0x20);
    if ((shift != 9 && shift != 12) || miniShift != 6)
        return fail(QStringLiteral("its compound-file header is damaged"));
    cf->m_sectorSize = 1u << shift;
    cf->m_miniSectorSize = 1u << miniShift;
    const quint16 major = u16(header + 0x1A);
    const qint64 body = cf->m_fileSize - cf->m_sectorSize;
    if (body <= 0)
        return fail(QStringLiteral("it is too short to be a workbook"));
    cf->m_sectorCount = quint64((body + cf->m_sectorSize - 1) / cf->m_sectorSize);

    const quint32 fatSectors = u32(header + 0x2C);
    const quint32 firstDir = u32(header + 0x30);
    const quint32 firstMiniFat = u32(header + 0x3C);
    const quint32 miniFatSectors = u32(header + 0x40);
    quint32 difat = u32(header + 0x44);
    if (fatSectors > cf->m_sectorCount)
        return fail(QStringLiteral("its allocation table is larger than the file"));

    // The sectors of the allocation table: 109 in the header, the rest in the DIFAT chain.
    std::vector<quint32> fatList;
    for (int i = 0; i < kHeaderDifatEntries && fatList.size() < fatSectors; ++i) {
        const quint32 s = u32(header + 0x4C + 4 * i);
        if (s == kFreeSector)
            break;
        fatList.push_back(s);
    }
    const quint32 perSector = cf->m_sectorSize / 4;
    QByteArray sector(int(cf->m_sectorSize), '\0');
    quint64 difatSeen = 0;
    while (fatList.size() < fatSectors && difat != kEndOfChain && difat != kFreeSector) {
        if (++difatSeen > cf->m_sectorCount)
            return fail(QStringLiteral("a sector chain runs in a loop"));
        if (!cf->readSector(difat, sector.data()))
            return fail(QStringLiteral("a sector chain points past the end of the file"));
        for (quint32 i = 0; i + 1 < perSector && fatList.size() < fatSectors; ++i) {
            const quint32 s = u32(sector.constData() + 4 * i);
            if (s != kFreeSector)
                fatList.push_back(s);
        }
        difat = u32(sector.constData() + 4 * (perSector - 1));
    }
    cf->m_fat.reserve(fatList.size() * perSector);
    for (quint32 s : fatList) {
        if (!cf->readSector(s, sector.data()))
            return fail(QStringLiteral("a sector chain points past the end of the file"));
        for (quint32 i = 0; i < perSector; ++i)
            cf->m_fat.push_back(u32(sector.constData() + 4 * i));
    }

    auto dirChain = cf->chain(firstDir, cf->m_fat, cf->m_sectorCount);
    if (!dirChain)
        return dirChain.error();
    for (quint32 s : *dirChain) {
        if (!cf->readSector(s, sector.data()))
            return fail(QStringLiteral("a sector chain points past the end of the file"));
        for (quint32 off = 0; off + 128 <= cf->m_sectorSize; off += 128) {
            const char *e = sector.constData() + off;
            Entry entry;
            const int nameBytes = std::min<int>(u16(e + 64), 64);
            int chars = nameBytes / 2;
            if (chars > 0)
                --chars; // the terminating zero
            entry.name = QString::fromUtf16(reinterpret_cast<const char16_t *>(e), chars);
            if (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
                for (QChar &c : entry.name)
                    c = QChar(qFromLittleEndian<quint16>(c.unicode()));
            }
            entry.type = quint8(e[66]);
            entry.left = u32(e + 68);
            entry.right = u32(e + 72);
            entry.child = u32(e + 76);
            entry.start = u32(e + 116);
            entry.size = major == 3 ? u32(e + 120) : u64(e + 120);
            cf->m_entries.push_back(std::move(entry));
        }
    }
    if (cf->m_entries.empty() || cf->m_entries[0].type != kTypeRoot)
        return fail(QStringLiteral("its directory is damaged"));

    if (miniFatSectors > 0 && firstMiniFat != kEndOfChain) {
        auto miniChain = cf->chain(firstMiniFat, cf->m_fat, cf->m_sectorCount);
        if (!miniChain)
            return miniChain.error();
        for (quint32 s : *miniChain) {
            if (!cf->readSector(s, sector.data()))
                return fail(QStringLiteral("a sector chain points past the end of the file"));
            for (quint32 i = 0; i < perSector; ++i)
                cf->m_miniFat.push_back(u32(sector.constData() + 4 * i));
        }
    }
    const Entry &root = cf->m_entries[0];
    if (root.start != kEndOfChain && root.size > 0) {
        auto rootChain = cf->chain(root.start, cf->m_fat, cf->m_sectorCount);
        if (!rootChain)
            return rootChain.error();
        cf->m_miniStreamSectors = std::move(*rootChain);
        cf->m_miniStreamSize = std::min<quint64>(
            root.size, quint64(cf->m_miniStreamSectors.size()) * cf->m_sectorSize);
    }
    return cf;
}

Result<std::unique_ptr<CfbStream>> CompoundFile::openStream(const QString &name) const
{
    // The root's children form a tree through left, right and child links; walk it once, each
    // entry at most one time so that a cycle ends the walk.
    std::vector<bool> seen(m_entries.size(), false);
    std::vector<quint32> todo{m_entries[0].child};
    const Entry *found = nullptr;
    while (!todo.empty() && !found) {
        const quint32 id = todo.back();
        todo.pop_back();
        if (id >= m_entries.size() || seen[id])
            continue;
        seen[id] = true;
        const Entry &e = m_entries[id];
        if (e.type == kTypeStream && e.name.compare(name, Qt::CaseInsensitive) == 0)
            found = &e;
        todo.push_back(e.left);
        todo.push_back(e.right);
    }
    if (!found)
        return std::unique_ptr<CfbStream>();

    if (found->size < m_miniCutoff) {
        const quint64 limit = m_miniStreamSize / m_miniSectorSize;
        auto sectors = chain(found->start, m_miniFat, limit);
        if (!sectors)
            return sectors.error();
        if (quint64(sectors->size()) * m_miniSectorSize < found->size)
            return fail(QStringLiteral("the workbook stream is cut short"));
        QByteArray data;
        data.resize(qsizetype(found->size));
        SectorStream mini(m_device, m_sectorSize, m_miniStreamSectors, qint64(m_miniStreamSize));
        for (size_t i = 0; i < sectors->size(); ++i) {
            const qint64 at = qint64(i) * m_miniSectorSize;
            const qint64 take = std::min<qint64>(m_miniSectorSize, data.size() - at);
            if (take <= 0)
                break;
            if (!mini.read(qint64((*sectors)[i]) * m_miniSectorSize, data.data() + at, take))
                return fail(QStringLiteral("the workbook stream is cut short"));
        }
        return std::unique_ptr<CfbStream>(std::make_unique<MemoryStream>(std::move(data)));
    }

    auto sectors = chain(found->start, m_fat, m_sectorCount);
    if (!sectors)
        return sectors.error();
    if (quint64(sectors->size()) * m_sectorSize < found->size)
        return fail(QStringLiteral("the workbook stream is cut short"));
    return std::unique_ptr<CfbStream>(std::make_unique<SectorStream>(
        m_device, m_sectorSize, std::move(*sectors), qint64(found->size)));
}

} // namespace quenda
