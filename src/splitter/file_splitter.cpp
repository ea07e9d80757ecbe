#include "splitter/file_splitter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "fs/atomic_file.h"
#include "fs/native_path.h"
#include "fs/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace quenda {

namespace {

constexpr qint64 kReadBlock = 1 << 20;

SplitMessage failure(int number, const QString &description, const QString &path)
{
    return {QStringLiteral("Error: %1 - %2: %3")
                .arg(number)
                .arg(description, QDir::toNativeSeparators(path)),
            MsgIcon::None};
}

// errno is read straight after the failing call, before anything else can overwrite it.
SplitMessage openFailure(int savedErrno, const QString &path)
{
    if (savedErrno == EACCES || savedErrno == EPERM || savedErrno == EROFS)
        return failure(SplitPermissionDenied, QStringLiteral("Permission denied"), path);
    return failure(SplitAccessError, QStringLiteral("Path/File access error"), path);
}

SplitMessage writeFailure(int savedErrno, const QString &path)
{
    if (savedErrno == ENOSPC
#ifdef EDQUOT
        || savedErrno == EDQUOT
#endif
    )
        return failure(SplitDiskFull, QStringLiteral("Disk full"), path);
    return failure(SplitDeviceIoError, QStringLiteral("Device I/O error"), path);
}

// One piece being written: it goes to a temporary name beside its final one and takes that name
// only once whole, so a link at the name is replaced rather than followed and a failed piece
// leaves neither a fragment nor a damaged earlier file behind.
class PieceWriter {
public:
    bool open(const QString &path)
    {
        m_file = std::make_unique<AtomicFile>(path);
        return check(m_file->open(), true);
    }

    bool append(const char *data, qint64 size)
    {
        return check(m_file->write(QByteArrayView(data, static_cast<qsizetype>(size))), false);
    }

    bool close()
    {
        if (!m_file)
            return true;
        const bool ok = check(m_file->commit(), false);
        m_file.reset();
        return ok;
    }

    // Drops the piece at hand: nothing of it reaches its name.
    void discard() { m_file.reset(); }

    qint64 written() const { return m_file ? m_file->written() : 0; }
    const SplitMessage &error() const { return m_error; }

private:
    bool check(const Status &status, bool opening)
    {
        if (status)
            return true;
        const QString path = m_file->targetPath();
        m_error = opening ? openFailure(status.code(), path) : writeFailure(status.code(), path);
        return false;
    }

