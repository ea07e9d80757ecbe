#include "player/player_send.h"

#include "player/player_list_model.h"

#include "common/paths.h"
#include "fs/atomic_file.h"
#include "fs/copy_run.h"
#include "fs/item_pacer.h"
#include "fs/native_path.h"
#include "fs/regular_file.h"
#include "fs/unique_fd.h"
#include "player/fat_names.h"
#include "player/note_pieces.h"

#include <QDir>
#include <QLocale>
#include <QMutex>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace quenda {

namespace {

constexpr qint64 kSourceCap = 64 * 1024 * 1024;
constexpr qsizetype kListedNames = 20;

const QString kContacts = QStringLiteral("Contacts");
const QString kNotes = QStringLiteral("Notes");

bool hasSuffix(const QString &name, QLatin1StringView suffix)
{
    return name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive);
}

struct FolderCheck {
    QString path; // as found on the player, or where it will be made
    bool exists = false;
    QString refusal;
};

// The player's folder of that name, under any letter case: the player's own file system makes
// no difference, and a copy of its files on another disk may spell it otherwise. Never a link
// and never a file: writing through either would put the files somewhere else.
FolderCheck checkFolder(const QString &root, const QString &name, const QString &playerName)
{
    FolderCheck check;
    check.path = root + QLatin1Char('/') + name;
    QString found;
    if (DIR *dir = opendir(toNativePath(root).constData())) {
        while (const dirent *entry = readdir(dir)) {
            const QString entryName = fromNativePath(entry->d_name);
            if (entryName.compare(name, Qt::CaseInsensitive) == 0) {
                found = entryName;
                if (entryName == name)
                    break;
            }
        }
        closedir(dir);
    }
    if (found.isEmpty())
        return check;
    check.path = root + QLatin1Char('/') + found;
    struct stat st {};
    if (lstat(toNativePath(check.path).constData(), &st) != 0)
        return check;
    check.exists = true;
    if (S_ISLNK(st.st_mode))
        check.refusal = QStringLiteral("\"%1\" on the player %2 is a link, not a folder; nothing "
                                       "is written through it.")
                            .arg(found, playerName);
    else if (!S_ISDIR(st.st_mode))
        check.refusal =
            QStringLiteral("\"%1\" on the player %2 is a file, not a folder; nothing was written.")
                .arg(found, playerName);
    return check;
}

struct StagingFile {
    QString name;
    qint64 size;
};

Result<std::vector<StagingFile>> stagingFiles(const QString &staging)
{
    DIR *dir = opendir(toNativePath(staging).constData());
    if (!dir)
        return fail(QStringLiteral("The staging folder %1 cannot be read: %2")
                        .arg(QDir::toNativeSeparators(staging), systemErrorText(errno)));
    std::vector<StagingFile> files;
    const int fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        struct stat st {};
        if (entry->d_name[0] == '.' || fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        files.push_back({fromNativePath(entry->d_name), qint64(st.st_size)});
    }
    closedir(dir);
    std::sort(files.begin(), files.end(),
              [](const StagingFile &a, const StagingFile &b) { return a.name < b.name; });
    return files;
}

