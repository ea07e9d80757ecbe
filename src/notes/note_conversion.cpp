#include "notes/note_conversion.h"

#include "common/note_names.h"
#include "db/database.h"
#include "db/scans.h"
#include "formats/rtf_reader.h"
#include "fs/atomic_file.h"
#include "fs/copy_run.h"
#include "fs/native_path.h"
#include "fs/regular_file.h"
#include "fs/text_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

constexpr qint64 kBlockBytes = qint64(32) << 10; // small enough for the heap to reuse

Error readFailure(const QString &path, int err)
{
    return fail(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), systemErrorText(err)),
                err);
}

Error tooLarge(const QString &path, qint64 limit)
{
    return fail(QStringLiteral("%1 is larger than %2 MB, the most a note may hold in memory; it "
                               "was not read")
                    .arg(QDir::toNativeSeparators(path))
                    .arg(limit >> 20),
                EFBIG);
}

// Reads up to size bytes; fewer only at the end of the file.
Result<QByteArray> readUpTo(int fd, const QString &path, qint64 size)
{
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(size));
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return readFailure(path, errno);
        if (n == 0)
            break; // the file shrank meanwhile
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

QString realPath(const QString &path)
{
    char *real = ::realpath(toNativePath(path).constData(), nullptr);
    if (!real)
        return QString();
    const QString text = fromNativePath(real);
    std::free(real);
    return text;
}

// Line ends of a text that arrives in blocks turned into CR LF; a CR at the end of one block
// waits for the next, so a CR LF across a block edge stays one line end.
class CrLfStream {
public:
    QString take(QStringView text)
    {
        QString out;
        out.reserve(text.size() + text.size() / 16 + 2);
        const QChar *data = text.data();
        const qsizetype size = text.size();
        qsizetype i = 0;
        if (m_pendingCr && size > 0) {
            m_pendingCr = false;
            out += QLatin1String("\r\n");
            if (data[0] == QLatin1Char('\n'))
                i = 1;
        }
        while (i < size) {
            qsizetype end = i;
            while (end < size && data[end] != QLatin1Char('\r') && data[end] != QLatin1Char('\n'))
                ++end;
            out.append(data + i, end - i);
            if (end == size)
                break;
            if (data[end] == QLatin1Char('\r') && end + 1 == size) {
                m_pendingCr = true;
                break;
            }
            out += QLatin1String("\r\n");
            const bool crLf = data[end] == QLatin1Char('\r') && data[end + 1] == QLatin1Char('\n');
            i = end + (crLf ? 2 : 1);
        }
        return out;
    }
    QString finish()
    {
        return std::exchange(m_pendingCr, false) ? QStringLiteral("\r\n") : QString();
    }

private:
    bool m_pendingCr = false;
};

bool hasUndefinedWindows1252Byte(QByteArrayView bytes)
{
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            return true;
    }
    return false;
}

// Keeps the first kPreviewBytes characters of a text that arrives in blocks.
class PreviewBuffer {
public:
    void add(QStringView text)
    {
        const qsizetype room = static_cast<qsizetype>(kPreviewBytes) - m_text.size();
        if (room > 0)
            m_text += text.first(std::min(room, text.size()));
        m_total += text.size();
    }
    QString text() const
    {
        return m_total > m_text.size() ? m_text + previewCutNote(m_text.size(), m_total) : m_text;
    }

private:
    QString m_text;
    qint64 m_total = 0;
};

