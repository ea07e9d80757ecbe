#pragma once
// The zip container of .xlsx and .ods workbooks, through libzip, with every entry read as a
// capped stream: an entry that inflates beyond kMaxEntryBytes is refused, whatever its header
// claims, so a zip bomb costs neither memory nor time. XmlFeed hands an entry to
// QXmlStreamReader a block at a time, so that a huge sheet is parsed only as far as needed.

#include "common/result.h"
#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <QHash>

#include <memory>

typedef struct zip zip_t;
typedef struct zip_file zip_file_t;

namespace quenda {

constexpr qint64 kMaxEntryBytes = 256LL * 1024 * 1024;
// The longest stretch of an XML part without a tag: QXmlStreamReader holds a text or a run of
// blanks whole in memory, so a part of blanks alone must not reach the entry cap.
constexpr qint64 kMaxXmlRun = 16LL * 1024 * 1024;

class ZipEntry {
public:
    // claimedSize: what the archive says the entry unpacks to; it sizes the reads, never trusted
    // beyond that.
    ZipEntry(zip_file_t *file, QString name, qint64 cap, qint64 claimedSize = -1);
    ~ZipEntry();
    ZipEntry(const ZipEntry &) = delete;
    ZipEntry &operator=(const ZipEntry &) = delete;

    // The next bytes of the entry, at most maxBytes; empty at the end or on a fault.
    QByteArray read(qint64 maxBytes);
    bool atEnd() const { return m_atEnd; }
    const QString &name() const { return m_name; }
    Status status() const { return faultStatus(m_error); }

private:
    zip_file_t *m_file;
    QString m_name;
    qint64 m_cap;
    qint64 m_claimed;
    qint64 m_total = 0;
    bool m_atEnd = false;
    QString m_error;
};

class ZipArchive {
public:
    // Takes the descriptor of an open regular file, closed with the archive (or at once when it
    // is no zip archive). No entry is read beyond entryCap bytes.
    static Result<std::unique_ptr<ZipArchive>> fromDescriptor(int fd,
                                                              qint64 entryCap = kMaxEntryBytes);
    static Result<std::unique_ptr<ZipArchive>> fromBytes(QByteArray bytes,
                                                         qint64 entryCap = kMaxEntryBytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    bool contains(const QString &name) const;
    // Fails when the entry is missing or cannot be opened.
    Result<std::unique_ptr<ZipEntry>> open(const QString &name) const;
    // A whole small entry (the workbook's lists and styles); fails beyond cap bytes.
    Result<QByteArray> readAll(const QString &name, qint64 cap) const;

private:
    ZipArchive(zip_t *zip, qint64 entryCap, QByteArray keep = {});
    // The entry a part name stands for: the name as written, else in any letter case and with
    // backslashes for slashes, as some writers store them; -1 when there is none.
    qint64 locate(const QString &name) const;

    zip_t *m_zip;
    qint64 m_entryCap;
    QByteArray m_bytes; // the archive's bytes when it was opened from memory
    mutable QHash<QString, qint64> m_looseNames;
    mutable bool m_looseNamesRead = false;
};

// QXmlStreamReader over a zip entry, fed as it goes.
class XmlFeed {
public:
    explicit XmlFeed(std::unique_ptr<ZipEntry> entry);

    QXmlStreamReader::TokenType next();
    QXmlStreamReader &xml() { return m_xml; }
    // Skips the rest of the element whose start was just read.
    bool skipElement();
    // The text of the element whose start was just read, nested elements' text included.
    QString elementText();
    bool failed() const { return m_xml.hasError(); }
    // Why reading stopped; ok unless it failed.
    Status status() const;

private:
    std::unique_ptr<ZipEntry> m_entry;
    QXmlStreamReader m_xml;
    qint64 m_sinceTag = 0; // bytes fed since the last '<'
    QString m_runError;
};

// The element's local name is name (any namespace prefix).
inline bool isElement(const QXmlStreamReader &xml, QLatin1StringView name)
{
    return xml.name() == name;
}

} // namespace quenda
