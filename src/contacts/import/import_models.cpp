#include "contacts/import/import_models.h"

#include "contacts/import/field_suggestion.h"

#include <QHash>

#include <algorithm>

namespace quenda {

namespace {

using MapCol = RowColumn<MappingGridRow>;

std::vector<MapCol> mappingColumns(MappingModel::Kind kind)
{
    return {MapCol::blank(),
            MapCol::text(QStringLiteral("Group"), QStringLiteral("Contacts Field Type"),
                         &MappingGridRow::group),
            MapCol::text(QStringLiteral("Column"), QStringLiteral("Contacts Field Name"),
                         &MappingGridRow::column),
            MapCol::text(QStringLiteral("Display"), QStringLiteral("Contacts Field Name"),
                         &MappingGridRow::display),
            kind == MappingModel::Kind::Mapping
                ? MapCol::editable(QStringLiteral("Field"), QStringLiteral("External Field Name"),
                                   &MappingGridRow::field)
                : MapCol::text(QStringLiteral("Field"), QStringLiteral("External Field Name"),
                               &MappingGridRow::field),
            MapCol::tick(QStringLiteral("Include"), QString(), &MappingGridRow::include)};
}

} // namespace

MappingModel::MappingModel(Kind kind, const std::vector<MappingRow> &rows, bool ticked,
                           QObject *parent)
    : RowTableModel<MappingGridRow>(mappingColumns(kind), parent)
{
    std::vector<MappingGridRow> out;
    out.reserve(rows.size());
    for (const MappingRow &row : rows)
        out.push_back({row.group, row.column, row.display, QString(), ticked});
    setRows(std::move(out));
}

void MappingModel::setField(int row, const QString &field)
{
    if (row >= 0 && row < rowCount() && this->row(row).field != field)
        updateRow(row, [&field](MappingGridRow &r) { r.field = field; });
}

QStringList MappingModel::fields() const
{
    QStringList out;
    for (const MappingGridRow &r : rows())
        out << r.field;
    return out;
}

bool MappingModel::anyMapped() const
{
    return std::any_of(rows().begin(), rows().end(),
                       [](const MappingGridRow &r) { return !r.field.trimmed().isEmpty(); });
}

std::vector<ImportPair> MappingModel::includedPairs() const
{
    std::vector<ImportPair> pairs;
    for (const MappingGridRow &r : rows())
        if (!r.field.isEmpty() && r.include)
            pairs.push_back({r.column, r.field});
    return pairs;
}

void applySuggestedFields(const std::vector<MappingModel *> &lists, const QStringList &sourceFields,
                          const QString &kind)
{
    QStringList columns;
    for (const MappingModel *model : lists)
        for (const MappingGridRow &row : model->rows())
            columns << row.column;
    QHash<QString, QString> fieldOf;
    for (const ImportPair &pair : suggestMapping(sourceFields, columns, kind))
        fieldOf.insert(pair.column.toUpper(), pair.field);
    for (MappingModel *model : lists) {
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString field = fieldOf.value(model->row(r).column.toUpper());
            if (!field.isEmpty() && model->row(r).field.trimmed().isEmpty())
                model->setField(r, field);
        }
    }
}

PreviewModel::PreviewModel(QObject *parent)
    : RowTableModel<PreviewRecord>({RowColumn<PreviewRecord>::blank()}, parent)
{
}

void PreviewModel::setRecords(const QStringList &fields, std::vector<QStringList> records)
{
    std::vector<RowColumn<PreviewRecord>> columns{RowColumn<PreviewRecord>::blank()};
    for (qsizetype f = 0; f < fields.size(); ++f)
        columns.push_back(
            RowColumn<PreviewRecord>::computed(fields[f], fields[f], [f](const PreviewRecord &r) {
                return QVariant(r.values.value(f));
            }));
    std::vector<PreviewRecord> rows;
    rows.reserve(records.size());
    for (QStringList &values : records)
        rows.push_back({std::move(values)});
    setColumnsAndRows(std::move(columns), std::move(rows));
}

} // namespace quenda
