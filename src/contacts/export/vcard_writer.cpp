#include "contacts/export/vcard_writer.h"

#include "common/text_output.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <array>

namespace quenda {

namespace {

// Past this many ids a list is split over several queries: SQLite caps bound values.
constexpr int kMaxIdsPerQuery = 500;

enum Col {
    ID,
    NAME,
    TITLE,
    FIRST,
    LAST,
    Nview,
    NICK,
    COMPANY,
    SPOUSE,
    W_PH1,
    W_PH2,
    W_PH3,
    H_PH1,
    H_PH2,
    H_PH3,
    MOBILE,
    FAX,
    W_ADD1,
    W_ADD2,
    W_CITY,
    W_STATE,
    W_PIN,
    W_COUNTRY,
    H_ADD1,
    H_ADD2,
    H_CITY,
    H_STATE,
    H_PIN,
    H_COUNTRY,
    B_ADD1,
    B_ADD2,
    B_CITY,
    B_STATE,
    B_PIN,
    B_COUNTRY,
    M_BD,
    H_EMAIL1,
    B_EMAIL1,
    H_WEB,
    ColCount
};

constexpr std::array<const char *, ColCount> kColNames = {
    "ID",      "NAME",   "TITLE",     "FIRST",  "LAST",      "Nview",    "NICK",      "COMPANY",
    "SPOUSE",  "W_PH1",  "W_PH2",     "W_PH3",  "H_PH1",     "H_PH2",    "H_PH3",     "MOBILE",
    "FAX",     "W_ADD1", "W_ADD2",    "W_CITY", "W_STATE",   "W_PIN",    "W_COUNTRY", "H_ADD1",
    "H_ADD2",  "H_CITY", "H_STATE",   "H_PIN",  "H_COUNTRY", "B_ADD1",   "B_ADD2",    "B_CITY",
    "B_STATE", "B_PIN",  "B_COUNTRY", "M_BD",   "H_EMAIL1",  "B_EMAIL1", "H_WEB"};

using Row = std::array<QString, ColCount>;
using Lines = std::vector<std::pair<QString, QString>>;

QString address(const Row &r, Col add1)
{
    // add1, add2, city, state, pin, country follow one another in Col.
    return r[add1] + QLatin1Char(' ') + r[add1 + 1] + QLatin1Char(';') + r[add1 + 2] +
           QLatin1Char(';') + r[add1 + 3] + QLatin1Char(';') + r[add1 + 4] + QLatin1Char(';') +
           r[add1 + 5];
}

// Dates are stored as ISO text, with or without a time part.
QString birthday(const QString &stored)
{
    if (stored.isEmpty())
        return QString();
    QDate date = QDate::fromString(stored.left(10), Qt::ISODate);
    if (!date.isValid())
        date = QDateTime::fromString(stored, Qt::ISODate).date();
    return date.isValid() ? date.toString(QStringLiteral("yyyyMMdd")) : QString();
}

Lines cardLines(const Row &r, CardKind kind)
{
    auto L = [](const char *property, const QString &value) {
        return std::pair<QString, QString>(QString::fromLatin1(property), value);
    };
    const QString nameLine = r[Nview] + QLatin1Char(';') + r[TITLE] + QLatin1Char(';');
    const QString web = QStringLiteral("http://") + r[H_WEB];
    switch (kind) {
    case CardKind::Combined:
        return {L("BEGIN", QStringLiteral("VCARD")),
                L("VERSION", QStringLiteral("2.1")),
                L("N", r[FIRST] + QLatin1Char(' ') + r[LAST] + QLatin1Char(' ') + r[TITLE] +
                           QLatin1Char(';')),
                L("FN", r[NAME]),
                L("NICKNAME", r[NICK]),
                L("ORG", r[COMPANY]),
                L("SPOUSE", r[SPOUSE]),
                L("TEL;WORK;VOICE", r[W_PH1]),
                L("TEL;WORK;VOICE", r[W_PH2]),
                L("TEL;WORK;VOICE", r[W_PH3]),
                L("TEL;HOME;VOICE", r[H_PH1]),
                L("TEL;HOME;VOICE", r[H_PH2]),
                L("TEL;HOME;VOICE", r[H_PH3]),
                L("TEL;CELL;VOICE", r[MOBILE]),
                L("TEL;WORK;FAX", r[FAX]),
                L("ADR;WORK", QStringLiteral(";office;") + address(r, W_ADD1)),
                L("ADR;HOME", QStringLiteral(";;") + address(r, H_ADD1)),
                L("ADR;POSTAL", QStringLiteral(";;") + address(r, B_ADD1)),
                L("BDAY", birthday(r[M_BD])),
                L("EMAIL;PREF;INTERNET", r[H_EMAIL1]),
                L("EMAIL;INTERNET", r[B_EMAIL1]),
                L("URL", web),
                L("End", QStringLiteral("VCARD"))};
    case CardKind::Home:
        return {L("BEGIN", QStringLiteral("VCARD")),
                L("VERSION", QStringLiteral("2.1")),
                L("N", nameLine),
                L("FN", r[NAME]),
                L("NICKNAME", r[NICK]),
                L("SPOUSE", r[SPOUSE]),
                L("TEL;HOME;VOICE", r[H_PH1]),
                L("TEL;HOME;VOICE", r[H_PH2]),
                L("TEL;HOME;VOICE", r[H_PH3]),
                L("TEL;CELL;VOICE", r[MOBILE]),
                L("ADR;HOME", QStringLiteral(";;") + address(r, H_ADD1)),
                L("ADR;POSTAL", QStringLiteral(";;") + address(r, B_ADD1)),
                L("BDAY", birthday(r[M_BD])),
                L("End", QStringLiteral("VCARD"))};
    case CardKind::Work:
        return {L("BEGIN", QStringLiteral("VCARD")),
                L("VERSION", QStringLiteral("2.1")),
                L("N", nameLine),
                L("FN", r[NAME]),
                L("ORG", r[COMPANY]),
                L("TEL;WORK;VOICE", r[W_PH1]),
                L("TEL;WORK;VOICE", r[W_PH2]),
                L("TEL;WORK;VOICE", r[W_PH3]),
                L("TEL;CELL;VOICE", r[MOBILE]),
                L("TEL;WORK;FAX", r[FAX]),
                L("ADR;WORK", QStringLiteral(";office;") + address(r, W_ADD1)),
                L("ADR;POSTAL", QStringLiteral(";;") + address(r, B_ADD1)),
                L("EMAIL;PREF;INTERNET", r[H_EMAIL1]),
                L("EMAIL;INTERNET", r[B_EMAIL1]),
                L("URL", web),
                L("End", QStringLiteral("VCARD"))};
    }
    return {};
}

bool hasNonAscii(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return true;
    return false;
}

// Windows-1252 when every line fits; otherwise UTF-8, and each line with a non-ASCII character
// says so, because a reader takes unmarked lines for the default character set.
QByteArray encodeCard(const std::vector<std::pair<QString, QString>> &lines)
{
    bool fits = true;
    for (const auto &[property, value] : lines)
        fits = fits && fitsWindows1252(property) && fitsWindows1252(value);
    QString text;
    text.reserve(512);
    for (const auto &[property, value] : lines) {
        text += property;
        if (!fits && (hasNonAscii(property) || hasNonAscii(value)))
            text += QLatin1String(";CHARSET=UTF-8");
        text += QLatin1Char(':');
        text += value;
        text += QLatin1String("\r\n");
    }
    return fits ? toWindows1252(text) : text.toUtf8();
}

QString withoutTrailingSeparator(const QString &folder)
{
    QString out = QDir::fromNativeSeparators(folder);
    while (out.size() > 1 && out.endsWith(QLatin1Char('/')))
        out.chop(1);
    return out;
}

} // namespace

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

QString cardFileName(const QString &name, CardKind kind, QString *reason)
{
    QString why;
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        why = QStringLiteral("the name holds a path separator");
    else if (name == QLatin1String(".") || name == QLatin1String(".."))
        why = QStringLiteral("the name is a folder reference");
    else if (name.contains(QChar(0)))
        why = QStringLiteral("the name holds a null character");
    if (!why.isEmpty()) {
        if (reason)
            *reason = why;
        return QString();
    }
    switch (kind) {
    case CardKind::Combined:
        return name + QLatin1String(".vcf");
    case CardKind::Home:
        return name + QLatin1String("-H.vcf");
    case CardKind::Work:
        return name + QLatin1String("-W .vcf");
    }
    return QString();
}

struct VCardWriter::Prepared {
    explicit Prepared(const QSqlDatabase &db) : query(db) {}
    QSqlQuery query;
    std::array<int, ColCount> columns{};
    bool columnsKnown = false;
};

VCardWriter::VCardWriter(QSqlDatabase db) : m_db(std::move(db)) {}

VCardWriter::~VCardWriter() = default;

VCardWriter::Prepared *VCardWriter::preparedFor(int idCount, QString *error)
{
    auto found = m_prepared.find(idCount);
    if (found != m_prepared.end())
        return found->second.get();
    auto prepared = std::make_unique<Prepared>(m_db);
    QStringList marks;
    for (int i = 0; i < idCount; ++i)
        marks << QStringLiteral("?");
    prepared->query.setForwardOnly(true);
    if (!prepared->query.prepare(QStringLiteral("Select * from cnt_main where id in ( %1)")
                                     .arg(marks.join(QLatin1Char(','))))) {
        *error = prepared->query.lastError().text();
        return nullptr;
    }
    return m_prepared.emplace(idCount, std::move(prepared)).first->second.get();
}

void VCardWriter::write(CardKind kind, const QString &idList, const QString &folder,
                        CardResult &into)
{
    const std::optional<QList<qint64>> ids = parseIdList(idList);
    if (!ids) {
        into.error = QStringLiteral("The id list \"%1\" holds something other than whole numbers.")
                         .arg(idList);
        return;
    }
    write(kind, *ids, folder, into);
}

void VCardWriter::write(CardKind kind, const QList<qint64> &ids, const QString &folder,
                        CardResult &into)
{
    const QString dir = withoutTrailingSeparator(folder) + QLatin1Char('/');
    for (qsizetype start = 0; start < ids.size(); start += kMaxIdsPerQuery) {
        const QList<qint64> chunk = ids.mid(start, kMaxIdsPerQuery);
        QString error;
        Prepared *prepared = preparedFor(static_cast<int>(chunk.size()), &error);
        if (!prepared) {
            into.error = error;
            return;
        }
        QSqlQuery &q = prepared->query;
        for (int i = 0; i < chunk.size(); ++i)
            q.bindValue(i, chunk[i]);
        if (!q.exec()) {
            into.error = q.lastError().text();
            return;
        }
        if (!prepared->columnsKnown) {
            const QSqlRecord record = q.record();
            for (int c = 0; c < ColCount; ++c)
                prepared->columns[c] = record.indexOf(QString::fromLatin1(kColNames[c]));
            prepared->columnsKnown = true;
        }
        QSet<qint64> found;
        Row row;
        while (q.next()) {
            for (int c = 0; c < ColCount; ++c) {
                const int at = prepared->columns[c];
                row[c] = at < 0 ? QString() : q.value(at).toString();
            }
            found.insert(row[ID].toLongLong());
            QString reason;
            const QString fileName = cardFileName(row[NAME], kind, &reason);
            if (fileName.isEmpty()) {
                into.failures.push_back({row[NAME], reason});
                continue;
            }
            const QString path = dir + fileName;
            if (writeBytesFile(path, encodeCard(cardLines(row, kind)), &reason))
                into.written.append(path);
            else
                into.failures.push_back({row[NAME], reason});
        }
        q.finish();
        for (qint64 id : chunk)
            if (!found.contains(id))
                into.missingIds.append(id);
    }
}

namespace {
CardResult writeOnce(QSqlDatabase db, CardKind kind, const QString &idList, const QString &folder)
{
    CardResult result;
    VCardWriter writer(std::move(db));
    writer.write(kind, idList, folder, result);
    return result;
}
} // namespace

CardResult SaveAsVCF(QSqlDatabase db, const QString &idList, const QString &folder)
{
    return writeOnce(std::move(db), CardKind::Combined, idList, folder);
}

CardResult SaveAsVCFHome(QSqlDatabase db, const QString &idList, const QString &folder)
{
    return writeOnce(std::move(db), CardKind::Home, idList, folder);
}

CardResult SaveAsVCFWork(QSqlDatabase db, const QString &idList, const QString &folder)
{
    return writeOnce(std::move(db), CardKind::Work, idList, folder);
}

QString cardFailureMessage(const CardResult &result)
{
    if (!result.error.isEmpty() && result.failures.empty())
        return QStringLiteral("No vCard file could be written: %1").arg(result.error);
    if (result.failures.empty())
        return QString();
    // Show each name once; a contact sent as three cards fails three times.
    constexpr int kNamesShown = 20;
    QStringList shown;
    QSet<QString> seen;
    for (const CardFailure &f : result.failures) {
        if (seen.contains(f.name))
            continue;
        seen.insert(f.name);
        if (shown.size() < kNamesShown)
            shown << QStringLiteral("\"%1\": %2").arg(f.name, f.reason);
    }
    QString text = QStringLiteral("%1 vCard file(s) could not be written, for %2 contact(s):\n")
                       .arg(result.failures.size())
                       .arg(seen.size());
    text += shown.join(QLatin1Char('\n'));
    if (seen.size() > kNamesShown)
        text += QStringLiteral("\nand %1 more").arg(seen.size() - kNamesShown);
    if (!result.error.isEmpty())
        text += QStringLiteral("\n%1").arg(result.error);
    return text;
}

} // namespace quenda
