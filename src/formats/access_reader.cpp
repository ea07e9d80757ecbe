#include "formats/access_reader.h"

#include "formats/byte_source.h"
#include "formats/mdb_stream.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace quenda {

namespace {

const QString kHelperName = QStringLiteral("quenda-mdb-reader");
constexpr int kCancelPollMs = 100;

QString cannotRead(const QString &path, const QString &reason)
{
    if (reason.isEmpty())
        return QStringLiteral("The database file %1 cannot be read.").arg(path);
    return QStringLiteral("The database file %1 cannot be read: %2.").arg(path, reason);
}

// The header page hides its settings behind RC4 with a key every database shares.
void rc4(QByteArrayView key, unsigned char *data, qsizetype size)
{
    unsigned char box[256];
    for (int i = 0; i < 256; ++i)
        box[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + box[i] + static_cast<unsigned char>(key[i % key.size()])) & 0xFF;
        std::swap(box[i], box[j]);
    }
    for (qsizetype n = 0, i = 0, j = 0; n < size; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + box[i]) & 0xFF;
        std::swap(box[i], box[j]);
        data[n] ^= box[(box[i] + box[j]) & 0xFF];
    }
}

// An Access 2007 or later database encrypted with a password: the header names the key that
// encodes its pages, which libmdb cannot decode. (Older databases encode their pages with a
// key libmdb knows.)
bool isEncrypted(const unsigned char *header, qint64 size)
{
    constexpr qsizetype kEncodedStart = 0x18, kEncodedSize = 128, kKeyAt = 0x3E;
    if (size < kEncodedStart + kEncodedSize || header[0x14] < 2)
        return false;
    unsigned char decoded[kEncodedSize];
    std::memcpy(decoded, header + kEncodedStart, kEncodedSize);
    rc4(QByteArrayView("\xC7\xDA\x39\x6B", 4), decoded, kEncodedSize);
    const unsigned char *key = decoded + (kKeyAt - kEncodedStart);
    return key[0] || key[1] || key[2] || key[3];
}

// The file must be there, be a regular file and open like a Jet or ACE database that is not
// encrypted.
Status checkDatabaseFile(const QString &path)
{
    auto source = openFileSource(path);
    if (!source)
        return source.error();
    unsigned char head[0x18 + 128] = {};
    const qint64 got = (*source)->readAt(0, reinterpret_cast<char *>(head), sizeof head);
    if (got < 0)
        return fail(cannotRead(path, (*source)->status().message()));
    const QByteArrayView magic(reinterpret_cast<const char *>(head) + 4, 15);
    if (got < 19 ||
        (magic != QByteArrayView("Standard Jet DB") && magic != QByteArrayView("Standard ACE DB")))
        return fail(
            QStringLiteral("The file %1 is not in the expected format of an Access database.")
                .arg(path),
            kErrorWrongFormat);
    if (isEncrypted(head, got))
        return fail(cannotRead(path, QStringLiteral("it is encrypted with a password, and "
                                                    "this program cannot open encrypted "
                                                    "databases")));
    return {};
}

// One run of the helper: starts it, turns its output into stream events, waiting for them with
// the silence limit, and turns every way it can fail into a message.
class HelperRun {
public:
    HelperRun(const QString &database, const AccessOptions &options)
        : m_database(database), m_options(options)
    {
    }
    ~HelperRun()
    {
        stop();
        if (m_pidfd >= 0)
            ::close(m_pidfd);
    }
    HelperRun(const HelperRun &) = delete;
    HelperRun &operator=(const HelperRun &) = delete;

