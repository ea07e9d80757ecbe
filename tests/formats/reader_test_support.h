#pragma once
// Helpers for the reader tests: LibreOffice's CSV oracles, read by a parser of their own so that
// a fault of the reader under test cannot hide in the comparison, and the reader's rows as text.

#include "formats/byte_source.h"
#include "formats/table_reader.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <utility>
#include <vector>

namespace quenda::test {

inline QByteArray dataBytes(const QString &relativePath)
{
    QFile file(QStringLiteral(QUENDA_TEST_DATA_DIR "/") + relativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes bytes to path (a test's own temporary file) and returns the path; empty on failure.
inline QString writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// RFC 4180 as LibreOffice writes it: comma, double quotes, LF record ends.
inline std::vector<QStringList> parseOracleCsv(const QByteArray &utf8)
{
    const QString text = QString::fromUtf8(utf8);
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool inQuotes = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"' && inQuotes && i + 1 < text.size() && text[i + 1] == u'"') {
            field += u'"';
            ++i;
        } else if (c == u'"') {
            inQuotes = !inQuotes;
        } else if (inQuotes || (c != u',' && c != u'\n')) {
            field += c;
        } else {
            row << field;
            field.clear();
            if (c == u'\n')
                rows.push_back(std::exchange(row, {}));
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows.push_back(row << field);
    return rows;
}

// Bytes that read well up to failFrom; a read reaching past it fails as a disk would, with the
// system's reason. It counts the bytes read, given a counter.
class FailingSource final : public ByteSource {
public:
    FailingSource(QByteArray bytes, qint64 failFrom, qint64 *read = nullptr)
        : m_bytes(std::move(bytes)), m_failFrom(failFrom), m_read(read)
    {
    }
    qint64 size() const override { return m_bytes.size(); }
    qint64 readAt(qint64 offset, char *dest, qint64 count) override
    {
        const qint64 n = std::clamp<qint64>(m_bytes.size() - offset, 0, count);
        if (offset + n > m_failFrom) {
            m_failed = true;
            return -1;
        }
        std::copy_n(m_bytes.constData() + offset, n, dest);
        if (m_read)
            *m_read += n;
        return n;
    }
    Status status() const override
    {
        return m_failed ? Status(fail(systemErrorText(EIO))) : Status();
    }

private:
    QByteArray m_bytes;
    qint64 m_failFrom;
    qint64 *m_read;
    bool m_failed = false;
};

// Every remaining record, each value through toString() (a null value reads as "").
inline std::vector<QStringList> readAllAsText(TableReader &reader)
{
    std::vector<QStringList> rows;
    QVariantList values;
    while (reader.next(values)) {
        QStringList row;
        for (const QVariant &v : values)
            row << v.toString();
        rows.push_back(row);
    }
    return rows;
}

// A file of tests/data/xls, and the rows of its oracle.
inline QString sheetData(const QString &name)
{
    return QStringLiteral(QUENDA_TEST_DATA_DIR "/xls/") + name;
}
inline QByteArray sheetBytes(const QString &name)
{
    return dataBytes(QStringLiteral("xls/") + name);
}
inline QList<QStringList> csvRows(const QString &name)
{
    const std::vector<QStringList> rows = parseOracleCsv(sheetBytes(name));
    return QList<QStringList>(rows.begin(), rows.end());
}

// A folder of ../shared/corpora (QUENDA_CORPORA_DIR in the environment names another place);
// empty when it is not there, and the test then skips.
inline QString corporaDir(const QString &sub = {})
{
    const QString root =
        qEnvironmentVariable("QUENDA_CORPORA_DIR", QStringLiteral(QUENDA_CORPORA_DIR));
    const QString dir = sub.isEmpty() ? root : root + QLatin1Char('/') + sub;
    return QFileInfo(dir).isDir() ? dir : QString();
}

// A corpus file; one stored as .gz is unpacked into dir. Empty when it is not there.
inline QString corpusFile(const QTemporaryDir &dir, const QString &folder, const QString &name)
{
    const QString base = corporaDir(folder);
    if (base.isEmpty())
        return {};
    const QString plain = base + QLatin1Char('/') + name;
    if (QFileInfo::exists(plain))
        return plain;
    if (!QFileInfo::exists(plain + QStringLiteral(".gz")))
        return {};
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), plain + QStringLiteral(".gz")});
    gzip.waitForFinished(60000);
    return writeBytes(dir.filePath(name), gzip.readAllStandardOutput());
}

} // namespace quenda::test

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
