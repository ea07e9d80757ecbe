#include "db/picture_folders.h"

#include "db/database.h"
#include "fs/native_path.h"

#include <QSqlError>
#include <QSqlQuery>

namespace quenda {

PictureFolderWriter::PictureFolderWriter(QSqlDatabase &db, JobControl &control, int rowsPerBatch)
    : m_writer(db,
               QStringLiteral("insert into quenda_Ipod(FolderPath,FolderPath1,FolderPath2,"
                              "FolderPath3,FolderPath4) values(?,?,?,?,?)"),
               control, rowsPerBatch)
{
}

Status PictureFolderWriter::clear()
{
    return m_writer.execInBatch(QStringLiteral("Delete from quenda_Ipod"));
}

bool PictureFolderWriter::add(const PictureFolderRow &row, const QString &label)
{
    QVariantList values;
    values.reserve(5);
    values << toDatabaseText(row.folderPath);
    for (int level = 0; level < 4; ++level)
        values << (level < row.names.size() ? QVariant(toDatabaseText(row.names[level]))
                                            : QVariant(QMetaType::fromType<QString>()));
    return m_writer.add(values, label);
}

Result<std::vector<PictureFolderRow>> pictureFolderRows(QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // The rowid keeps the order of recording, which puts parents before children.
    if (!q.exec(QStringLiteral("Select FolderPath,FolderPath1,FolderPath2,FolderPath3,"
                               "FolderPath4 from quenda_Ipod order by rowid")))
        return sqlError(q);
    std::vector<PictureFolderRow> rows;
    while (q.next()) {
        PictureFolderRow row;
        row.folderPath = fromDatabaseText(q.value(0).toString());
        for (int level = 1; level <= 4; ++level) {
            const QVariant value = q.value(level);
            if (value.isNull())
                break;
            row.names << fromDatabaseText(value.toString());
        }
        rows.push_back(std::move(row));
    }
    if (q.lastError().isValid())
        return sqlError(q);
    return rows;
}

} // namespace quenda
