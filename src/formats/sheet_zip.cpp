#include "formats/sheet_zip.h"

#include <zip.h>

#include <algorithm>

#include <unistd.h>

namespace quenda {

namespace {

constexpr qint64 kFeedBlock = 256 * 1024;

QString tooLarge(const QString &name, qint64 cap)
{
    return QStringLiteral("its part \"%1\" unpacks to more than %2")
        .arg(name, cap >= 1024 * 1024 ? QStringLiteral("%1 MiB").arg(cap / (1024 * 1024))
                                      : QStringLiteral("%1 bytes").arg(cap));
}

} // namespace

ZipEntry::ZipEntry(zip_file_t *file, QString name, qint64 cap, qint64 claimedSize)
    : m_file(file), m_name(std::move(name)), m_cap(cap), m_claimed(claimedSize)
{
}

ZipEntry::~ZipEntry()
{
    zip_fclose(m_file);
}

QByteArray ZipEntry::read(qint64 maxBytes)
{
    if (m_atEnd || !m_error.isEmpty())
        return QByteArray();
    // A small part needs no big buffer; one that unpacks to more than it claims is read on in
    // blocks of a few kilobytes.
    if (m_claimed >= 0)
        maxBytes = std::clamp<qint64>(m_claimed - m_total + 1, 4096, maxBytes);
    QByteArray out;
    out.resize(qsizetype(maxBytes));
    const zip_int64_t got = zip_fread(m_file, out.data(), zip_uint64_t(maxBytes));
    if (got < 0) {
        m_error = QStringLiteral("its part \"%1\" is damaged (%2)")
                      .arg(m_name, QString::fromLocal8Bit(zip_file_strerror(m_file)));
        return QByteArray();
    }
    if (got == 0)
        m_atEnd = true;
    m_total += got;
    if (m_total > m_cap) {
        m_error = tooLarge(m_name, m_cap);
        return QByteArray();
    }
    out.resize(qsizetype(got));
    return out;
}

ZipArchive::ZipArchive(zip_t *zip, qint64 entryCap, QByteArray keep)
    : m_zip(zip), m_entryCap(entryCap), m_bytes(std::move(keep))
{
}

ZipArchive::~ZipArchive()
{
    zip_discard(m_zip);
}

Result<std::unique_ptr<ZipArchive>> ZipArchive::fromDescriptor(int fd, qint64 entryCap)
{
    int code = 0;
    zip_t *zip = zip_fdopen(fd, 0, &code);
    if (!zip) {
        ::close(fd);
        zip_error_t e;
        zip_error_init_with_code(&e, code);
        const QString why = QStringLiteral("it is not a readable zip archive (%1)")
                                .arg(QString::fromLocal8Bit(zip_error_strerror(&e)));
        zip_error_fini(&e);
        return fail(why);
    }
    return std::unique_ptr<ZipArchive>(new ZipArchive(zip, entryCap));
}

Result<std::unique_ptr<ZipArchive>> ZipArchive::fromBytes(QByteArray bytes, qint64 entryCap)
{
    zip_error_t e;
    zip_error_init(&e);
    zip_source_t *src =
        zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &e);
    zip_t *zip = src ? zip_open_from_source(src, ZIP_RDONLY, &e) : nullptr;
    if (!zip) {
        if (src)
            zip_source_free(src);
        const QString why = QStringLiteral("it is not a readable zip archive (%1)")
                                .arg(QString::fromLocal8Bit(zip_error_strerror(&e)));
        zip_error_fini(&e);
        return fail(why);
    }
    zip_error_fini(&e);
    return std::unique_ptr<ZipArchive>(new ZipArchive(zip, entryCap, std::move(bytes)));
}

namespace {

// Part names compare without regard to case, and a backslash stands for a slash.
QString looseName(QString name)
{
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    return name.toCaseFolded();
}

constexpr zip_int64_t kMaxLooseNames = 65536;

} // namespace

