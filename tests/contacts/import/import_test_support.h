#pragma once
// Shared by the import tests: sources written into temporary folders, the fixtures, and the
// contacts a test reads back.

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace quenda::test {

inline QString fixturePath(const QString &relative)
{
    return QStringLiteral(QUENDA_FIXTURES_DIR "/") + relative;
}

inline QString testDataPath(const QString &relative)
{
    return QStringLiteral(QUENDA_TEST_DATA_DIR "/") + relative;
}

inline QVariant scalar(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        return QVariant(QStringLiteral("<query failed>"));
    return q.value(0);
}

inline qint64 contactCount(QSqlDatabase &db)
{
    return scalar(db, QStringLiteral("select count(*) from cnt_main")).toLongLong();
}

// The values of one column over all contacts, in id order.
inline QStringList columnValues(QSqlDatabase &db, const QString &column)
{
    QSqlQuery q(db);
    QStringList values;
    if (!q.exec(QStringLiteral("select %1 from cnt_main order by ID").arg(column)))
        return {QStringLiteral("<query failed>")};
    while (q.next())
        values << (q.isNull(0) ? QStringLiteral("<null>") : q.value(0).toString());
    return values;
}

} // namespace quenda::test