// One open, one fstat and the reads: a send reads thousands of small files.
Result<QByteArray> readSource(const QString &path)
{
    Result<UniqueFd> fd = openRegularFile(path);
    if (!fd)
        return fd.error();
    struct stat st {};
    if (fstat(fd->get(), &st) != 0)
        return fail(QStringLiteral("Cannot read %1: %2").arg(path, systemErrorText(errno)), errno);
    if (st.st_size > kSourceCap)
        return fail(QStringLiteral("%1 is larger than %2").arg(path, sizeText(kSourceCap)));
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    while (true) {
        if (got == bytes.size())
            bytes.resize(got + 4096); // the file grew since fstat
        const ssize_t n = ::read(fd->get(), bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(QStringLiteral("Cannot read %1: %2").arg(path, systemErrorText(errno)),
                        errno);
        if (n == 0)
            break;
        got += n;
        if (got > kSourceCap)
            return fail(QStringLiteral("%1 is larger than %2").arg(path, sizeText(kSourceCap)));
    }
    bytes.truncate(got);
    return bytes;
}

QString withoutTxt(const QString &name)
{
    return name.left(name.size() - 4);
}

std::vector<NotePiece> notePieces(const QByteArray &note, const QString &playerName)
{
    if (note.size() <= kPlayerNoteLimit)
        return {{playerName, 0, note.size(), {}}};
    return cutNoteForPlayer(note, withoutTxt(playerName));
}

// Notes the player will load from its Notes folder: every visible file, sub-folders included.
qint64 countNotes(const QString &folder)
{
    qint64 count = 0;
    DIR *dir = opendir(toNativePath(folder).constData());
    if (!dir)
        return 0;
    const int fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        struct stat st {};
        if (entry->d_name[0] == '.' || fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(st.st_mode))
            ++count;
        else if (S_ISDIR(st.st_mode))
            count += countNotes(folder + QLatin1Char('/') + fromNativePath(entry->d_name));
    }
    closedir(dir);
    return count;
}

qint64 roundUp(qint64 bytes, qint64 unit)
{
    return unit <= 1 ? bytes : (bytes + unit - 1) / unit * unit;
}

QString sizeWithBytes(qint64 bytes)
{
    return QStringLiteral("%1 (%2 bytes)").arg(sizeText(bytes), QLocale::c().toString(bytes));
}

// What the send occupies at its worst moment: every file that grows adds its growth, and each
// file being written still has the one it replaces beside it until its rename.
qint64 neededSpace(const PlayerSendPlan &plan, qint64 unit, int writers)
{
    qint64 growth = 0;
    std::vector<qint64> overlap;
    for (const PlannedSource &source : plan.sources) {
        for (const PlannedFile &file : source.files) {
            const qint64 added = roundUp(file.bytes, unit);
            const qint64 freed = file.replaces ? roundUp(file.replacedBytes, unit) : 0;
            growth += std::max<qint64>(added - freed, 0);
            overlap.push_back(std::min(added, freed));
        }
    }
    const size_t inFlight = std::min(overlap.size(), size_t(std::max(writers, 1)));
    std::partial_sort(overlap.begin(), overlap.begin() + qsizetype(inFlight), overlap.end(),
                      std::greater<>());
    for (size_t i = 0; i < inFlight; ++i)
        growth += overlap[i];
    return growth + (plan.makeContacts ? unit : 0) + (plan.makeNotes ? unit : 0);
}

QString relativeOnPlayer(const PlayerSendPlan &plan, const QString &path)
{
    return path.mid(plan.player.root.size() + 1);
}

QString folderOf(const PlayerSendPlan &plan, SendKind kind)
{
    return kind == SendKind::Contact ? plan.contactsFolder : plan.notesFolder;
}

} // namespace

