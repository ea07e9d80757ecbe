#include "contacts/import/field_suggestion.h"

#include "contacts/import/field_catalogue.h"

#include <QHash>
#include <QSet>

namespace quenda {

namespace {

// The names the common exports give their columns, each with the columns it may stand for, the
// likeliest first. Typed pairs ("Phone 1 - Type" with "Phone 1 - Value") are not among them: their
// values arrive in the fields the typed-pairs reader adds, which are.
struct Alias {
    const char *name;
    const char *columns;
};

constexpr Alias kAliases[] = {
    // Desktop mail programs.
    {"First Name", "FIRST"},
    {"Last Name", "LAST"},
    {"E-mail Address", "H_EMAIL1 H_EMAIL2"},
    {"E-mail 2 Address", "H_EMAIL2 B_EMAIL1"},
    {"E-mail 3 Address", "B_EMAIL1 B_EMAIL2"},
    {"Business Phone", "W_PH1 W_PH2"},
    {"Business Phone 2", "W_PH2 W_PH3"},
    {"Company Main Phone", "W_PH3 B_PH1"},
    {"Business Fax", "FAX"},
    {"Home Phone", "H_PH1 H_PH2"},
    {"Home Phone 2", "H_PH2 H_PH3"},
    {"Other Phone", "H_PH3 B_PH1"},
    {"Mobile Phone", "MOBILE"},
    {"Company", "COMPANY"},
    {"Job Title", "JOB_TITLE"},
    {"Home Street", "H_ADD1"},
    {"Home Street 2", "H_ADD2"},
    {"Home City", "H_CITY"},
    {"Home State", "H_STATE"},
    {"Home Postal Code", "H_PIN"},
    {"Home Country/Region", "H_COUNTRY"},
    {"Business Street", "W_ADD1"},
    {"Business Street 2", "W_ADD2"},
    {"Business City", "W_CITY"},
    {"Business State", "W_STATE"},
    {"Business Postal Code", "W_PIN"},
    {"Business Country/Region", "W_COUNTRY"},
    {"Other Street", "B_ADD1"},
    {"Other City", "B_CITY"},
    {"Other State", "B_STATE"},
    {"Other Postal Code", "B_PIN"},
    {"Other Country/Region", "B_COUNTRY"},
    {"Birthday", "M_BD"},
    {"Web Page", "H_WEB"},
    {"Notes", "B_NOTE"},
    {"Categories", "CATEGORY1"},
    {"Gender", "SEX"},
    {"Spouse", "SPOUSE"},
    {"Nickname", "NICK"},
    // Web mail and address books.
    {"Display Name", "NAME"},
    {"Full Name", "NAME"},
    {"Given Name", "FIRST"},
    {"Family Name", "LAST"},
    {"Primary Email", "H_EMAIL1 H_EMAIL2"},
    {"Secondary Email", "H_EMAIL2 B_EMAIL1"},
    {"Email", "H_EMAIL1 H_EMAIL2"},
    {"Email Address", "H_EMAIL1 H_EMAIL2"},
    {"Work Phone", "W_PH1 W_PH2"},
    {"Mobile Number", "MOBILE"},
    {"Fax Number", "FAX"},
    {"Home Address", "H_ADD1"},
    {"Home Address 2", "H_ADD2"},
    {"Home ZipCode", "H_PIN"},
    {"Home Country", "H_COUNTRY"},
    {"Work Address", "W_ADD1"},
    {"Work Address 2", "W_ADD2"},
    {"Work City", "W_CITY"},
    {"Work State", "W_STATE"},
    {"Work ZipCode", "W_PIN"},
    {"Work Country", "W_COUNTRY"},
    {"Organization", "COMPANY"},
    {"Organization 1 - Name", "COMPANY"},
    {"Organization 1 - Title", "JOB_TITLE"},
    {"Web Page 1", "H_WEB"},
    {"Web Page 2", "B_WEB"},
};

// Letters and digits only, in one letter case: "E-mail Address" and "email address" meet.
QString nameKey(const QString &name)
{
    QString key;
    key.reserve(name.size());
    for (const QChar c : name)
        if (c.isLetterOrNumber())
            key += c.toCaseFolded();
    return key;
}

QStringList candidates(const char *columns)
{
    return QString::fromLatin1(columns).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Export names first, then display names, then the columns' own names: "Title" is the display
// name of TITLE, while a job title arrives as "Job Title".
const QHash<QString, QStringList> &byNameKey()
{
    static const QHash<QString, QStringList> table = [] {
        QHash<QString, QStringList> t;
        for (const Alias &a : kAliases)
            t.insert(nameKey(QString::fromLatin1(a.name)), candidates(a.columns));
        const QStringList all = columnsOfList(fullFieldList());
        for (const QString &column : all) {
            const QString key = nameKey(displayNameOf(column));
            if (!t.contains(key))
                t.insert(key, {column.toUpper()});
        }
        for (const QString &column : all) {
            const QString key = nameKey(column);
            if (!t.contains(key))
                t.insert(key, {column.toUpper()});
        }
        return t;
    }();
    return table;
}

QStringList withPrefixes(const QStringList &prefixes, const QString &suffix)
{
    QStringList out;
    for (const QString &p : prefixes)
        out << p + suffix;
    return out;
}

// A field of the vCard reader: the property, its kinds, a count after a blank and a part.
QStringList vcardCandidates(const QString &field)
{
    QStringList parts = field.split(QLatin1Char(';'));
    // The count follows the property or its last kind, before any part.
    for (QString &p : parts) {
        const qsizetype blank = p.indexOf(QLatin1Char(' '));
        if (blank > 0)
            p.truncate(blank);
    }
    const QString property = parts.takeFirst();
    const auto has = [&parts](const char *kind) { return parts.contains(QLatin1String(kind)); };
    static const QHash<QString, QString> single = {
        {QStringLiteral("FN"), QStringLiteral("NAME")},
        {QStringLiteral("NICKNAME"), QStringLiteral("NICK")},
        {QStringLiteral("TITLE"), QStringLiteral("JOB_TITLE")},
        {QStringLiteral("BDAY"), QStringLiteral("M_BD")},
        {QStringLiteral("NOTE"), QStringLiteral("B_NOTE")},
        {QStringLiteral("SPOUSE"), QStringLiteral("SPOUSE")},
    };
    if (parts.isEmpty() && single.contains(property))
        return {single.value(property)};
    if (property == QLatin1String("ORG"))
        return parts.isEmpty() ? QStringList{QStringLiteral("COMPANY")} : QStringList{};
    if (property == QLatin1String("N") && parts.size() == 1) {
        if (has("FAMILY"))
            return {QStringLiteral("LAST")};
        if (has("GIVEN"))
            return {QStringLiteral("FIRST")};
        if (has("PREFIX"))
            return {QStringLiteral("TITLE")};
        return {};
    }
    if (property == QLatin1String("TEL")) {
        if (has("FAX"))
            return {QStringLiteral("FAX")};
        if (has("CELL"))
            return {QStringLiteral("MOBILE")};
        QStringList out;
        const QStringList order = has("WORK") ? QStringList{QStringLiteral("W_PH")}
                                  : has("HOME")
                                      ? QStringList{QStringLiteral("H_PH")}
                                      : QStringList{QStringLiteral("H_PH"), QStringLiteral("W_PH"),
                                                    QStringLiteral("B_PH")};
        for (const QString &prefix : order)
            for (int n = 1; n <= 3; ++n)
                out << prefix + QString::number(n);
        return out;
    }
    if (property == QLatin1String("EMAIL")) {
        if (has("WORK"))
            return {QStringLiteral("B_EMAIL1"), QStringLiteral("B_EMAIL2")};
        return {QStringLiteral("H_EMAIL1"), QStringLiteral("H_EMAIL2"), QStringLiteral("B_EMAIL1"),
                QStringLiteral("B_EMAIL2")};
    }
    if (property == QLatin1String("URL"))
        return has("WORK") ? QStringList{QStringLiteral("B_WEB"), QStringLiteral("H_WEB")}
                           : QStringList{QStringLiteral("H_WEB"), QStringLiteral("B_WEB")};
    if (property == QLatin1String("ADR") && !parts.isEmpty()) {
        static const QHash<QString, QString> partColumn = {
            {QStringLiteral("STREET"), QStringLiteral("ADD1")},
            {QStringLiteral("EXTENDED"), QStringLiteral("ADD2")},
            {QStringLiteral("LOCALITY"), QStringLiteral("CITY")},
            {QStringLiteral("REGION"), QStringLiteral("STATE")},
            {QStringLiteral("POSTALCODE"), QStringLiteral("PIN")},
            {QStringLiteral("COUNTRY"), QStringLiteral("COUNTRY")},
        };
        const QString suffix = partColumn.value(parts.last());
        if (suffix.isEmpty())
            return {};
        const QStringList prefixes =
            has("WORK") ? QStringList{QStringLiteral("W_"), QStringLiteral("B_")}
            : has("HOME")
                ? QStringList{QStringLiteral("H_")}
                : QStringList{QStringLiteral("H_"), QStringLiteral("W_"), QStringLiteral("B_")};
        return withPrefixes(prefixes, suffix);
    }
    return {};
}

} // namespace

std::vector<ImportPair> suggestMapping(const QStringList &fields, const QStringList &columns,
                                       const QString &kind)
{
    const bool vcard = kind == QLatin1String("vCard");
    QHash<QString, QString> offered; // upper-case name to the name as reported
    for (const QString &column : columns) {
        const QString upper = column.trimmed().toUpper();
        if (!offered.contains(upper))
            offered.insert(upper, column.trimmed());
    }
    QSet<QString> taken;
    std::vector<ImportPair> pairs;
    for (const QString &field : fields) {
        const QStringList wanted =
            vcard ? vcardCandidates(field) : byNameKey().value(nameKey(field));
        for (const QString &column : wanted) {
            const auto found = offered.constFind(column);
            if (found == offered.constEnd() || taken.contains(column))
                continue;
            taken.insert(column);
            pairs.push_back({*found, field});
            break;
        }
    }
    return pairs;
}

std::vector<ImportPair> mergeMapping(const std::vector<ImportPair> &suggested,
                                     const std::vector<ImportPair> &given)
{
    std::vector<ImportPair> merged;
    for (const ImportPair &pair : suggested) {
        bool overridden = false;
        for (const ImportPair &mine : given)
            overridden = overridden || mine.column.compare(pair.column, Qt::CaseInsensitive) == 0;
        if (!overridden)
            merged.push_back(pair);
    }
    merged.insert(merged.end(), given.begin(), given.end());
    return merged;
}

} // namespace quenda
