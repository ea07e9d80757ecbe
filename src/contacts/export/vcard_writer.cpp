#include "contacts/export/vcard_writer.h"

#include "contacts/export/vcard_modern.h"
#include "db/database.h"
#include "db/settings.h"
#include "fs/atomic_file.h"
#include "fs/copy_run.h"
#include "fs/text_output.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QSet>

#include <initializer_list>
#include <string>

namespace quenda {

namespace {

using namespace card;

// Dates are stored as ISO text, with or without a time part.
QString birthday(const QString &stored)
{
    if (stored.isEmpty())
        return QString();
    // The common form "yyyy-MM-dd..." is read by hand; anything else goes to the full parser.
    auto digit = [&](int i) { return stored.at(i).unicode() - u'0'; };
    auto isDigit = [&](int i) { return stored.at(i) >= u'0' && stored.at(i) <= u'9'; };
    if (stored.size() >= 10 && stored.at(4) == u'-' && stored.at(7) == u'-' &&
        (stored.size() == 10 || !stored.at(10).isDigit())) {
        bool digits = true;
        for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
            digits = digits && isDigit(i);
        if (digits) {
            const QDate date(digit(0) * 1000 + digit(1) * 100 + digit(2) * 10 + digit(3),
                             digit(5) * 10 + digit(6), digit(8) * 10 + digit(9));
            if (date.isValid()) {
                QString out = stored.left(4);
                out += QStringView(stored).mid(5, 2);
                out += QStringView(stored).mid(8, 2);
                return out;
            }
        }
    }
    QDate date = QDate::fromString(stored.left(10), Qt::ISODate);
    if (!date.isValid())
        date = QDateTime::fromString(stored, Qt::ISODate).date();
    return date.isValid() ? date.toString(QStringLiteral("yyyyMMdd")) : QString();
}

// Windows-1252 bytes 0x80..0x9F; 0 marks the five bytes the code page leaves undefined.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int windows1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] != 0 && kHigh[i] == c)
            return 0x80 + i;
    return -1;
}

using Pieces = std::initializer_list<QStringView>;

void appendUtf8(std::string &out, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (QChar::isSurrogate(c)) {
            // Pairs and strays alike: Qt's own encoder has the last word on those.
            const QByteArray rest = text.mid(i).toUtf8();
            out.append(rest.constData(), static_cast<size_t>(rest.size()));
            return;
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

// Card lines straight into bytes. The first pass writes Windows-1252 and notes a character the
// code page lacks; the card is then written again as UTF-8, where every line with a non-ASCII
// character says so, because a reader takes unmarked lines for the default character set.
class CardEncoder {
public:
    CardEncoder(std::string &out, bool utf8) : m_out(out), m_utf8(utf8) { m_out.clear(); }

    void line(const char *property, Pieces pieces)
    {
        m_out.append(property);
        if (m_utf8) {
            bool wide = false;
            for (QStringView p : pieces)
                for (QChar c : p)
                    wide = wide || c.unicode() >= 0x80;
            if (wide)
                m_out.append(";CHARSET=UTF-8");
            m_out.push_back(':');
            for (QStringView p : pieces)
                appendUtf8(m_out, p);
        } else {
            m_out.push_back(':');
            for (QStringView p : pieces) {
                // One byte per character: the room is made once per piece.
                const size_t at = m_out.size();
                m_out.resize(at + static_cast<size_t>(p.size()));
                char *w = m_out.data() + at;
                for (QChar c : p) {
                    const char16_t u = c.unicode();
                    if (u < 0x80) {
                        *w++ = static_cast<char>(u);
                        continue;
                    }
                    const int b = windows1252Byte(u);
                    m_unfit = m_unfit || b < 0;
                    *w++ = static_cast<char>(b);
                }
            }
        }
        m_out.append("\r\n", 2);
    }

    bool unfit() const { return m_unfit; }

private:
    std::string &m_out;
    bool m_utf8;
    bool m_unfit = false;
};

const QString kBlank = QStringLiteral(" ");
const QString kSemi = QStringLiteral(";");

void address(CardEncoder &e, const char *property, const char *prefix, const CardRow &r, Field add1)
{
    // add1, add2, city, state, pin, country follow one another in card::Field.
    const auto at = [&](int offset) { return QStringView(r.field[add1 + offset]); };
    const QString lead = QString::fromLatin1(prefix);
    e.line(property,
           {lead, at(0), kBlank, at(1), kSemi, at(2), kSemi, at(3), kSemi, at(4), kSemi, at(5)});
}

void emitCard(CardEncoder &e, const CardRow &r, CardKind kind, const QString &bday)
{
    const QString vcard = QStringLiteral("VCARD");
    const QString http = QStringLiteral("http://");
    e.line("BEGIN", {vcard});
    e.line("VERSION", {u"2.1"});
    if (kind == CardKind::Combined)
        e.line("N", {r[FIRST], kBlank, r[LAST], kBlank, r[TITLE], kSemi});
    else
        e.line("N", {r[Nview], kSemi, r[TITLE], kSemi});
    e.line("FN", {r[NAME]});
    if (kind != CardKind::Work)
        e.line("NICKNAME", {r[NICK]});
    if (kind != CardKind::Home)
        e.line("ORG", {r[COMPANY]});
    if (kind != CardKind::Work)
        e.line("SPOUSE", {r[SPOUSE]});
    if (kind != CardKind::Home) {
        e.line("TEL;WORK;VOICE", {r[W_PH1]});
        e.line("TEL;WORK;VOICE", {r[W_PH2]});
        e.line("TEL;WORK;VOICE", {r[W_PH3]});
    }
    if (kind != CardKind::Work) {
        e.line("TEL;HOME;VOICE", {r[H_PH1]});
        e.line("TEL;HOME;VOICE", {r[H_PH2]});
        e.line("TEL;HOME;VOICE", {r[H_PH3]});
    }
    e.line("TEL;CELL;VOICE", {r[MOBILE]});
    if (kind != CardKind::Home) {
        e.line("TEL;WORK;FAX", {r[FAX]});
        address(e, "ADR;WORK", ";office;", r, W_ADD1);
    }
    if (kind != CardKind::Work)
        address(e, "ADR;HOME", ";;", r, H_ADD1);
    address(e, "ADR;POSTAL", ";;", r, B_ADD1);
    if (kind != CardKind::Work)
        e.line("BDAY", {bday});
    if (kind != CardKind::Home) {
        e.line("EMAIL;PREF;INTERNET", {r[H_EMAIL1]});
        e.line("EMAIL;INTERNET", {r[B_EMAIL1]});
        e.line("URL", {http, r[H_WEB]});
    }
    e.line("End", {vcard});
}

} // namespace

QString cardVersionText(CardVersion version)
{
    switch (version) {
    case CardVersion::V21:
        break;
    case CardVersion::V30:
        return QStringLiteral("3.0");
    case CardVersion::V40:
        return QStringLiteral("4.0");
    }
    return QStringLiteral("2.1");
}

std::optional<CardVersion> parseCardVersion(const QString &text)
{
    for (CardVersion v : {CardVersion::V21, CardVersion::V30, CardVersion::V40})
        if (text == cardVersionText(v))
            return v;
    return std::nullopt;
}

namespace {

const QString kVersionSetting = QStringLiteral("vCard version");

} // namespace

Result<CardVersion> rememberedCardVersion(QSqlDatabase &db)
{
    const Result<QString> kept = settingValue(db, kVersionSetting);
    if (!kept)
        return kept.error();
    return parseCardVersion(*kept).value_or(CardVersion::V21);
}

Status rememberCardVersion(QSqlDatabase &db, CardVersion version)
{
    return saveSetting(db, kVersionSetting, cardVersionText(version));
}

std::optional<QList<qint64>> parseIdList(const QString &idList)
{
    QStringList items = idList.split(QLatin1Char(','));
    if (items.size() > 1 && items.last().trimmed().isEmpty())
        items.removeLast();
    QList<qint64> ids;
    if (items.size() == 1 && items.first().trimmed().isEmpty())
        return ids;
    ids.reserve(items.size());
    for (const QString &item : items) {
        bool ok = false;
        const qint64 id = item.trimmed().toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        ids.append(id);
    }
    return ids;
}

Result<QString> cardFileName(const QString &name, CardKind kind)
{
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return fail(QStringLiteral("the name holds a path separator"));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return fail(QStringLiteral("the name is a folder reference"));
    if (name.contains(QChar(0)))
        return fail(QStringLiteral("the name holds a null character"));
    switch (kind) {
    case CardKind::Combined:
        return name + QLatin1String(".vcf");
    case CardKind::Home:
        return name + QLatin1String("-H.vcf");
    case CardKind::Work:
        break;
    }
    return name + QLatin1String("-W .vcf");
}

namespace {

void encodeCard(const CardRow &row, CardKind kind, CardVersion version, std::string &out)
{
    const QString bday = kind == CardKind::Work ? QString() : birthday(row[M_BD]);
    if (version != CardVersion::V21) {
        encodeModernCard(row, kind, version, bday, out);
        return;
    }
    CardEncoder narrow(out, false);
    emitCard(narrow, row, kind, bday);
    if (narrow.unfit()) {
        CardEncoder wide(out, true);
        emitCard(wide, row, kind, bday);
    }
}

} // namespace

QByteArray cardBytes(const CardRow &row, CardKind kind, CardVersion version)
{
    std::string out;
    encodeCard(row, kind, version, out);
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

namespace {

// Cards handed over at once: the lock is taken once per batch, and a bounded queue keeps the
// memory small when the file system is slower than the cards are made.
constexpr size_t kCardsPerBatch = 256;
constexpr size_t kQueuedBatches = 8;

} // namespace

CardWriter::CardWriter(const QString &folder, JobControl &control, CardVersion version)
    : m_folder(folder), m_control(control), m_version(version)
{
    m_batch.reserve(kCardsPerBatch);
}

CardWriter::~CardWriter()
{
    finish();
}

void CardWriter::write(const CardRow &row, CardKind kind)
{
    Result<QString> fileName = cardFileName(row[NAME], kind);
    if (!fileName) {
        m_control.fail(row[NAME], fileName.message());
        return;
    }
    Card card{row[NAME], std::move(*fileName), {}};
    encodeCard(row, kind, m_version, card.bytes);
    m_batch.push_back(std::move(card));
    if (m_batch.size() >= kCardsPerBatch)
        pass(false);
}

void CardWriter::pass(bool last)
{
    std::unique_lock lock(m_mutex);
    if (!m_batch.empty()) {
        if (!m_thread.joinable())
            m_thread = std::thread([this] { writeQueued(); });
        m_changed.wait(lock, [this] { return m_queue.size() < kQueuedBatches; });
        m_queue.push_back(std::move(m_batch));
        m_batch = {};
        m_batch.reserve(kCardsPerBatch);
    }
    m_closing = last;
    lock.unlock();
    m_changed.notify_all();
}

void CardWriter::writeQueued()
{
    // The cards reach the disk a batch at a time, each before its rename; the folder once,
    // when the run ends with this thread.
    CopyRun run(m_control, false);
    for (;;) {
        std::vector<Card> batch;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
            if (m_queue.empty())
                return;
            batch = std::move(m_queue.front());
            m_queue.pop_front();
        }
        m_changed.notify_all();
        for (const Card &card : batch) {
            const Result<QString> path = safeChildPath(m_folder, card.fileName);
            if (!path) {
                m_control.fail(card.contact, path.message());
                continue;
            }
            AtomicFileOptions options;
            options.run = &run;
            options.placed = [this, contact = card.contact,
                              target = *path](const CopiedFile &file) {
                if (const Status placed = placedStatus(file, target); placed)
                    m_written.fetch_add(1, std::memory_order_relaxed);
                else
                    m_control.fail(contact, placed.message());
            };
            const Status written = writeFileAtomically(
                *path, QByteArrayView(card.bytes.data(), static_cast<qsizetype>(card.bytes.size())),
                std::move(options));
            if (!written)
                m_control.fail(card.contact, written.message());
        }
    }
}

int CardWriter::finish()
{
    pass(true);
    if (m_thread.joinable())
        m_thread.join();
    m_closing = false;
    return m_written.load();
}

void writeCards(ContactCardReader &reader, CardWriter &writer, CardKind kind,
                const QList<qint64> &ids, JobControl &control)
{
    QSet<qint64> found;
    const Status read = reader.readByIds(ids, [&](const CardRow &row) {
        found.insert(row[ID].toLongLong());
        control.setItem(row[NAME]);
        writer.write(row, kind);
    });
    if (!read) {
        control.fail(QStringLiteral("cnt_main"), read.message());
        return;
    }
    for (qint64 id : ids)
        if (!found.contains(id))
            control.fail(QStringLiteral("id %1").arg(id), QStringLiteral("no contact has this id"));
}

namespace {

int writeOnce(QSqlDatabase &db, CardKind kind, const QString &idList, const QString &folder,
              JobControl &control)
{
    const std::optional<QList<qint64>> ids = parseIdList(idList);
    if (!ids) {
        control.fail(idList,
                     QStringLiteral("the id list holds something other than whole numbers"));
        return 0;
    }
    ContactCardReader reader(db);
    CardWriter writer(folder, control);
    writeCards(reader, writer, kind, *ids, control);
    return writer.finish();
}

} // namespace

int SaveAsVCF(QSqlDatabase &db, const QString &idList, const QString &folder, JobControl &control)
{
    return writeOnce(db, CardKind::Combined, idList, folder, control);
}

int SaveAsVCFHome(QSqlDatabase &db, const QString &idList, const QString &folder,
                  JobControl &control)
{
    return writeOnce(db, CardKind::Home, idList, folder, control);
}

int SaveAsVCFWork(QSqlDatabase &db, const QString &idList, const QString &folder,
                  JobControl &control)
{
    return writeOnce(db, CardKind::Work, idList, folder, control);
}

int runCardExport(const QString &databasePath, const QStringList &idLists, const QString &folder,
                  JobControl &control, CardVersion version)
{
    Connection connection(databasePath);
    if (Status open = connection.status(); !open) {
        control.abort(open.message());
        return 0;
    }
    ContactCardReader reader(connection.db());
    CardWriter writer(folder, control, version);
    control.setTotal(idLists.size());
    for (const QString &idList : idLists) {
        if (control.isCancelled())
            break;
        const std::optional<QList<qint64>> ids = parseIdList(idList);
        if (!ids)
            control.fail(idList,
                         QStringLiteral("the id list holds something other than whole numbers"));
        else
            writeCards(reader, writer, CardKind::Combined, *ids, control);
        control.advance();
    }
    return writer.finish();
}

QString cardFailureMessage(const JobReport &report)
{
    if (!report.status && report.failures.empty())
        return QStringLiteral("No vCard file could be written: %1").arg(report.status.message());
    if (report.failures.empty())
        return QString();
    // Show each name once; a contact sent as three cards fails three times.
    constexpr int kNamesShown = 20;
    QStringList shown;
    QSet<QString> seen;
    for (const ItemFailure &f : report.failures) {
        if (seen.contains(f.path))
            continue;
        seen.insert(f.path);
        if (shown.size() < kNamesShown)
            shown << QStringLiteral("\"%1\": %2").arg(f.path, f.reason);
    }
    QString text = QStringLiteral("%1 vCard file(s) could not be written, for %2 contact(s):\n")
                       .arg(report.failures.size())
                       .arg(seen.size());
    text += shown.join(QLatin1Char('\n'));
    if (seen.size() > kNamesShown)
        text += QStringLiteral("\nand %1 more").arg(seen.size() - kNamesShown);
    if (!report.status)
        text += QStringLiteral("\n%1").arg(report.status.message());
    return text;
}

} // namespace quenda