Result<PlayerSendPlan> planPlayerSend(const PlayerSendRequest &request)
{
    PlayerSendPlan plan;
    plan.player = request.player;
    plan.player.root = QDir::cleanPath(plan.player.root);
    plan.staging = request.staging;
    const QString root = plan.player.root;
    const QString shownName = plan.player.name.isEmpty() ? root : plan.player.name;
    if (!isPlayerRoot(root))
        return fail(QStringLiteral("%1 is not a player: it holds no iPod_Control folder.")
                        .arg(QDir::toNativeSeparators(root)));
    if (plan.player.name.isEmpty())
        plan.player = describePlayer(root, QString(), plan.player);
    else
        readSpace(plan.player);
    Result<std::vector<StagingFile>> files = stagingFiles(request.staging);
    if (!files)
        return files.error();

    const FolderCheck contacts = checkFolder(root, kContacts, shownName);
    const FolderCheck notes = checkFolder(root, kNotes, shownName);
    plan.contactsFolder = contacts.path;
    plan.notesFolder = notes.path;

    // Names on the player, per folder, folded to one case as FAT compares them.
    QHash<QString, QString> taken[2];
    for (const StagingFile &file : *files) {
        const bool isContact = request.contacts && hasSuffix(file.name, QLatin1StringView(".vcf"));
        const bool isNote = request.notes && hasSuffix(file.name, QLatin1StringView(".txt"));
        if (!isContact && !isNote)
            continue;
        PlannedSource source;
        source.path = request.staging + QLatin1Char('/') + file.name;
        source.kind = isContact ? SendKind::Contact : SendKind::Note;
        const QString playerName = fatSafeName(file.name);
        if (isNote && file.size > kPlayerNoteLimit) {
            Result<QByteArray> note = readSource(source.path);
            if (!note) {
                plan.skipped.push_back({source.path, note.message()});
                continue;
            }
            for (const NotePiece &piece : notePieces(*note, playerName))
                source.files.push_back({piece.name, piece.size()});
        } else {
            source.files.push_back({playerName, file.size});
        }
        QHash<QString, QString> &names = taken[isContact ? 0 : 1];
        QString clash;
        for (const PlannedFile &out : source.files) {
            const auto it = names.constFind(out.name.toCaseFolded());
            if (it != names.constEnd())
                clash = it.value();
        }
        if (!clash.isEmpty()) {
            plan.skipped.push_back(
                {source.path,
                 QStringLiteral("It would take the same name on the player as %1").arg(clash)});
            continue;
        }
        const QString folder = folderOf(plan, source.kind);
        const bool folderThere = isContact ? contacts.exists : notes.exists;
        QString folderInTheWay;
        for (PlannedFile &out : source.files) {
            struct stat st {};
            const QString target = folder + QLatin1Char('/') + out.name;
            if (!folderThere || lstat(toNativePath(target).constData(), &st) != 0)
                continue;
            if (S_ISDIR(st.st_mode))
                folderInTheWay = relativeOnPlayer(plan, target);
            out.replaces = true;
            out.replacedBytes = S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
        }
        if (!folderInTheWay.isEmpty()) {
            plan.skipped.push_back(
                {source.path, QStringLiteral("%1 on the player is a folder").arg(folderInTheWay)});
            continue;
        }
        for (const PlannedFile &out : source.files) {
            names.insert(out.name.toCaseFolded(), file.name);
            if (out.replaces)
                plan.replaced.push_back(
                    relativeOnPlayer(plan, folder + QLatin1Char('/') + out.name));
            plan.bytes += out.bytes;
            ++plan.files;
        }
        if (playerName != file.name)
            plan.renamed.push_back({file.name, playerName});
        if (isContact)
            ++plan.contacts;
        else
            ++plan.notes;
        if (source.files.size() > 1)
            ++plan.cutNotes;
        plan.sources.push_back(std::move(source));
    }
    plan.makeContacts = plan.contacts > 0 && !contacts.exists;
    plan.makeNotes = plan.notes > 0 && !notes.exists;

    // A replaced note is counted among those already there.
    qint64 newNotes = 0;
    for (const PlannedSource &source : plan.sources) {
        for (const PlannedFile &out : source.files)
            newNotes += source.kind == SendKind::Note && !out.replaces ? 1 : 0;
    }
    const qint64 notesThere = notes.exists && notes.refusal.isEmpty() ? countNotes(notes.path) : 0;
    plan.notesOnPlayerAfter = notesThere + newNotes;

    struct statvfs fs {};
    const qint64 unit = statvfs(toNativePath(root).constData(), &fs) == 0 ? qint64(fs.f_bsize) : 1;
    plan.neededBytes = neededSpace(plan, unit, request.writers);

    if (plan.files == 0)
        return plan;
    if (plan.player.readOnly)
        plan.allowed =
            fail(QStringLiteral("The player %1 is read-only; nothing was written.").arg(shownName));
    else if (access(toNativePath(root).constData(), W_OK) != 0)
        plan.allowed =
            fail(QStringLiteral("Cannot write to the player %1: %2; nothing was written.")
                     .arg(shownName, systemErrorText(errno)));
    else if (plan.contacts > 0 && !contacts.refusal.isEmpty())
        plan.allowed = fail(contacts.refusal);
    else if (plan.notes > 0 && !notes.refusal.isEmpty())
        plan.allowed = fail(notes.refusal);
    else if (plan.neededBytes > plan.player.freeBytes)
        plan.allowed = fail(QStringLiteral("Not enough space on the player %1: the send needs %2 "
                                           "and %3 are free; nothing was written.")
                                .arg(shownName, sizeWithBytes(plan.neededBytes),
                                     sizeWithBytes(plan.player.freeBytes)));
    return plan;
}