    std::unique_ptr<AtomicFile> m_file;
    SplitMessage m_error;
};

// A piece name that already names the file being split (a hard link beside it): writing the
// pieces would replace the user's own data under that name. Every entry of the folder that has
// the shape of a piece name is compared with the source by device and inode.
std::optional<QString> pieceThatIsTheSource(const QString &path, const struct stat &source)
{
    const QByteArray native = toNativePath(path);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : native.left(slash);
    const QByteArray name = native.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0)
        return std::nullopt;
    const QByteArray stem = name.left(dot);
    const QByteArray extension = name.mid(dot);

    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return std::nullopt; // the split itself reports a folder it cannot write into
    std::optional<QString> found;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView entryName(entry->d_name);
        if (entryName.size() <= stem.size() + extension.size() || !entryName.startsWith(stem) ||
            !entryName.endsWith(extension))
            continue;
        const QByteArrayView number =
            entryName.sliced(stem.size(), entryName.size() - stem.size() - extension.size());
        if (number.front() == '0' ||
            !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            st.st_dev == source.st_dev && st.st_ino == source.st_ino) {
            found = fromNativePath(folder + '/' + QByteArray(entryName.data(), entryName.size()));
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// The ordered list of pieces and the rule that ends one.
class Splitter {
public:
    Splitter(const QString &path, double size, SplitUnit unit, JobControl &control)
        : m_path(path), m_size(size), m_unit(unit), m_control(control)
    {
    }

    SplitResult run()
    {
        QFile source;
        if (Status opened = openRegularFile(m_path, source); !opened)
            return {-1, openFailure(opened.code(), m_path)};
        struct stat st {};
        if (::fstat(source.handle(), &st) != 0)
            return {-1, openFailure(errno, m_path)};
        if (const std::optional<QString> same = pieceThatIsTheSource(m_path, st))
            return {-1, SplitMessage{QStringLiteral("The piece %1 is the file being split itself "
                                                    "(a link to it); nothing was written.")
                                         .arg(QDir::toNativeSeparators(*same)),
                                     MsgIcon::Critical}};
        m_control.setTotal(st.st_size);
        if (!startPiece())
            return {-1, m_piece.error()};

        const auto block = std::make_unique<char[]>(kReadBlock);
        bool skipLf = false; // the previous block ended in CR: a leading LF belongs to it
        bool midLine = false;
        for (;;) {
            errno = 0;
            const qint64 got = source.read(block.get(), kReadBlock);
            if (got < 0) {
                m_piece.discard();
                return {-1,
                        failure(SplitDeviceIoError, QStringLiteral("Device I/O error"), m_path)};
            }
            if (got == 0)
                break;
            const char *data = block.get();
            qint64 pos = 0;
            if (skipLf && data[0] == '\n')
                pos = 1;
            skipLf = false;
            // Positions of the next CR and LF, searched again only once passed, so a file
            // that has only one kind is not rescanned for the other on every line.
            qint64 nextCr = -1, nextLf = -1;
            while (pos < got) {
                if (nextCr < pos)
                    nextCr = find(data, pos, got, '\r');
                if (nextLf < pos)
                    nextLf = find(data, pos, got, '\n');
                const qint64 end = std::min(nextCr, nextLf);
                if (end == got) {
                    if (!m_piece.append(data + pos, got - pos))
                        return abort();
                    midLine = true;
                    break;
                }
                if (!m_piece.append(data + pos, end - pos) || !endLine())
                    return abort();
                midLine = false;
                if (m_control.isCancelled())
                    return stop();
                pos = end + 1;
                if (data[end] == '\r') {
                    if (pos == got)
                        skipLf = true;
                    else if (data[pos] == '\n')
                        ++pos;
                }
            }
            m_read += got;
            m_control.setDone(m_read);
        }
        // A last line without a line end is still a line.
        if (midLine && !endLine())
            return abort();
        if (!m_piece.close())
            return {-1, m_piece.error()};
        return {m_number, std::nullopt};
    }

private:
    static qint64 find(const char *data, qint64 from, qint64 to, char c)
    {
        const void *hit = std::memchr(data + from, c, static_cast<size_t>(to - from));
        return hit ? static_cast<const char *>(hit) - data : to;
    }

    bool startPiece()
    {
        const QString name = pieceName(m_path, m_number);
        m_control.setItem(name);
        return m_piece.open(name);
    }

    // Cancelled at a line end: the piece at hand is closed as it stands.
    SplitResult stop()
    {
        if (!m_piece.close())
            return {-1, m_piece.error()};
        return {m_number, std::nullopt, true};
    }

    bool pieceIsFull() const
    {
        switch (m_unit) {
        case SplitUnit::KB:
            return static_cast<double>(m_piece.written()) / 1024.0 >= m_size;
        case SplitUnit::MB:
            return static_cast<double>(m_piece.written()) / (1024.0 * 1024.0) >= m_size;
        case SplitUnit::Lines:
            break;
        }
        // A size that is no whole number of lines never matches: the whole file is one piece.
        return static_cast<double>(m_lines) == m_size;
    }

    bool endLine()
    {
        if (!m_piece.append("\r\n", 2))
            return false;
        if (pieceIsFull()) {
            if (!m_piece.close())
                return false;
            ++m_number;
            m_lines = 0;
            if (!startPiece())
                return false;
        }
        ++m_lines;
        return true;
    }

    SplitResult abort()
    {
        m_piece.discard();
        return {-1, m_piece.error()};
    }

    QString m_path;
    double m_size;
    SplitUnit m_unit;
    JobControl &m_control;
    PieceWriter m_piece;
    qint64 m_read = 0;
    int m_number = 1;
    qint64 m_lines = 1;
};

bool isTooSmall(qint64 bytes, double size, SplitUnit unit)
{
    switch (unit) {
    case SplitUnit::KB:
        return static_cast<double>(bytes) / 1024.0 <= size;
    case SplitUnit::MB:
        return static_cast<double>(bytes) / (1024.0 * 1024.0) <= size;
    case SplitUnit::Lines:
        break;
    }
    return false;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

} // namespace

QString unitWord(SplitUnit unit)
{
    switch (unit) {
    case SplitUnit::KB:
        return QStringLiteral("KB");
    case SplitUnit::MB:
        return QStringLiteral("MB");
    case SplitUnit::Lines:
        break;
    }
    return QStringLiteral("Lines");
}

QString pieceName(const QString &path, int number)
{
    qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
#ifdef Q_OS_WIN
    nameStart = std::max(nameStart, path.lastIndexOf(QLatin1Char('\\')) + 1);
#endif
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        return QString();
    return path.left(dot) + QString::number(number) + path.mid(dot);
}

double leadingNumber(const QString &text)
{
    // Blanks anywhere are ignored and the number stops at the first character that cannot
    // continue it.
    QString compact;
    for (QChar c : text) {
        if (!isBlank(c))
            compact += c;
    }
    qsizetype i = 0;
    const qsizetype n = compact.size();
    auto digits = [&] {
        const qsizetype from = i;
        while (i < n && compact[i].isDigit() && compact[i].unicode() < 128)
            ++i;
        return i > from;
    };
    if (i < n && (compact[i] == QLatin1Char('+') || compact[i] == QLatin1Char('-')))
        ++i;
    bool any = digits();
    if (i < n && compact[i] == QLatin1Char('.')) {
        ++i;
        any = digits() || any;
    }
    if (!any)
        return 0.0;
    qsizetype end = i;
    if (i < n && (compact[i] == QLatin1Char('e') || compact[i] == QLatin1Char('E'))) {
        ++i;
        if (i < n && (compact[i] == QLatin1Char('+') || compact[i] == QLatin1Char('-')))
            ++i;
        if (digits())
            end = i;
    }
    QString number = compact.left(end);
    if (number.endsWith(QLatin1Char('.')))
        number.chop(1);
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

SplitResult SplitFile(const QString &path, double size, SplitUnit unit, JobControl &control)
{
    // The name's own bytes: a name that is not valid UTF-8 is found as well.
    struct stat info {};
    if (path.isEmpty() || ::stat(toNativePath(path).constData(), &info) != 0 ||
        !S_ISREG(info.st_mode))
        return {-1,
                SplitMessage{QStringLiteral("File: %1 not found!").arg(path), MsgIcon::Critical}};
    if (pieceName(path, 1).isEmpty())
        return {-1, SplitMessage{QStringLiteral("file extension is required!!!"), MsgIcon::None}};
    if (isTooSmall(info.st_size, size, unit))
        return {-1, SplitMessage{QStringLiteral("The file you want to split is smaller then then "
                                                "size you specified!!!"),
                                 MsgIcon::None}};
    return Splitter(path, size, unit, control).run();
}

SplitCommandResult checkSplitCommand(const QString &path, const QString &sizeText, SplitUnit unit)
{
    SplitCommandResult result;
    if (path.isEmpty()) {
        result.messages.push_back(
            {QStringLiteral("Please specify the file to be splitted."), MsgIcon::None});
        return result;
    }
    const double size = leadingNumber(sizeText);
    // A size of 0 KB or MB ("0", ".", "0.0") would end a piece after every line: a file of a
    // million lines would become a million files. It is refused as an empty size is.
    if (sizeText.isEmpty() || (unit != SplitUnit::Lines && size <= 0.0)) {
        const QString what =
            unit == SplitUnit::Lines ? QStringLiteral("Number of Lines") : unitWord(unit);
        result.messages.push_back(
            {QStringLiteral("Invalid %1 value!").arg(what), MsgIcon::Critical});
        result.focusSize = true;
        return result;
    }
    if (unit == SplitUnit::KB && size > 1024.0) {
        result.messages.push_back({QStringLiteral("Maximum KB = 1024"), MsgIcon::None});
        result.sizeText = QStringLiteral("1024");
        result.focusSize = true;
        return result;
    }
    result.request = SplitRequest{path, sizeText, size, unit};
    return result;
}

std::vector<SplitMessage> splitMessages(const SplitRequest &request, const SplitResult &split)
{
    std::vector<SplitMessage> messages;
    if (split.message)
        messages.push_back(*split.message);
    if (split.pieces == -1) {
        messages.push_back({QStringLiteral("Process failed..."), MsgIcon::Critical});
        return messages;
    }
    if (split.stopped) {
        messages.push_back({QStringLiteral("The split of %1 was stopped: %2 files were written, "
                                           "the last one ends with a whole line.")
                                .arg(request.path)
                                .arg(split.pieces),
                            MsgIcon::Exclamation});
        return messages;
    }
    const QString word = unitWord(request.unit);
    messages.push_back(
        {QStringLiteral("The file %1 has been splitted into %2 files each containing  %3 %4\r"
                        "The last file may contain less then %3 %4")
             .arg(request.path, QString::number(split.pieces), request.sizeText, word),
         MsgIcon::Information});
    return messages;
}

SplitCommandResult runSplitCommand(const QString &path, const QString &sizeText, SplitUnit unit,
                                   JobControl &control)
{
    SplitCommandResult result = checkSplitCommand(path, sizeText, unit);
    if (!result.request)
        return result;
    const SplitResult split =
        SplitFile(result.request->path, result.request->size, result.request->unit, control);
    result.pieces = split.pieces;
    result.stopped = split.stopped;
    result.messages = splitMessages(*result.request, split);
    return result;
}

} // namespace quenda