    bool start(const QStringList &arguments)
    {
        const QString program =
            m_options.helperPath.isEmpty() ? accessHelperPath() : m_options.helperPath;
        m_process.setStandardErrorFile(QProcess::nullDevice());
        // The helper checks that the process that started it is still there (see its main).
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUENDA_MDB_READER_PARENT"),
                           QString::number(QCoreApplication::applicationPid()));
        m_process.setProcessEnvironment(environment);
        m_process.start(program, arguments, QIODevice::ReadWrite);
        if (!m_process.waitForStarted(m_options.silenceLimitMs)) {
            m_error = cannotRead(m_database, QStringLiteral("the reading helper %1 cannot be "
                                                            "started (%2)")
                                                 .arg(program, m_process.errorString()));
            return false;
        }
        // A descriptor of the process itself, so that a kill from another thread can never hit
        // another process that took over the number.
        m_pidfd = int(::syscall(SYS_pidfd_open, pid_t(m_process.processId()), 0));
        return true;
    }

    bool isCancelled() const
    {
        return m_cancelled || (m_options.cancelled && m_options.cancelled());
    }

    // From any thread: ends the helper at once.
    void kill()
    {
        m_cancelled = true;
        const int fd = m_pidfd.load();
        if (fd >= 0)
            ::syscall(SYS_pidfd_send_signal, fd, SIGKILL, nullptr, 0);
    }

    // The next event; Garbled and HelperError never come out: they end as Failed (see error()).
    enum class Got { Event, End, Failed };
    Got next(MdbStream::Event *event)
    {
        for (;;) {
            const MdbStream::Event e = m_stream.next();
            switch (e) {
            case MdbStream::Event::NeedMore:
                if (!waitForOutput())
                    return Got::Failed;
                continue;
            case MdbStream::Event::Garbled:
                return failWith(QStringLiteral("the reading helper's answer is garbled (%1)")
                                    .arg(m_stream.text()));
            case MdbStream::Event::HelperError:
                return failWith(m_stream.text());
            case MdbStream::Event::End:
                return endsCleanly() ? Got::End : Got::Failed;
            default:
                *event = e;
                return Got::Event;
            }
        }
    }

    // Lets the helper write its next batch.
    void credit()
    {
        m_process.write("n", 1);
        m_process.waitForBytesWritten(m_options.silenceLimitMs);
    }

    const MdbStream &stream() const { return m_stream; }
    const QString &error() const { return m_error; }

private:
    Got failWith(const QString &reason)
    {
        m_error = cannotRead(m_database, reason);
        stop();
        return Got::Failed;
    }

    bool waitForOutput()
    {
        QElapsedTimer silence;
        silence.start();
        for (;;) {
            if (isCancelled()) {
                failWith(QStringLiteral("reading was cancelled"));
                return false;
            }
            const QByteArray chunk = m_process.readAllStandardOutput();
            if (!chunk.isEmpty()) {
                m_stream.append(chunk);
                return true;
            }
            if (m_process.state() == QProcess::NotRunning) {
                failWith(isCancelled() ? QStringLiteral("reading was cancelled") : endReason());
                return false;
            }
            const qint64 left = m_options.silenceLimitMs - silence.elapsed();
            if (left <= 0) {
                failWith(QStringLiteral("the reading helper gave no answer for %1 seconds")
                             .arg(m_options.silenceLimitMs / 1000.0));
                return false;
            }
            m_process.waitForReadyRead(int(std::min<qint64>(left, kCancelPollMs)));
        }
    }

    // Why the helper ended before its stream did.
    QString endReason() const
    {
        if (m_process.exitStatus() == QProcess::CrashExit)
            return QStringLiteral("the reading helper stopped unexpectedly");
        if (m_process.exitCode() != 0)
            return QStringLiteral("the reading helper ended with code %1")
                .arg(m_process.exitCode());
        return QStringLiteral("the reading helper's answer ended too soon");
    }

    bool endsCleanly()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(m_options.silenceLimitMs)) {
            failWith(QStringLiteral("the reading helper did not end"));
            return false;
        }
        if (!m_process.readAllStandardOutput().isEmpty()) {
            failWith(QStringLiteral("the reading helper's answer goes on after its end"));
            return false;
        }
        if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0) {
            failWith(endReason());
            return false;
        }
        return true;
    }

    void stop()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString m_database;
    AccessOptions m_options;
    QProcess m_process;
    MdbStream m_stream;
    QString m_error;
    std::atomic<int> m_pidfd{-1};
    std::atomic<bool> m_cancelled{false};
};

} // namespace