namespace {

// Faults after which no further file can land: the player is gone, full or turned read-only.
bool endsTheSend(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EROFS || error == EIO ||
           error == ENODEV || error == ENXIO || error == ESHUTDOWN || error == ENOTCONN;
}

// The sources are read and cut by several threads; every file they make goes to one run, which
// flushes a whole batch with one syncfs before renaming it and flushes each folder once.
class Sender {
public:
    Sender(const PlayerSendPlan &plan, JobControl &control,
           const std::function<void(const QString &)> &written)
        : m_plan(plan), m_control(control), m_written(written), m_run(control, false)
    {
        struct stat st {};
        if (::stat(toNativePath(plan.player.root).constData(), &st) == 0)
            m_device = st.st_dev;
    }

    void run(int writers)
    {
        const size_t count = std::min<size_t>(size_t(std::max(writers, 1)), m_plan.sources.size());
        std::vector<std::thread> threads;
        for (size_t i = 1; i < count; ++i)
            threads.emplace_back([this] { work(); });
        work();
        for (std::thread &t : threads)
            t.join();
        // What was handed over is whole: it still takes its name, even after a cancel.
        const QMutexLocker lock(&m_runMutex);
        m_run.finish();
    }

    std::vector<QString> takeWritten()
    {
        std::sort(m_paths.begin(), m_paths.end());
        return std::move(m_paths);
    }
    int contacts = 0;
    int notes = 0;
    int cutNotes = 0;
    int pieces = 0;
    bool stopped() const { return m_stop.load(); }

private:
    // A source counts as sent once every one of its files holds its name.
    struct SourceState {
        SendKind kind = SendKind::Contact;
        int parts = 0;
        int left = 0;
        bool failed = false;
    };

    void work()
    {
        ItemPacer pacer;
        while (!m_stop.load(std::memory_order_relaxed) && !m_control.isCancelled()) {
            const size_t index = m_next.fetch_add(1);
            if (index >= m_plan.sources.size())
                return;
            sendSource(m_plan.sources[index], pacer);
        }
    }

    void sendSource(const PlannedSource &source, ItemPacer &pacer)
    {
        if (pacer.due())
            m_control.setItem(source.path);
        const Result<QByteArray> bytes = readSource(source.path);
        if (!bytes) {
            m_control.fail(source.path, bytes.message());
            m_control.advance(qint64(source.files.size()));
            return;
        }
        const QString folder = folderOf(m_plan, source.kind);
        const QString stagingName = source.path.mid(source.path.lastIndexOf(QLatin1Char('/')) + 1);
        // The note is cut again as it is now, so that what lands is what the staging file holds.
        std::vector<NotePiece> parts =
            source.kind == SendKind::Note
                ? notePieces(*bytes, fatSafeName(stagingName))
                : std::vector<NotePiece>{{fatSafeName(stagingName), 0, bytes->size(), {}}};
        auto state = std::make_shared<SourceState>();
        state->kind = source.kind;
        state->parts = state->left = int(parts.size());
        size_t done = 0;
        for (const NotePiece &part : parts) {
            if (m_stop.load(std::memory_order_relaxed) || m_control.isCancelled())
                return;
            const QString target = folder + QLatin1Char('/') + part.name;
            AtomicFileOptions options;
            options.run = &m_run;
            options.placed = [this, state, target, folder](const CopiedFile &file) {
                placed(*state, target, folder, file);
            };
            AtomicFile file(target, std::move(options));
            Status status = file.open();
            if (status)
                status = file.write(QByteArrayView(*bytes).sliced(part.offset, part.length));
            if (status && !part.link.isEmpty())
                status = file.write(part.link);
            if (status) {
                const QMutexLocker lock(&m_runMutex);
                status = file.commit();
            }
            if (!status) {
                failed(target, status, folder);
                if (!m_stop.load())
                    m_control.advance(qint64(parts.size() - done));
                return;
            }
            ++done;
            m_control.advance();
        }
    }

