#include "contacts/import/typed_pairs.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace quenda {

namespace {

enum class Family { Phone, Email };

// Where a value of one kind goes: its own slots first, then the fallbacks, each slot taking one
// value a row. A value that finds every slot full stays in its own "- Value" field only.
struct Kind {
    Family family;
    const char *word; // found in the type text, in any letter case; "" matches every type
    const char *places[4];
};

// The first kind whose word the type holds decides: "Work Fax" is a fax, "Work" a work phone.
constexpr Kind kKinds[] = {
    {Family::Phone, "fax", {"Business Fax", "Other Phone"}},
    {Family::Phone, "mobile", {"Mobile Phone", "Other Phone"}},
    {Family::Phone, "cell", {"Mobile Phone", "Other Phone"}},
    {Family::Phone, "work", {"Business Phone", "Business Phone 2", "Other Phone"}},
    {Family::Phone, "business", {"Business Phone", "Business Phone 2", "Other Phone"}},
    {Family::Phone, "home", {"Home Phone", "Home Phone 2", "Other Phone"}},
    {Family::Phone, "", {"Other Phone", "Home Phone 2"}},
    {Family::Email, "work", {"E-mail 3 Address", "E-mail 2 Address"}},
    {Family::Email, "business", {"E-mail 3 Address", "E-mail 2 Address"}},
    {Family::Email, "", {"E-mail Address", "E-mail 2 Address", "E-mail 3 Address"}},
};

// The added fields, in the order the field list shows them.
struct Slot {
    Family family;
    const char *name;
};
constexpr Slot kSlots[] = {
    {Family::Phone, "Home Phone"},       {Family::Phone, "Home Phone 2"},
    {Family::Phone, "Business Phone"},   {Family::Phone, "Business Phone 2"},
    {Family::Phone, "Mobile Phone"},     {Family::Phone, "Business Fax"},
    {Family::Phone, "Other Phone"},      {Family::Email, "E-mail Address"},
    {Family::Email, "E-mail 2 Address"}, {Family::Email, "E-mail 3 Address"},
};

struct Pair {
    Family family = Family::Phone;
    int typeField = -1;
    int valueField = -1;
};

const Kind &kindOf(Family family, const QString &type)
{
    const QString lower = type.toLower();
    for (const Kind &k : kKinds)
        if (k.family == family && lower.contains(QLatin1String(k.word)))
            return k;
    Q_UNREACHABLE(); // every family ends with a kind that matches every type
}

QString valueText(const QVariant &v)
{
    return v.isNull() ? QString() : v.toString();
}

class TypedPairsReader : public TableReader {
public:
    TypedPairsReader(std::unique_ptr<TableReader> source, std::vector<Pair> pairs,
                     std::vector<FieldInfo> fields, std::map<QString, int> slotField)
        : m_source(std::move(source)), m_pairs(std::move(pairs)), m_fields(std::move(fields)),
          m_slotField(std::move(slotField)),
          m_ownFields(static_cast<int>(m_source->fields().size()))
    {
    }

    const std::vector<FieldInfo> &fields() const override { return m_fields; }

    bool next(QVariantList &values) override
    {
        if (!m_source->next(values))
            return false;
        while (values.size() < m_ownFields)
            values.append(QVariant());
        const auto added = static_cast<qsizetype>(m_fields.size()) - m_ownFields;
        for (qsizetype i = 0; i < added; ++i)
            values.append(QVariant());
        for (const Pair &pair : m_pairs) {
            const Kind &kind = kindOf(pair.family, valueText(values[pair.typeField]));
            // One cell may hold several values of its type: "555 1000 ::: 555 2000".
            const QStringList parts =
                valueText(values[pair.valueField]).split(QStringLiteral(":::"));
            for (const QString &part : parts) {
                const QString value = part.trimmed();
                if (!value.isEmpty())
                    place(kind, value, values);
            }
        }
        return true;
    }

    Status status() const override { return m_source->status(); }
    int codePage() const override { return m_source->codePage(); }
    qint64 recordNumber() const override { return m_source->recordNumber(); }

private:
    void place(const Kind &kind, const QString &value, QVariantList &values) const
    {
        for (const char *slot : kind.places) {
            if (!slot)
                return;
            const auto found = m_slotField.find(QString::fromLatin1(slot));
            if (found != m_slotField.end() && values[found->second].isNull()) {
                values[found->second] = value;
                return;
            }
        }
    }

    std::unique_ptr<TableReader> m_source;
    std::vector<Pair> m_pairs;
    std::vector<FieldInfo> m_fields;
    std::map<QString, int> m_slotField; // added field name to its place in a record
    int m_ownFields;
};

} // namespace

std::unique_ptr<TableReader> withTypedPairs(std::unique_ptr<TableReader> source)
{
    static const QRegularExpression pairName(
        QStringLiteral(R"(^\s*(phone|e-?mail)\s*(\d+)\s*-\s*(type|value)\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const std::vector<FieldInfo> &own = source->fields();
    std::map<std::pair<int, int>, Pair> byNumber; // (family, number) to its two fields
    for (int i = 0; i < static_cast<int>(own.size()); ++i) {
        const auto match = pairName.match(own[i].name);
        if (!match.hasMatch())
            continue;
        const Family family =
            match.captured(1).compare(QLatin1String("phone"), Qt::CaseInsensitive) == 0
                ? Family::Phone
                : Family::Email;
        Pair &pair = byNumber[{static_cast<int>(family), match.captured(2).toInt()}];
        pair.family = family;
        (match.captured(3).compare(QLatin1String("type"), Qt::CaseInsensitive) == 0
             ? pair.typeField
             : pair.valueField) = i;
    }
    std::vector<Pair> pairs;
    for (const auto &[key, pair] : byNumber)
        if (pair.typeField >= 0 && pair.valueField >= 0)
            pairs.push_back(pair);
    if (pairs.empty())
        return source;

    // A slot the source already has a field of that name for is not added: the source's field
    // keeps its own values and the typed values go on to their next slot.
    std::vector<FieldInfo> fields = own;
    std::map<QString, int> slotField;
    for (const Slot &slot : kSlots) {
        const bool used = std::any_of(pairs.begin(), pairs.end(),
                                      [&slot](const Pair &p) { return p.family == slot.family; });
        const QString name = QString::fromLatin1(slot.name);
        const bool taken = std::any_of(own.begin(), own.end(), [&name](const FieldInfo &f) {
            return f.name.trimmed().compare(name, Qt::CaseInsensitive) == 0;
        });
        if (!used || taken)
            continue;
        slotField.emplace(name, static_cast<int>(fields.size()));
        fields.push_back({name, FieldType::Text, 0});
    }
    return std::make_unique<TypedPairsReader>(std::move(source), std::move(pairs),
                                              std::move(fields), std::move(slotField));
}

} // namespace quenda
