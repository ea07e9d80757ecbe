#include "splitter/file_splitter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "fs/atomic_file.h"
#include "fs/copy_run.h"
#include "fs/native_path.h"
#include "fs/regular_file.h"
#include "fs/temp_names.h"
#include "fs/unique_fd.h"
#include "splitter/line_scan.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quenda {

namespace {

// Rewritten lines gather in a buffer until there is this much of them: AtomicFile hands a
// chunk of this size or more straight to the file instead of copying it into a buffer of its own.
constexpr size_t kStraightWrite = 256 * 1024;

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
// only once whole and on the disk, so a link at the name is replaced rather than followed and a
// failed piece leaves neither a fragment nor a damaged earlier file behind. Finished pieces wait
// in the split's copy run, which flushes them a batch at a time. Text that needs no rewriting goes
// to the file as it stands, straight from the read block; lines whose end is rewritten gather
// in one buffer that lives as long as the split, so no line costs a write of its own.
class PieceWriter {
public:
    PieceWriter() : m_lines(std::make_unique_for_overwrite<char[]>(kLinesCapacity)) {}

    bool open(const QString &path, AtomicFileOptions options)
    {
        m_file = std::make_unique<AtomicFile>(path, std::move(options));
        m_written = 0;
        m_gathered = 0;
        return check(m_file->open(), true);
    }

    // Text that goes into the piece as it stands.
    bool append(const char *data, size_t size)
    {
        m_written += static_cast<qint64>(size);
        return flushLines() && write(data, size);
    }

    // A line's text (or its last part) and then CR LF.
    bool appendLine(const char *data, size_t size)
    {
        m_written += static_cast<qint64>(size) + 2;
        if (size >= kStraightWrite) {
            if (!flushLines() || !write(data, size))
                return false;
            size = 0;
        }
        if (m_gathered + size + 2 > kLinesCapacity && !flushLines())
            return false;
        if (size > 0)
            std::memcpy(m_lines.get() + m_gathered, data, size);
        std::memcpy(m_lines.get() + m_gathered + size, "\r\n", 2);
        m_gathered += size + 2;
        return m_gathered < kStraightWrite || flushLines();
    }

    bool close()
    {
        if (!m_file)
            return true;
        const bool ok = flushLines() && check(m_file->commit(), false);
        m_file.reset();
        return ok;
    }

    // Drops the piece at hand: nothing of it reaches its name.
    void discard()
    {
        m_file.reset();
        m_gathered = 0;
    }

    // Bytes of the piece so far, whether or not they have reached the file yet.
    qint64 written() const { return m_written; }
    const SplitMessage &error() const { return m_error; }

private:
    static constexpr size_t kLinesCapacity = 2 * kStraightWrite;

    bool flushLines()
    {
        if (m_gathered == 0)
            return true;
        return write(m_lines.get(), std::exchange(m_gathered, 0));
    }

    bool write(const char *data, size_t size)
    {
        return check(m_file->write(QByteArrayView(data, static_cast<qsizetype>(size))), false);
    }

    bool check(const Status &status, bool opening)
    {
        if (status)
            return true;
        const QString path = m_file->targetPath();
        m_error = opening ? openFailure(status.code(), path) : writeFailure(status.code(), path);
        return false;
    }