    // Called by the run, with m_runMutex held, as each file takes its name or fails to.
    void placed(SourceState &state, const QString &target, const QString &folder,
                const CopiedFile &file)
    {
        if (const Status status = placedStatus(file, target); !status) {
            state.failed = true;
            failed(target, status, folder);
            return;
        }
        const QString shown = relativeOnPlayer(m_plan, target);
        {
            const QMutexLocker lock(&m_mutex);
            m_paths.push_back(shown);
            if (--state.left == 0 && !state.failed) {
                if (state.kind == SendKind::Contact) {
                    ++contacts;
                } else {
                    ++notes;
                    if (state.parts > 1) {
                        ++cutNotes;
                        pieces += state.parts;
                    }
                }
            }
        }
        if (m_written)
            m_written(shown);
    }

    bool playerStillThere(const QString &folder) const
    {
        struct stat st {};
        if (::stat(toNativePath(m_plan.player.root).constData(), &st) != 0 || st.st_dev != m_device)
            return false;
        return isPlayerRoot(m_plan.player.root) &&
               ::stat(toNativePath(folder).constData(), &st) == 0;
    }

    void failed(const QString &target, const Status &status, const QString &folder)
    {
        const int error = status.code();
        const QString reason = error > 0 ? systemErrorText(error) : status.message();
        const bool gone = !playerStillThere(folder);
        if (!gone && !endsTheSend(error)) {
            m_control.fail(target, reason);
            return;
        }
        if (m_stop.exchange(true))
            return;
        const QString name = m_plan.player.name;
        qsizetype written = 0;
        {
            const QMutexLocker lock(&m_mutex);
            written = m_paths.size();
        }
        const QString done =
            QStringLiteral("%1 of %2 files were written.").arg(written).arg(m_plan.files);
        if (gone)
            m_control.abort(QStringLiteral("The player %1 went away during the send: %2. %3")
                                .arg(name, reason, done));
        else
            m_control.abort(QStringLiteral("The send to the player %1 stopped at %2: %3. %4")
                                .arg(name, QDir::toNativeSeparators(target), reason, done));
    }

