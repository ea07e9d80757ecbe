#include "contacts/import/import_session.h"

#include "contacts/import/field_catalogue.h"
#include "db/contacts.h"
#include "db/mapping_schemes.h"
#include "db/setup.h"

namespace quenda {

MappingLists ImportSession::mappingLists()
{
    QSqlDatabase &db = m_connection.db();
    return {mappingRows(reportedColumns(db, importantFieldList())),
            mappingRows(reportedColumns(db, otherFieldList()))};
}

Result<QStringList> ImportSession::schemeNames()
{
    Result<QStringList> names = mappingSchemeNames(m_connection.db());
    if (!names)
        return fail(QStringLiteral("The saved schemes could not be read: %1").arg(names.message()));
    return names;
}

Result<std::vector<SchemeRow>> ImportSession::schemeRows(const QString &name, int rowCount)
{
    Result<std::vector<SchemeRow>> rows = mappingSchemeRows(m_connection.db(), name);
    if (!rows)
        return fail(QStringLiteral("The scheme could not be read: %1").arg(rows.message()));
    std::erase_if(*rows, [rowCount](const SchemeRow &r) { return r.row < 1 || r.row > rowCount; });
    return rows;
}

Status ImportSession::saveScheme(const QString &name, const QStringList &fieldsByRow)
{
    if (const Status saved = saveMappingScheme(m_connection.db(), name, fieldsByRow); !saved)
        return fail(
            QStringLiteral("The scheme \"%1\" could not be saved: %2").arg(name, saved.message()));
    return {};
}

Result<PreviewTable> ImportSession::storedContacts(qsizetype maxRows)
{
    QStringList fieldNames;
    Result<std::vector<QStringList>> rows =
        contactPreviewRows(m_connection.db(), previewFieldList(), 0, maxRows, fieldNames);
    if (!rows)
        return fail(QStringLiteral("The contacts could not be read: %1").arg(rows.message()));
    PreviewTable table;
    for (const QString &name : std::as_const(fieldNames))
        table.headers << displayNameOf(name).trimmed();
    table.rows = std::move(*rows);
    return table;
}

Result<QStringList> ImportSession::contactNames()
{
    Result<QStringList> names = m_connection.isOpen()
                                    ? quenda::contactNames(m_connection.db())
                                    : Result<QStringList>(m_connection.status().error());
    if (!names)
        return fail(QStringLiteral("The contact names could not be read: %1").arg(names.message()));
    return names;
}

} // namespace quenda