// Plain text in two passes over the file: the first learns whether it is UTF-8 and whether the
// note fits Windows-1252, the second writes the note block by block. Memory stays at a block
// whatever the size of the file.
Status convertPlainText(int fd, const QString &source, AtomicFile &note, QString *preview)
{
    QStringDecoder probe(QStringDecoder::Utf8);
    bool utf8 = true;
    bool fits = true;
    bool undefined = false;
    for (;;) {
        Result<QByteArray> block = readUpTo(fd, source, kBlockBytes);
        if (!block)
            return block.error();
        if (block->isEmpty())
            break;
        if (utf8) {
            const QString text = probe.decode(*block);
            utf8 = !probe.hasError();
            fits = fits && fitsWindows1252(text);
        }
        undefined = undefined || hasUndefinedWindows1252Byte(*block);
    }
    if (utf8) {
        const QString rest = probe.decode(QByteArrayView());
        utf8 = !probe.hasError();
        fits = fits && fitsWindows1252(rest);
    }
    if (!utf8)
        fits = !undefined;
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return readFailure(source, errno);

    QStringDecoder decoder(QStringDecoder::Utf8);
    CrLfStream lines;
    PreviewBuffer shown;
    bool first = true;
    auto put = [&](const QString &text) {
        shown.add(text);
        return note.write(fits ? toWindows1252(text) : text.toUtf8());
    };
    for (;;) {
        Result<QByteArray> block = readUpTo(fd, source, kBlockBytes);
        if (!block)
            return block.error();
        if (block->isEmpty())
            break;
        QByteArrayView bytes(*block);
        if (std::exchange(first, false) && bytes.startsWith("\xEF\xBB\xBF"))
            bytes = bytes.sliced(3);
        const QString text = utf8 ? decoder.decode(bytes) : fromWindows1252(bytes);
        if (Status s = put(lines.take(text)); !s)
            return s;
    }
    if (Status s = put(lines.finish()); !s)
        return s;
    if (preview)
        *preview = shown.text();
    return note.commit();
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
        if (const Status inner = m_inner.status(); !inner)
            m_outer.abort(inner.error());
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

bool readsAsRichText(QByteArrayView head)
{
    return looksLikeRtf(head);
}

Result<QByteArray> readDocumentBytes(const QString &path, qint64 limit)
{
    Result<UniqueFd> fd = openRegularFile(path);
    if (!fd)
        return fd.error();
    struct stat st {};
    if (::fstat(fd->get(), &st) != 0)
        return readFailure(path, errno);
    if (st.st_size > limit)
        return tooLarge(path, limit);
    return readUpTo(fd->get(), path, st.st_size);
}

QString previewCutNote(qint64 shownBytes, qint64 totalBytes)
{
    return QStringLiteral("\r\n\r\n[... The preview shows the first %1 KB of %2 KB.]")
        .arg(shownBytes >> 10)
        .arg((totalBytes + 1023) >> 10);
}

Result<QString> documentText(const QString &path)
{
    const Result<QByteArray> bytes = readDocumentBytes(path);
    if (!bytes)
        return bytes.error();
    return documentTextOf(*bytes);
}

QString documentTextOf(QByteArrayView bytes)
{
    return readsAsRichText(bytes) ? rtfToPlainText(bytes) : decodePlainText(bytes);
}

Result<QString> documentPreview(const QString &path)
{
    Result<UniqueFd> fd = openRegularFile(path);
    if (!fd)
        return fd.error();
    struct stat st {};
    if (::fstat(fd->get(), &st) != 0)
        return readFailure(path, errno);
    const Result<QByteArray> head =
        readUpTo(fd->get(), path, std::min<qint64>(st.st_size, kPreviewBytes));
    if (!head)
        return head.error();
    // The start of an RTF file gives the start of its text: groups left open end with the bytes.
    QString text = readsAsRichText(*head) ? rtfToPlainText(*head) : decodePlainText(*head);
    if (st.st_size > head->size())
        text += previewCutNote(head->size(), st.st_size);
    return text;
}

QString noteFileName(const QString &application)
{
    return noteBaseName(stripfilename(application)) + QStringLiteral(".txt");
}

Status writeNoteFile(const QString &stagingDir, const QString &fileName, const QString &text,
                     AtomicFileOptions options)
{
    if (!isPlainFileName(fileName))
        return fail(QStringLiteral("%1 is not a plain file name").arg(fileName));
    if (!QDir().mkpath(stagingDir))
        return fail(QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(stagingDir)));
    return writeFileAtomically(QDir(stagingDir).filePath(fileName), encodeForDevice(withCrLf(text)),
                               std::move(options));
}

Status convertDocument(const QString &source, const QString &target, QString *preview,
                       AtomicFileOptions options)
{
    Result<UniqueFd> fd = openRegularFile(source);
    if (!fd)
        return fd.error();
    struct stat st {};
    if (::fstat(fd->get(), &st) != 0)
        return readFailure(source, errno);
    const Result<QByteArray> head = readUpTo(fd->get(), source, 64);
    if (!head)
        return head.error();
    AtomicFile note(target, std::move(options));
    if (!readsAsRichText(*head)) {
        if (::lseek(fd->get(), 0, SEEK_SET) != 0)
            return readFailure(source, errno);
        if (Status opened = note.open(); !opened)
            return opened;
        return convertPlainText(fd->get(), source, note, preview);
    }
    if (st.st_size > kMaxDocumentBytes)
        return tooLarge(source, kMaxDocumentBytes);
    if (::lseek(fd->get(), 0, SEEK_SET) != 0)
        return readFailure(source, errno);
    const Result<QByteArray> rtf = readUpTo(fd->get(), source, st.st_size);
    if (!rtf)
        return rtf.error();
    const QString text = withCrLf(rtfToPlainText(*rtf));
    if (Status opened = note.open(); !opened)
        return opened;
    if (Status written = note.write(encodeForDevice(text)); !written)
        return written;
    if (preview) {
        *preview = text.left(static_cast<qsizetype>(kPreviewBytes));
        if (text.size() > preview->size())
            *preview += previewCutNote(preview->size(), text.size());
    }
    return note.commit();
}

