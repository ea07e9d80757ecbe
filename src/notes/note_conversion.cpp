#include "notes/note_conversion.h"

#include "common/text_output.h"
#include "db/database.h"
#include "db/scans.h"
#include "formats/rtf_reader.h"
#include "notes/note_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

// Far above any note; a larger file is not read into memory.
constexpr qint64 kMaxDocumentBytes = qint64(256) << 20;

Error readFailure(const QString &path, int err)
{
    return fail(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), systemErrorText(err)),
                err);
}

// Recording the staging folder must finish even after a cancel: the notes it listed before may
// be gone already.
class Uncancelled {
public:
    explicit Uncancelled(JobControl &outer) : m_outer(outer) {}
    ~Uncancelled()
    {
        for (const ItemFailure &f : m_inner.failures())
            m_outer.fail(f.path, f.reason);
        if (!m_inner.error().isEmpty())
            m_outer.abort(m_inner.error());
    }
    JobControl &control() { return m_inner; }

private:
    JobControl &m_outer;
    JobControl m_inner;
};

} // namespace

QString decodePlainText(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

bool readsAsRichText(const QString &type, QByteArrayView head)
{
    return type.compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0 || looksLikeRtf(head);
}

Result<QByteArray> readDocumentBytes(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    // Opened without waiting, so a pipe that nobody writes to cannot hold the reader.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return readFailure(path, errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return readFailure(path, err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("%1: not a regular file").arg(QDir::toNativeSeparators(path)));
    }
    if (st.st_size > kMaxDocumentBytes) {
        ::close(fd);
        return fail(QStringLiteral("%1: larger than %2 MB")
                        .arg(QDir::toNativeSeparators(path))
                        .arg(kMaxDocumentBytes >> 20));
    }
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(st.st_size));
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return readFailure(path, err);
        }
        if (n == 0)
            break; // the file shrank meanwhile
        got += n;
    }
    ::close(fd);
    bytes.truncate(got);
    return bytes;
}

Result<QString> documentText(const QString &path, const QString &type)
{
    const Result<QByteArray> bytes = readDocumentBytes(path);
    if (!bytes)
        return bytes.error();
    return readsAsRichText(type, *bytes) ? rtfToPlainText(*bytes) : decodePlainText(*bytes);
}

QString noteFileName(const QString &application)
{
    return noteBaseName(stripfilename(application)) + QStringLiteral(".txt");
}

Status writeNoteFile(const QString &stagingDir, const QString &fileName, const QString &text)
{
    if (!isPlainFileName(fileName))
        return fail(QStringLiteral("%1 is not a plain file name").arg(fileName));
    if (!QDir().mkpath(stagingDir))
        return fail(QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(stagingDir)));
    return writeTextFile(QDir(stagingDir).filePath(fileName), withCrLf(text));
}

bool isInsideFolder(const QString &path, const QString &folder)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    QString root = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty() || root.isEmpty())
        return false;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return real.startsWith(root);
}

int deletePreviousNotes(const QStringList &paths, const QString &stagingDir, JobControl &control)
{
    int deleted = 0;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (path.isEmpty() || (!info.exists() && !info.isSymLink()))
            continue;
        const bool isNote = info.isFile() && !info.isSymLink() &&
                            info.suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
        if (!isNote || !isInsideFolder(path, stagingDir)) {
            control.fail(path, QStringLiteral("not deleted: it is not a note in the Ipod folder"));
            continue;
        }
        if (::unlink(QFile::encodeName(path).constData()) == 0)
            ++deleted;
        else
            control.fail(path, QStringLiteral("not deleted: %1").arg(systemErrorText(errno)));
    }
    return deleted;
}

ConversionOutcome convertDocuments(QSqlDatabase &db, const std::vector<NoteSource> &sources,
                                   const QStringList &previousNotes, const QString &stagingDir,
                                   JobControl &control)
{
    ConversionOutcome outcome;
    deletePreviousNotes(previousNotes, stagingDir, control);
    control.setTotal(static_cast<qint64>(sources.size()));
    for (const NoteSource &source : sources) {
        if (control.isCancelled())
            break;
        control.setItem(source.path);
        const Result<QString> type = recordedDocumentType(db, source.path);
        if (!type)
            control.fail(source.path, type.message());
        // A document that cannot be read still gives its (empty) note, and the reason is told.
        Result<QString> text = documentText(source.path, type ? *type : QString());
        if (!text)
            control.fail(source.path, text.message());
        outcome.lastApplication = source.application;
        outcome.lastText = text ? *text : QString();
        if (Status written =
                writeNoteFile(stagingDir, noteFileName(source.application), outcome.lastText);
            written)
            ++outcome.written;
        else
            control.fail(source.path, written.message());
        control.advance();
    }

    if (!QDir().mkpath(stagingDir))
        control.fail(stagingDir, QStringLiteral("the folder cannot be created"));
    Uncancelled recording(control);
    const ScanOutcome notes = scanIntoTable(db, stagingDir, QString::fromLatin1(kNoteMasks),
                                            ScanTable::Notes, recording.control());
    outcome.notesFound = notes.found;
    outcome.noteRows = notes.gridRows;
    return outcome;
}

ConversionOutcome runNoteConversion(const QString &databasePath,
                                    const std::vector<NoteSource> &sources,
                                    const QStringList &previousNotes, const QString &stagingDir,
                                    JobControl &control)
{
    Connection connection(databasePath);
    if (Status open = connection.status(); !open) {
        control.abort(open.message());
        return {};
    }
    return convertDocuments(connection.db(), sources, previousNotes, stagingDir, control);
}

} // namespace quenda