    std::unique_ptr<AtomicFile> m_file;
    std::unique_ptr<char[]> m_lines;
    size_t m_gathered = 0;
    qint64 m_written = 0;
    SplitMessage m_error;
};

// The folder of `path`, as the system names it.
QByteArray nativeFolderOf(const QString &path)
{
    const QByteArray native = toNativePath(path);
    const qsizetype slash = native.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : native.left(slash);
}

// A piece name that already names the file being split (a hard link beside it): writing the
// pieces would replace the user's own data under that name. Every entry of the folder that has
// the shape of a piece name is compared with the source by device and inode.
std::optional<QString> pieceThatIsTheSource(const QString &path, const struct stat &source)
{
    const QByteArray native = toNativePath(path);
    const QByteArray folder = nativeFolderOf(path);
    const QByteArray name = native.mid(native.lastIndexOf('/') + 1);
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

// The number of lines that fills a piece, or 0 when no count of lines ever matches the size
// (0, a negative size, one with a fraction): then the whole file is one piece.
qint64 lineTarget(double size)
{
    if (size >= 1.0 && size < 4e18 && std::floor(size) == size)
        return static_cast<qint64>(size);
    return 0;
}

// The smallest byte count that fills a piece of `size` units of `unitBytes`, found by the very
// comparison that decides it so that no rounding can move a piece's end.
qint64 byteTarget(double size, double unitBytes)
{
    const auto full = [&](qint64 bytes) { return static_cast<double>(bytes) / unitBytes >= size; };
    if (full(0))
        return 0;
    const double estimate = std::ceil(size * unitBytes);
    if (!(estimate < 4e18))
        return std::numeric_limits<qint64>::max(); // no file is that large
    qint64 bytes = static_cast<qint64>(estimate);
    while (bytes > 0 && full(bytes - 1))
        --bytes;
    while (!full(bytes))
        ++bytes;
    return bytes;
}

constexpr size_t kPageSize = 4096;

struct FreeMemory {
    void operator()(char *memory) const { std::free(memory); }
};

ssize_t readSome(int fd, char *data, size_t size)
{
    for (;;) {
        const ssize_t got = ::read(fd, data, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

// The ordered list of pieces and the rule that ends one.
//
// The source is read in large blocks. Within a block, text whose lines end in CR LF is copied to
// the piece unchanged, in as few writes as the pieces' edges allow; only a CR or LF on its own
// is rewritten as CR LF. A piece ends after the line that fills it: the line walk stops there
// (the n-th line end, or the first line end at or past the byte that fills the piece).
class Splitter {
public:
    Splitter(const QString &path, double size, SplitUnit unit, JobControl &control)
        : m_path(path), m_unit(unit), m_control(control)
    {
        switch (unit) {
        case SplitUnit::Lines:
            m_lineTarget = lineTarget(size);
            break;
        case SplitUnit::KB:
            m_byteTarget = byteTarget(size, 1024.0);
            break;
        case SplitUnit::MB:
            m_byteTarget = byteTarget(size, 1024.0 * 1024.0);
            break;
        }
    }

    // Every piece written is placed (or its failure known) before the result is given.
    SplitResult run()
    {
        SplitResult result = splitAll();
        m_piece.discard();
        m_run.finish();
        if (result.pieces == -1)
            return result;
        if (m_placeFailure)
            return {-1, *m_placeFailure};
        if (const std::vector<ItemFailure> folders = m_runControl.failures(); !folders.empty())
            return {-1, failure(SplitDeviceIoError, QStringLiteral("Device I/O error"),
                                folders.front().path)};
        return result;
    }

private:
    SplitResult splitAll()
    {
        Result<UniqueFd> source = openRegularFile(m_path);
        if (!source)
            return {-1, openFailure(source.code(), m_path)};
        const int fd = source->get();
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return {-1, openFailure(errno, m_path)};
        if (const std::optional<QString> same = pieceThatIsTheSource(m_path, st))
            return {-1, SplitMessage{QStringLiteral("The piece %1 is the file being split itself "
                                                    "(a link to it); nothing was written.")
                                         .arg(QDir::toNativeSeparators(*same)),
                                     MsgIcon::Critical}};
        // The pieces' folder is opened once for all of them. A split killed half-way leaves
        // its pieces' temporaries there; the run clears them (only those of writers that no
        // longer run) before the first piece.
        const QByteArray folderPath = nativeFolderOf(m_path);
        auto [folder, folderError] =
            m_run.openFolder(AT_FDCWD, folderPath, fromNativePath(folderPath), true);
        if (!folder)
            return {-1, openFailure(folderError, pieceName(m_path, 1))};
        m_run.writingInto(folder);
        m_folder = std::move(folder);
        (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        m_control.setTotal(st.st_size);
        if (!startPiece())
            return abort();

        // Blocks are read to a page-aligned address, where the kernel copies fastest; the byte
        // in front of it holds a CR that ended the block before.
        const std::unique_ptr<char, FreeMemory> buffer(
            static_cast<char *>(std::aligned_alloc(kPageSize, kPageSize + kSplitReadBlock)));
        if (!buffer)
            throw std::bad_alloc();
        char *const block = buffer.get() + kPageSize;
        bool carriedCr = false;
        for (;;) {
            const ssize_t got = readSome(fd, block, kSplitReadBlock);
            if (got < 0) {
                m_piece.discard();
                return {-1,
                        failure(SplitDeviceIoError, QStringLiteral("Device I/O error"), m_path)};
            }
            const char *data = carriedCr ? block - 1 : block;
            const size_t size = static_cast<size_t>(got) + (carriedCr ? 1 : 0);
            if (size == 0)
                break;
            // A CR that ends a block waits for the next one to show whether an LF follows.
            carriedCr = got > 0 && data[size - 1] == '\r';
            if (const std::optional<SplitResult> ended = split(data, size - (carriedCr ? 1 : 0)))
                return *ended;
            if (carriedCr)
                block[-1] = '\r';
            m_read += got;
            m_control.setDone(m_read);
            if (got == 0)
                break;
        }
        // A last line without a line end is still a line.
        if (m_midLine && !(m_piece.appendLine(nullptr, 0) && endLine()))
            return abort();
        if (!m_piece.close())
            return abort();
        return {m_number, std::nullopt};
    }

    // Writes data[0, size) into the pieces. Returns the split's result when it ends here: on an
    // error, or at the first line end after a cancel.
    std::optional<SplitResult> split(const char *data, size_t size)
    {
        size_t pos = 0;
        while (pos < size) {
            const bool cancelled = m_control.isCancelled();
            qint64 maxPairs = kNoPairLimit;
            size_t minLf = kNoMinLf;
            if (cancelled) {
                maxPairs = 1;
            } else if (m_lineTarget > 0) {
                maxPairs = m_lineTarget - m_lines;
            } else if (m_unit != SplitUnit::Lines) {
                // Text up to a CR LF is written as it stands, so the line whose LF lies at
                // pos + need - 1 or later is the one that fills the piece.
                const qint64 need = m_byteTarget - m_piece.written();
                if (need <= 1)
                    minLf = pos;
                else if (static_cast<quint64>(need - 1) < size - pos)
                    minLf = pos + static_cast<size_t>(need - 1);
            }
            const LineScan scan = scanLineEnds(data, pos, size, maxPairs, minLf);
            m_lines += scan.pairs;
            bool ok = true;
            switch (scan.stop) {
            case LineScan::End:
                if (!m_piece.append(data + pos, size - pos))
                    return abort();
                // A CR LF at the end was passed with the others; anything else is a line's start.
                m_midLine = data[size - 1] != '\n';
                return std::nullopt;
            case LineScan::LineEnd:
                ok = m_piece.append(data + pos, scan.at + 1 - pos) && endLine();
                break;
            case LineScan::LoneEnd:
                ok = m_piece.appendLine(data + pos, scan.at - pos) && endLine();
                break;
            }
            if (!ok)
                return abort();
            pos = scan.at + 1;
            if (cancelled)
                return stop();
        }
        return std::nullopt;
    }

    bool startPiece()
    {
        const QString name = pieceName(m_path, m_number);
        m_control.setItem(name);
        AtomicFileOptions options;
        options.run = &m_run;
        options.startWriteback = true;
        options.folder = m_folder;
        options.placed = [this, name](const CopiedFile &placed) {
            if (placed.fate != CopiedFile::Fate::Placed && !m_placeFailure)
                m_placeFailure = writeFailure(placed.error, name);
        };
        return m_piece.open(name, std::move(options));
    }

    // Cancelled at a line end: the piece at hand is closed as it stands.
    SplitResult stop()
    {
        if (!m_piece.close())
            return abort();
        return {m_number, std::nullopt, true};
    }

    bool pieceIsFull() const
    {
        if (m_unit == SplitUnit::Lines)
            return m_lineTarget > 0 && m_lines == m_lineTarget;
        return m_piece.written() >= m_byteTarget;
    }

    // A line and its CR LF are in the piece: count it and start the next piece if it is full.
    bool endLine()
    {
        ++m_lines;
        m_midLine = false;
        if (pieceIsFull()) {
            // A batch that could not be placed ends the split: no piece after it goes on.
            if (!m_piece.close() || m_placeFailure)
                return false;
            ++m_number;
            m_lines = 0;
            if (!startPiece())
                return false;
        }
        return true;
    }

    SplitResult abort()
    {
        m_piece.discard();
        return {-1, m_placeFailure ? *m_placeFailure : m_piece.error()};
    }

    QString m_path;
    SplitUnit m_unit;
    JobControl &m_control;
    qint64 m_lineTarget = 0;
    qint64 m_byteTarget = 0;
    // The run outlives the piece being written; its folder flush reports to a control of its
    // own, read once the run is finished.
    JobControl m_runControl;
    CopyRun m_run{m_runControl, false};
    TargetFolderRef m_folder;
    std::optional<SplitMessage> m_placeFailure; // the first piece the run could not place
    PieceWriter m_piece;
    qint64 m_read = 0;
    int m_number = 1;
    qint64 m_lines = 0;     // whole lines in the piece at hand
    bool m_midLine = false; // the piece at hand ends inside a line
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