qint64 ZipArchive::locate(const QString &name) const
{
    const zip_int64_t index = zip_name_locate(m_zip, name.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index >= 0)
        return index;
    if (!m_looseNamesRead) {
        m_looseNamesRead = true;
        const zip_int64_t count = zip_get_num_entries(m_zip, 0);
        for (zip_int64_t i = 0; i < count && i < kMaxLooseNames; ++i) {
            const char *entry = zip_get_name(m_zip, zip_uint64_t(i), 0);
            if (!entry)
                continue;
            const QString key = looseName(QString::fromUtf8(entry));
            if (!m_looseNames.contains(key))
                m_looseNames.insert(key, i);
        }
    }
    return m_looseNames.value(looseName(name), -1);
}

bool ZipArchive::contains(const QString &name) const
{
    return locate(name) >= 0;
}

Result<std::unique_ptr<ZipEntry>> ZipArchive::open(const QString &name) const
{
    const zip_int64_t index = locate(name);
    if (index < 0)
        return fail(QStringLiteral("its part \"%1\" is missing").arg(name));
    zip_file_t *file = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
    if (!file)
        return fail(QStringLiteral("its part \"%1\" cannot be opened (%2)")
                        .arg(name, QString::fromLocal8Bit(zip_strerror(m_zip))));
    zip_stat_t stat;
    zip_stat_init(&stat);
    const bool sized = zip_stat_index(m_zip, zip_uint64_t(index), 0, &stat) == 0 &&
                       (stat.valid & ZIP_STAT_SIZE) && stat.size < zip_uint64_t(m_entryCap);
    return std::make_unique<ZipEntry>(file, name, m_entryCap, sized ? qint64(stat.size) : -1);
}

Result<QByteArray> ZipArchive::readAll(const QString &name, qint64 cap) const
{
    auto opened = open(name);
    if (!opened)
        return opened.error();
    ZipEntry &entry = **opened;
    QByteArray out;
    while (!entry.atEnd()) {
        const QByteArray chunk = entry.read(kFeedBlock);
        if (const Status s = entry.status(); !s)
            return s.error();
        out.append(chunk);
        if (out.size() > cap)
            return fail(QStringLiteral("its part \"%1\" is too large").arg(name));
    }
    return out;
}

XmlFeed::XmlFeed(std::unique_ptr<ZipEntry> entry) : m_entry(std::move(entry)) {}

QXmlStreamReader::TokenType XmlFeed::next()
{
    for (;;) {
        const QXmlStreamReader::TokenType t = m_xml.readNext();
        if (t != QXmlStreamReader::Invalid ||
            m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError || m_entry->atEnd())
            return t;
        const QByteArray chunk = m_entry->read(kFeedBlock);
        if (const Status s = m_entry->status(); !s) {
            m_xml.raiseError(s.message());
            return QXmlStreamReader::Invalid;
        }
        const qsizetype first = chunk.indexOf('<');
        if (first < 0) {
            m_sinceTag += chunk.size();
        } else {
            m_sinceTag += first;
            if (m_sinceTag <= kMaxXmlRun)
                m_sinceTag = chunk.size() - chunk.lastIndexOf('<') - 1;
        }
        if (m_sinceTag > kMaxXmlRun) {
            m_runError = QStringLiteral("its part \"%1\" holds a text of more than %2 MiB")
                             .arg(m_entry->name())
                             .arg(kMaxXmlRun / (1024 * 1024));
            m_xml.raiseError(m_runError);
            return QXmlStreamReader::Invalid;
        }
        if (!chunk.isEmpty())
            m_xml.addData(chunk);
    }
}

bool XmlFeed::skipElement()
{
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::EndDocument:
            return false;
        default:
            break;
        }
    }
    return true;
}

QString XmlFeed::elementText()
{
    QString text;
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            text += m_xml.text();
            break;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::EndDocument:
            return text;
        default:
            break;
        }
    }
    return text;
}

Status XmlFeed::status() const
{
    if (!m_xml.hasError())
        return {};
    if (Status entry = m_entry->status(); !entry)
        return entry;
    if (!m_runError.isEmpty())
        return fail(m_runError);
    return fail(QStringLiteral("its part \"%1\" is damaged (%2, line %3)")
                    .arg(m_entry->name(), m_xml.errorString())
                    .arg(m_xml.lineNumber()));
}

} // namespace quenda