bool isInsideFolder(const QString &path, const QString &folder)
{
    const QString real = realPath(path);
    QString root = realPath(folder);
    if (real.isEmpty() || root.isEmpty())
        return false;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return real.startsWith(root);
}

int deletePreviousNotes(const QStringList &paths, const QString &stagingDir, JobControl &control,
                        const QStringList &keep)
{
    QStringList kept;
    for (const QString &path : keep)
        kept << QDir::cleanPath(QDir::fromNativeSeparators(path));
    int deleted = 0;
    for (const QString &path : paths) {
        if (path.isEmpty() || kept.contains(QDir::cleanPath(QDir::fromNativeSeparators(path))))
            continue;
        const QByteArray native = toNativePath(path);
        struct stat st {};
        if (::lstat(native.constData(), &st) != 0)
            continue;
        const bool isNote =
            S_ISREG(st.st_mode) && path.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive);
        if (!isNote || !isInsideFolder(path, stagingDir)) {
            control.fail(path, QStringLiteral("not deleted: it is not a note in the Ipod folder"));
            continue;
        }
        if (::unlink(native.constData()) == 0)
            ++deleted;
        else
            control.fail(path, QStringLiteral("not deleted: %1").arg(systemErrorText(errno)));
    }
    return deleted;
}

QString conversionMessage(const ConversionOutcome &outcome)
{
    QString text = outcome.notesFound == 0 ? QStringLiteral("File Not Found")
                                           : QStringLiteral("File Converted");
    if (outcome.failed > 0)
        text += QStringLiteral("\n%1 of %2 documents could not be converted; their earlier notes, "
                               "if any, were kept.")
                    .arg(outcome.failed)
                    .arg(outcome.failed + outcome.written);
    return text;
}

ConversionOutcome convertDocuments(QSqlDatabase &db, const std::vector<NoteSource> &sources,
                                   const QStringList &previousNotes, const QString &stagingDir,
                                   JobControl &control)
{
    ConversionOutcome outcome;
    QStringList targets;
    for (const NoteSource &source : sources)
        targets << QDir(stagingDir).filePath(noteFileName(source.application));
    deletePreviousNotes(previousNotes, stagingDir, control, targets);
    if (!QDir().mkpath(stagingDir)) {
        control.abort(QStringLiteral("The folder %1 cannot be created.")
                          .arg(QDir::toNativeSeparators(stagingDir)));
        return outcome;
    }
    control.setTotal(static_cast<qint64>(sources.size()));
    {
        CopyRun run(control, false);
        // A note that converted but did not reach its name counts as a failed document.
        const auto landed = [&outcome, &control](const QString &source, const QString &target) {
            return [&outcome, &control, source, target](const CopiedFile &file) {
                if (const Status placed = placedStatus(file, target); !placed) {
                    --outcome.written;
                    ++outcome.failed;
                    control.fail(source, placed.message());
                }
            };
        };
        for (const NoteSource &source : sources) {
            if (control.isCancelled())
                break;
            control.setItem(source.path);
            const QString fileName = noteFileName(source.application);
            const QString target = QDir(stagingDir).filePath(fileName);
            AtomicFileOptions options;
            options.run = &run;
            options.placed = landed(source.path, target);
            QString preview;
            const Status converted =
                isPlainFileName(fileName)
                    ? convertDocument(source.path, target, &preview, std::move(options))
                    : Status(fail(QStringLiteral("%1 is not a plain file name").arg(fileName)));
            if (converted) {
                ++outcome.written;
                outcome.lastApplication = source.application;
                outcome.lastText = preview;
            } else {
                ++outcome.failed;
                control.fail(source.path, converted.message());
            }
            control.advance();
        }
        run.finish();
    }

    Uncancelled recording(control);
    const ScanOutcome notes = scanIntoTable(db, stagingDir, QString::fromLatin1(kNoteMasks),
                                            ScanTable::Notes, recording.control());
    outcome.notesFound = notes.found;
    outcome.noteRows = notes.rows;
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