QString accessHelperPath()
{
    const QString fromEnvironment = qEnvironmentVariable("QUENDA_MDB_READER");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(kHelperName);
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString onPath = QStandardPaths::findExecutable(kHelperName);
    return onPath.isEmpty() ? beside : onPath;
}

Result<QStringList> accessTables(const QString &path, const AccessOptions &options)
{
    const Status file = checkDatabaseFile(path);
    if (!file)
        return file.error();
    HelperRun run(path, options);
    if (!run.start({QStringLiteral("tables"), path}))
        return fail(run.error());
    QStringList tables;
    MdbStream::Event event;
    for (;;) {
        switch (run.next(&event)) {
        case HelperRun::Got::Failed:
            return fail(run.error());
        case HelperRun::Got::End:
            return tables;
        case HelperRun::Got::Event:
            if (event != MdbStream::Event::Table)
                return fail(cannotRead(path, QStringLiteral("the reading helper's answer is "
                                                            "garbled (not a table list)")));
            // The engine's system tables; the comparison keeps "msysData" and "MySys".
            if (!run.stream().text().startsWith(QLatin1String("MSys")))
                tables << run.stream().text();
        }
    }
}

struct AccessReader::Impl {
    QString path;
    std::unique_ptr<HelperRun> run;
    std::vector<FieldInfo> fields;
    int codePage = 0;
    bool asked = false;
    bool done = false;
    qint64 records = 0;
    QString error;
};

AccessReader::AccessReader(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
AccessReader::~AccessReader() = default;

Result<std::unique_ptr<AccessReader>> AccessReader::open(const QString &path, const QString &table,
                                                         const AccessOptions &options)
{
    const Status file = checkDatabaseFile(path);
    if (!file)
        return file.error();
    auto d = std::make_unique<Impl>();
    d->path = path;
    d->run = std::make_unique<HelperRun>(path, options);
    if (!d->run->start({QStringLiteral("read"), path, table}))
        return fail(d->run->error());
    MdbStream::Event event;
    for (;;) {
        const HelperRun::Got got = d->run->next(&event);
        if (got == HelperRun::Got::Failed)
            return fail(d->run->error());
        if (got == HelperRun::Got::End || event == MdbStream::Event::Record ||
            event == MdbStream::Event::Table)
            return fail(cannotRead(path, QStringLiteral("the reading helper's answer is garbled "
                                                        "(no fields)")));
        if (event == MdbStream::Event::CodePage)
            d->codePage = d->run->stream().codePage();
        if (event == MdbStream::Event::HeaderEnd)
            break;
    }
    d->fields = d->run->stream().fields();
    return std::unique_ptr<AccessReader>(new AccessReader(std::move(d)));
}

const std::vector<FieldInfo> &AccessReader::fields() const
{
    return d->fields;
}

bool AccessReader::next(QVariantList &values)
{
    if (!d->done && d->run->isCancelled()) {
        d->error = cannotRead(d->path, QStringLiteral("reading was cancelled"));
        d->done = true;
    }
    if (d->done)
        return false;
    if (!d->asked) {
        d->run->credit();
        d->asked = true;
    }
    MdbStream::Event event;
    for (;;) {
        switch (d->run->next(&event)) {
        case HelperRun::Got::Failed:
            d->error = d->run->error();
            d->done = true;
            return false;
        case HelperRun::Got::End:
            d->done = true;
            return false;
        case HelperRun::Got::Event:
            if (event == MdbStream::Event::BatchEnd) {
                d->run->credit();
                continue;
            }
            if (event == MdbStream::Event::Record) {
                values = d->run->stream().values();
                ++d->records;
                return true;
            }
            continue; // nothing else belongs here; the stream has checked the order
        }
    }
}

Status AccessReader::status() const
{
    return faultStatus(d->error);
}

void AccessReader::cancel()
{
    d->run->kill();
}

int AccessReader::codePage() const
{
    return d->codePage;
}

qint64 AccessReader::recordNumber() const
{
    return d->records;
}

} // namespace quenda
