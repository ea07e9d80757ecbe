#include "contacts/import/contact_import.h"

#include "contacts/import/typed_pairs.h"

#include "contacts/import/import_values.h"
#include "db/contacts.h"
#include "db/database.h"
#include "formats/access_reader.h"
#include "formats/table_sources.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace quenda {

namespace {

constexpr qint64 kProgressEvery = 512;

QString fieldsNotSelected()
{
    return QStringLiteral("Fields Not Selected");
}

QString itemNotSelected()
{
    return QStringLiteral("Item Not Selected");
}

// The field a name means: the same name, else the same name in another letter case, as the
// database engine always matched them.
int fieldIndex(const std::vector<FieldInfo> &fields, const QString &name)
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == name)
            return static_cast<int>(i);
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

struct PlannedColumn {
    ContactColumnInfo declared;
    TargetColumn target;
    int sourceIndex = -1;
    QString field;
};

// The database names the column in most refusals ("NOT NULL constraint failed: cnt_main.NAME").
QString fieldToBlame(const QString &reason, const std::vector<PlannedColumn> &plan)
{
    static const QRegularExpression named(QStringLiteral("cnt_main\\.(\\w+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = named.match(reason);
    if (!m.hasMatch())
        return {};
    for (const PlannedColumn &c : plan) {
        if (c.target.name.compare(m.captured(1), Qt::CaseInsensitive) == 0)
            return c.field;
    }
    return {};
}

// The writer's rows are the records stored, so a row's number is found through the records
// skipped before it.
class RecordNumbers {
public:
    void skipped(qint64 record) { m_skipped.push_back(record); }
    qint64 recordOfRow(qint64 row) const
    {
        qint64 record = row;
        for (qint64 skipped : m_skipped) {
            if (skipped > record)
                break;
            ++record;
        }
        return record;
    }

private:
    std::vector<qint64> m_skipped; // in increasing order
};

Error refused(const Status &why, const ContactImportWriter &writer,
              const std::vector<PlannedColumn> &plan, const RecordNumbers &numbers,
              qint64 recordsRead)
{
    // A fault of the database itself (a full disk, an I/O error) is no record's fault: the
    // import names how far it had come.
    if (writer.failedRow() == 0)
        return fail(QStringLiteral("Nothing was imported: the organizer database stopped the "
                                   "import at record %1: %2")
                        .arg(recordsRead)
                        .arg(why.message()));
    const qint64 record = numbers.recordOfRow(writer.failedRow());
    const QString field = fieldToBlame(why.message(), plan);
    const QString named = field.isEmpty()
                              ? QStringLiteral("record %1").arg(record)
                              : QStringLiteral("record %1, field \"%2\",").arg(record).arg(field);
    return fail(QStringLiteral("Nothing was imported: %1 could not be stored: %2")
                    .arg(named, why.message()));
}

// A record with nothing in it (a line of blanks or of delimiters only) is no contact.
bool isBlankRecord(const QVariantList &values)
{
    for (const QVariant &v : values) {
        if (v.isNull())
            continue;
        const QString text = v.typeId() == QMetaType::QString ? v.toString() : sourceText(v);
        for (QChar c : text)
            if (!c.isSpace())
                return false;
    }
    return true;
}

// The same test on values handed out as UTF-8 text: ASCII is judged byte by byte, anything else
// as the characters it decodes to.
bool isBlankText(const std::vector<QByteArrayView> &values)
{
    for (const QByteArrayView v : values) {
        for (const char byte : v) {
            const auto c = static_cast<unsigned char>(byte);
            if (c >= 0x80) {
                for (QChar ch : QString::fromUtf8(v))
                    if (!ch.isSpace())
                        return false;
                break;
            }
            if (c != ' ' && (c < '\t' || c > '\r'))
                return false;
        }
    }
    return true;
}

// importValue() of a text value given as UTF-8, without making a QString of it where the rule
// keeps the bytes as they are.
void setTextValue(ContactImportWriter &writer, int column, QByteArrayView text,
                  const TargetColumn &target, const QLocale &locale)
{
    if (text.isNull())
        return;
    switch (target.rule) {
    case ColumnRule::Memo:
        return writer.setText(column, text);
    case ColumnRule::Text:
        return writer.setText(column, cutUtf8ToSize(text, target.size));
    case ColumnRule::Date:
        if (isStoredDateText(text))
            return writer.setText(column, text);
        [[fallthrough]];
    case ColumnRule::Number:
        return writer.setValue(column, importValue(QString::fromUtf8(text), target, locale));
    case ColumnRule::Skip:
        return;
    }
}

// The stored contacts by name, each name with the phone numbers and e-mail addresses of all the
// contacts that bear it.
class DuplicateFinder {
public:
    // Nothing to compare when the import gives no name, or neither a phone nor an e-mail.
    Status prepare(QSqlDatabase &db, const std::vector<PlannedColumn> &plan)
    {
        for (size_t i = 0; i < plan.size(); ++i) {
            const QString column = plan[i].target.name.toUpper();
            if (column == QLatin1String("NAME"))
                m_nameAt = int(i);
            else if (contactPhoneColumns().contains(column))
                m_phonesAt.push_back(int(i));
            else if (contactEmailColumns().contains(column))
                m_emailsAt.push_back(int(i));
        }
        if (m_nameAt < 0 || (m_phonesAt.empty() && m_emailsAt.empty()))
            return {};
        m_active = true;
        return readContactReach(
            db, [this](const QString &name, const QStringList &phones, const QStringList &emails) {
                QSet<QString> &keys = m_stored[nameKey(name)];
                for (const QString &p : phones)
                    if (QString key = phoneKey(p); !key.isEmpty())
                        keys.insert(key);
                for (const QString &e : emails)
                    if (QString key = emailKey(e); !key.isEmpty())
                        keys.insert(key);
            });
    }

    // A name and a phone or e-mail are mapped, and some contact is stored.
    bool canMatch() const { return m_active && !m_stored.isEmpty(); }
    int nameColumn() const { return m_nameAt; }

    // value(i) is the text of the record for the plan's column i ("" when it has none).
    bool isDuplicate(const std::function<QString(int)> &value) const
    {
        if (!m_active || m_stored.isEmpty())
            return false;
        const auto stored = m_stored.constFind(nameKey(value(m_nameAt)));
        if (stored == m_stored.constEnd())
            return false;
        for (int i : m_phonesAt)
            if (QString key = phoneKey(value(i)); !key.isEmpty() && stored->contains(key))
                return true;
        for (int i : m_emailsAt)
            if (QString key = emailKey(value(i)); !key.isEmpty() && stored->contains(key))
                return true;
        return false;
    }

private:
    static QString nameKey(const QString &name) { return name.trimmed().toCaseFolded(); }
    // Digits of any script, as one number: "+1 (555) 010-99" and "1555 01099" meet.
    static QString phoneKey(const QString &phone)
    {
        QString digits = QStringLiteral("p");
        for (const QChar c : phone)
            if (c.digitValue() >= 0)
                digits += QChar(u'0' + c.digitValue());
        return digits.size() > 1 ? digits : QString();
    }
    static QString emailKey(const QString &email)
    {
        const QString trimmed = email.trimmed();
        return trimmed.isEmpty() ? QString() : QStringLiteral("e") + trimmed.toCaseFolded();
    }

    bool m_active = false;
    int m_nameAt = -1;
    std::vector<int> m_phonesAt;
    std::vector<int> m_emailsAt;
    QHash<QString, QSet<QString>> m_stored;
};

Result<std::vector<PlannedColumn>> planColumns(QSqlDatabase &db, const TableReader &reader,
                                               const std::vector<ImportPair> &pairs)
{
    const auto declared = contactColumnTypes(db);
    if (!declared)
        return declared.error();
    QHash<QString, ContactColumnInfo> byName;
    for (const ContactColumnInfo &c : *declared)
        byName.insert(c.name.toUpper(), c);

    std::vector<PlannedColumn> plan;
    for (const ImportPair &pair : pairs) {
        const int index = fieldIndex(reader.fields(), pair.field);
        if (index < 0)
            return fail(QStringLiteral("The source has no field \"%1\"; nothing was imported.")
                            .arg(pair.field));
        const auto column = byName.constFind(pair.column.trimmed().toUpper());
        if (column == byName.constEnd())
            return fail(QStringLiteral("The contact table has no column \"%1\"; nothing was "
                                       "imported.")
                            .arg(pair.column));
        PlannedColumn planned{*column, targetColumn(column->name, column->declaredType), index,
                              pair.field};
        // A column named twice (PRODUCT has a row in both grids) keeps its place and takes the
        // later field.
        auto same = std::find_if(plan.begin(), plan.end(), [&](const PlannedColumn &c) {
            return c.target.name == planned.target.name;
        });
        if (same != plan.end())
            *same = planned;
        else
            plan.push_back(planned);
    }
    return plan;
}

} // namespace

Result<std::unique_ptr<TableReader>> openImportSource(const ImportSource &source,
                                                      std::function<bool()> cancelled)
{
    if (!source.isChosen())
        return fail(itemNotSelected());
    auto reader = openTableReader(source.kind, source.path, source.table, source.codePage,
                                  std::move(cancelled));
    if (!reader)
        return reader;
    return withTypedPairs(std::move(*reader));
}

Result<QStringList> importSourceFields(const ImportSource &source)
{
    auto reader = openImportSource(source);
    if (!reader)
        return reader.error();
    return (*reader)->fieldNames();
}

Result<SourceShape> readSourceShape(const ImportSource &source, bool listTables)
{
    SourceShape shape{{}, source};
    if (listTables) {
        const Result<QStringList> tables = accessTables(source.path);
        if (!tables)
            return tables.error();
        shape.tables = *tables;
        if (shape.tables.isEmpty()) {
            shape.source.table.clear();
            return shape;
        }
        shape.source.table = shape.tables.front();
    }
    shape.fields = importSourceFields(shape.source);
    return shape;
}

Result<SourcePreview> readSourcePreview(const ImportSource &source, qsizetype maxRows,
                                        int leadingCols, JobControl &control)
{
    auto opened = openImportSource(source, [&control] { return control.isCancelled(); });
    if (!opened)
        return opened.error();
    TableReader &reader = **opened;
    SourcePreview preview;
    preview.fields = reader.fieldNames();
    QVariantList values;
    while (!control.isCancelled() && reader.next(values)) {
        if (static_cast<qsizetype>(preview.rows.size()) >= maxRows) {
            if (reader.recordNumber() % kProgressEvery == 0)
                control.setDone(reader.recordNumber());
            continue;
        }
        QStringList cells;
        cells.reserve(leadingCols + values.size());
        for (int c = 0; c < leadingCols; ++c)
            cells.append(QString());
        for (const QVariant &v : std::as_const(values))
            cells.append(sourceText(v));
        preview.rows.push_back(std::move(cells));
        if (preview.rows.size() % kProgressEvery == 0)
            control.setDone(static_cast<qint64>(preview.rows.size()));
    }
    preview.total = reader.recordNumber();
    if (!reader.status().ok()) {
        // Past the rows shown, the rows stay in sight and the count says where it stopped.
        if (static_cast<qsizetype>(preview.rows.size()) < maxRows)
            return reader.status().error();
        preview.counted = reader.status();
    }
    return preview;
}

QString previewExtentText(const SourcePreview &preview)
{
    const auto shown = static_cast<qint64>(preview.rows.size());
    if (shown >= preview.total && preview.counted)
        return {};
    const QLocale english(QLocale::English);
    if (!preview.counted)
        return QStringLiteral("showing the first %1 of at least %2 rows; the count stopped: %3")
            .arg(english.toString(shown), english.toString(preview.total),
                 preview.counted.message());
    return QStringLiteral("showing the first %1 of %2 rows")
        .arg(english.toString(shown), english.toString(preview.total));
}

Result<ImportOutcome> importContacts(QSqlDatabase &db, TableReader &reader,
                                     const std::vector<ImportPair> &pairs, JobControl &control,
                                     const QLocale &locale, DuplicatePolicy duplicates)
{
    if (pairs.empty())
        return fail(fieldsNotSelected());
    const auto plan = planColumns(db, reader, pairs);
    if (!plan)
        return plan.error();

    std::vector<ContactColumnInfo> columns;
    for (const PlannedColumn &c : *plan)
        columns.push_back(c.declared);
    ContactImportWriter writer(db);
    if (Status s = writer.begin(columns); !s)
        return fail(QStringLiteral("Nothing was imported: %1").arg(s.message()));
    // Read inside the import's transaction: no other writer can change the contacts meanwhile.
    DuplicateFinder finder;
    if (Status s = finder.prepare(db, *plan); !s) {
        writer.rollback();
        return fail(QStringLiteral("Nothing was imported: %1").arg(s.message()));
    }

    ImportOutcome outcome;
    RecordNumbers numbers;
    // A source of nothing but text hands its values out as UTF-8, as the database stores them.
    const bool asText = reader.givesText();
    QVariantList values;
    std::vector<QByteArrayView> texts;
    while (asText ? reader.nextText(texts) : reader.next(values)) {
        if (control.isCancelled()) {
            writer.rollback();
            return fail(cancelledImportMessage());
        }
        if (asText ? isBlankText(texts) : isBlankRecord(values)) {
            numbers.skipped(reader.recordNumber());
            ++outcome.blankSkipped;
            continue;
        }
        const bool duplicate = finder.isDuplicate([&](int i) {
            const int at = (*plan)[size_t(i)].sourceIndex;
            if (asText)
                return at < static_cast<int>(texts.size()) ? QString::fromUtf8(texts[at])
                                                           : QString();
            return at < values.size() ? sourceText(values[at]) : QString();
        });
        if (duplicate) {
            ++outcome.duplicates;
            if (duplicates == DuplicatePolicy::Skip) {
                numbers.skipped(reader.recordNumber());
                continue;
            }
        }
        for (size_t i = 0; i < plan->size(); ++i) {
            const PlannedColumn &c = (*plan)[i];
            const int column = static_cast<int>(i);
            if (asText) {
                if (c.sourceIndex < static_cast<int>(texts.size()))
                    setTextValue(writer, column, texts[c.sourceIndex], c.target, locale);
            } else if (c.sourceIndex < values.size()) {
                writer.setValue(column, importValue(values[c.sourceIndex], c.target, locale));
            }
        }
        if (Status s = writer.addRow(); !s) {
            writer.rollback();
            return refused(s, writer, *plan, numbers, reader.recordNumber());
        }
        if (reader.recordNumber() % kProgressEvery == 0)
            control.setDone(reader.recordNumber());
    }
    if (!reader.status().ok()) {
        writer.rollback();
        return fail(QStringLiteral("Nothing was imported: record %1 could not be read. %2")
                        .arg(reader.recordNumber() + 1)
                        .arg(reader.status().message()));
    }
    if (control.isCancelled()) {
        writer.rollback();
        return fail(cancelledImportMessage());
    }
    if (Status s = writer.commit(); !s)
        return refused(s, writer, *plan, numbers, reader.recordNumber());
    outcome.added = writer.added();
    control.setDone(reader.recordNumber());
    return outcome;
}

QString cancelledImportMessage()
{
    return QStringLiteral("The import was cancelled; nothing was imported.");
}

QString blankRecordsMessage(qint64 skipped)
{
    if (skipped == 1)
        return QStringLiteral("1 record was skipped: every field of it was empty or blank.");
    return QStringLiteral("%1 records were skipped: every field of each was empty or blank.")
        .arg(skipped);
}

Result<DuplicateScan> scanForDuplicates(QSqlDatabase &db, TableReader &reader,
                                        const std::vector<ImportPair> &pairs, JobControl &control,
                                        int namesKept)
{
    const auto plan = planColumns(db, reader, pairs);
    if (!plan)
        return plan.error();
    DuplicateFinder finder;
    if (Status s = finder.prepare(db, *plan); !s)
        return s.error();
    DuplicateScan scan;
    if (!finder.canMatch())
        return scan;
    QVariantList values;
    while (!control.isCancelled() && reader.next(values)) {
        if (isBlankRecord(values))
            continue;
        const auto value = [&](int i) {
            const int at = (*plan)[size_t(i)].sourceIndex;
            return at < values.size() ? sourceText(values[at]) : QString();
        };
        if (finder.isDuplicate(value)) {
            if (scan.firstNames.size() < namesKept)
                scan.firstNames << value(finder.nameColumn()).trimmed();
            ++scan.count;
        }
        if (reader.recordNumber() % kProgressEvery == 0)
            control.setDone(reader.recordNumber());
    }
    if (!reader.status().ok())
        return fail(QStringLiteral("Record %1 could not be read. %2")
                        .arg(reader.recordNumber() + 1)
                        .arg(reader.status().message()));
    return scan;
}

Result<DuplicateScan> runDuplicateScan(const QString &databasePath, const ImportSource &source,
                                       const std::vector<ImportPair> &pairs, JobControl &control)
{
    auto reader = openImportSource(source, [&control] { return control.isCancelled(); });
    if (!reader)
        return reader.error();
    control.setItem(QDir::toNativeSeparators(source.path));
    Connection connection(databasePath);
    if (Status s = connection.status(); !s)
        return s.error();
    return scanForDuplicates(connection.db(), **reader, pairs, control);
}

namespace {

// The opening the window's question and the command line's count share.
QString duplicatesCounted(qint64 count)
{
    const QString what = count == 1
                             ? QStringLiteral("1 record is a stored contact already")
                             : QStringLiteral("%1 records are stored contacts already").arg(count);
    return what + QStringLiteral(" (same name, and a phone number or e-mail address in common): ");
}

} // namespace

QString duplicatesQuestion(const DuplicateScan &scan)
{
    QString names = scan.firstNames.join(QStringLiteral(", "));
    if (scan.count > scan.firstNames.size())
        names += QStringLiteral(" ...");
    return duplicatesCounted(scan.count) + names +
           QStringLiteral("\n\nImport them all the same? No skips them.");
}

QString duplicatesMessage(qint64 count, DuplicatePolicy policy)
{
    return duplicatesCounted(count) + (policy == DuplicatePolicy::Skip
                                           ? QStringLiteral("skipped.")
                                           : QStringLiteral("imported all the same."));
}

Result<ImportOutcome> runContactImport(const QString &databasePath, const ImportSource &source,
                                       const std::vector<ImportPair> &pairs, JobControl &control,
                                       DuplicatePolicy duplicates)
{
    if (pairs.empty())
        return fail(fieldsNotSelected());
    auto reader = openImportSource(source, [&control] { return control.isCancelled(); });
    if (!reader)
        return reader.error();
    control.setItem(QDir::toNativeSeparators(source.path));
    Connection connection(databasePath);
    if (Status s = connection.status(); !s)
        return s.error();
    return importContacts(connection.db(), **reader, pairs, control, QLocale::system(), duplicates);
}

} // namespace quenda