    const PlayerSendPlan &m_plan;
    JobControl &m_control;
    const std::function<void(const QString &)> &m_written;
    dev_t m_device = 0;
    std::atomic<size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    QMutex m_mutex;
    std::vector<QString> m_paths;
    QMutex m_runMutex; // the run is not shared between threads by itself
    CopyRun m_run;
};

Status makeFolder(const QString &path)
{
    if (::mkdir(toNativePath(path).constData(), 0777) != 0 && errno != EEXIST)
        return fail(QStringLiteral("Cannot make the folder %1: %2")
                        .arg(QDir::toNativeSeparators(path), systemErrorText(errno)),
                    errno);
    return {};
}

// Once per run and folder: the renames into it reach the disk.
void flushFolder(const QString &folder, JobControl &control)
{
    const UniqueFd fd(::open(toNativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd || fsync(fd.get()) != 0)
        control.fail(folder, systemErrorText(errno));
}

} // namespace

PlayerSendOutcome sendToPlayer(const PlayerSendPlan &plan, JobControl &control,
                               const std::function<void(const QString &)> &written, int writers)
{
    PlayerSendOutcome outcome;
    outcome.playerName = plan.player.name;
    outcome.planned = plan.files;
    if (!plan.allowed) {
        control.abort(plan.allowed.message());
        outcome.stopped = true;
        return outcome;
    }
    for (const ItemFailure &skipped : plan.skipped)
        control.fail(skipped.path, skipped.reason);
    if (plan.files == 0)
        return outcome;
    // The folders are checked again: what was a folder at the preview may be a link now.
    const QString shownName = plan.player.name.isEmpty() ? plan.player.root : plan.player.name;
    for (const auto &[needed, name] :
         {std::pair{plan.contacts > 0, kContacts}, std::pair{plan.notes > 0, kNotes}}) {
        if (!needed)
            continue;
        const FolderCheck check = checkFolder(plan.player.root, name, shownName);
        Status made;
        if (check.refusal.isEmpty() && !check.exists)
            made = makeFolder(check.path);
        if (!check.refusal.isEmpty() || !made) {
            control.abort(check.refusal.isEmpty() ? made.message() : check.refusal);
            outcome.stopped = true;
            return outcome;
        }
    }
    control.setTotal(plan.files);
    Sender sender(plan, control, written);
    sender.run(writers);
    outcome.written = sender.takeWritten();
    outcome.contacts = sender.contacts;
    outcome.notes = sender.notes;
    outcome.cutNotes = sender.cutNotes;
    outcome.pieces = sender.pieces;
    outcome.stopped = sender.stopped();
    outcome.cancelled = control.stoppedEarly();
    const QSet<QString> writtenSet(outcome.written.cbegin(), outcome.written.cend());
    for (const QString &path : plan.replaced) {
        if (writtenSet.contains(path))
            outcome.replaced.push_back(path);
    }
    for (const RenamedForPlayer &renamed : plan.renamed)
        outcome.renamed.push_back(renamed);
    if (outcome.stopped)
        return outcome;
    // The run flushed the folders it renamed into; a folder made here also needs its parent.
    if (plan.makeContacts || plan.makeNotes)
        flushFolder(plan.player.root, control);
    if (plan.notes > 0)
        outcome.notesOnPlayer = countNotes(plan.notesFolder);
    return outcome;
}

PlayerSendOutcome runPlayerSend(const PlayerSendRequest &request, JobControl &control)
{
    const Result<PlayerSendPlan> plan = planPlayerSend(request);
    if (!plan) {
        control.abort(plan.message());
        PlayerSendOutcome outcome;
        outcome.playerName = request.player.name;
        outcome.stopped = true;
        return outcome;
    }
    return sendToPlayer(*plan, control, {}, request.writers);
}

QString tooManyNotesWarning(qint64 notesOnPlayer)
{
    if (notesOnPlayer <= kPlayerNoteCount)
        return QString();
    const QLocale english(QLocale::English);
    return QStringLiteral("The player now holds %1 notes; it loads only the first %2.")
        .arg(english.toString(notesOnPlayer), english.toString(kPlayerNoteCount));
}

namespace {

void listNames(QStringList &lines, const QString &heading, const QStringList &names)
{
    if (names.isEmpty())
        return;
    lines << heading.arg(names.size());
    for (qsizetype i = 0; i < names.size() && i < kListedNames; ++i)
        lines << QStringLiteral("  ") + names[i];
    if (names.size() > kListedNames)
        lines << QStringLiteral("  and %1 more").arg(names.size() - kListedNames);
}

QString counted(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// "3 contacts and 1 note"; none when both are nought.
QString contactsAndNotes(int contacts, int notes, const QString &none)
{
    QStringList parts;
    if (contacts > 0)
        parts << counted(contacts, "contact", "contacts");
    if (notes > 0)
        parts << counted(notes, "note", "notes");
    return parts.isEmpty() ? none : parts.join(QLatin1String(" and "));
}

constexpr char kNothingToSend[] = "Nothing to send: the staging folder holds no contacts or notes.";

} // namespace

QString playerSendSummary(const PlayerSendOutcome &outcome)
{
    QStringList lines;
    const QString name = outcome.playerName;
    if (outcome.planned == 0 && outcome.written.empty() && !outcome.stopped)
        return QString::fromLatin1(kNothingToSend);
    QString sent = contactsAndNotes(outcome.contacts, outcome.notes, QStringLiteral("no file"));
    if (outcome.cutNotes > 0)
        sent += QStringLiteral(" (%1 cut into %2 pieces)")
                    .arg(counted(outcome.cutNotes, "note", "notes"))
                    .arg(outcome.pieces);
    if (outcome.cancelled || outcome.stopped)
        lines << QStringLiteral("The send to %1 was stopped: %2 of %3 files were written (%4).")
                     .arg(name)
                     .arg(outcome.written.size())
                     .arg(outcome.planned)
                     .arg(sent);
    else
        lines << QStringLiteral("Sent to %1: %2.").arg(name, sent);
    QStringList replaced;
    for (const QString &path : outcome.replaced)
        replaced << path;
    listNames(lines, QStringLiteral("Replaced on the player (%1):"), replaced);
    QStringList renamed;
    for (const RenamedForPlayer &r : outcome.renamed)
        renamed << QStringLiteral("%1 -> %2").arg(r.from, r.to);
    listNames(lines, QStringLiteral("Renamed for the player's file system (%1):"), renamed);
    if (const QString warning = tooManyNotesWarning(outcome.notesOnPlayer); !warning.isEmpty())
        lines << warning;
    return lines.join(QLatin1Char('\n'));
}

QString playerSendPreview(const PlayerSendPlan &plan)
{
    QStringList lines;
    if (plan.files == 0 && plan.skipped.empty())
        return QString::fromLatin1(kNothingToSend);
    QString what = contactsAndNotes(plan.contacts, plan.notes, QStringLiteral("nothing"));
    if (plan.cutNotes > 0)
        what += QStringLiteral(" (%1 cut into pieces of at most 4 KB)")
                    .arg(counted(plan.cutNotes, "note", "notes"));
    const QString name = plan.player.name.isEmpty() ? plan.player.root : plan.player.name;
    lines << QStringLiteral("To send to %1: %2, %3 files.").arg(name, what).arg(plan.files);
    if (plan.files > 0)
        lines << QStringLiteral("Needs %1 on the player; %2 free.")
                     .arg(readableSize(plan.neededBytes), readableSize(plan.player.freeBytes));
    QStringList made;
    if (plan.makeContacts)
        made << QStringLiteral("Contacts");
    if (plan.makeNotes)
        made << QStringLiteral("Notes");
    if (!made.isEmpty())
        lines << QStringLiteral("Folders made on the player: %1.")
                     .arg(made.join(QLatin1String(", ")));
    listNames(lines, QStringLiteral("Will replace on the player (%1):"),
              QStringList(plan.replaced.begin(), plan.replaced.end()));
    QStringList renamed;
    for (const RenamedForPlayer &r : plan.renamed)
        renamed << QStringLiteral("%1 -> %2").arg(r.from, r.to);
    listNames(lines, QStringLiteral("Renamed for the player's file system (%1):"), renamed);
    QStringList skipped;
    for (const ItemFailure &f : plan.skipped)
        skipped << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(f.path), f.reason);
    listNames(lines, QStringLiteral("Not sent (%1):"), skipped);
    if (const QString warning = tooManyNotesWarning(plan.notesOnPlayerAfter); !warning.isEmpty())
        lines << QString(warning).replace(QLatin1String("now holds"), QLatin1String("will hold"));
    if (!plan.allowed)
        lines << plan.allowed.message();
    return lines.join(QLatin1Char('\n'));
}

QString playerSendFailures(const std::vector<ItemFailure> &failures)
{
    QStringList lines;
    QStringList each;
    for (const ItemFailure &f : failures)
        each << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(f.path), f.reason);
    listNames(lines, QStringLiteral("Files not sent (%1):"), each);
    return lines.join(QLatin1Char('\n'));
}

Result<StagingCounts> countStagingForPlayer(const QString &staging)
{
    Result<std::vector<StagingFile>> files = stagingFiles(staging);
    if (!files)
        return files.error();
    StagingCounts counts;
    for (const StagingFile &file : *files) {
        if (hasSuffix(file.name, QLatin1StringView(".vcf")))
            ++counts.contacts;
        else if (hasSuffix(file.name, QLatin1StringView(".txt")))
            ++counts.notes;
    }
    return counts;
}

} // namespace quenda
