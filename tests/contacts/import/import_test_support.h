#pragma once
// Shared by the import tests: sources written into temporary folders, the fixtures, and the
// contacts a test reads back.

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

namespace quenda::test {

// QUENDA_FIXTURES_DIR in the environment points a build elsewhere at the fixtures.
inline QString fixturePath(const QString &relative)
{
    return qEnvironmentVariable("QUENDA_FIXTURES_DIR", QStringLiteral(QUENDA_FIXTURES_DIR)) +
           QLatin1Char('/') + relative;
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

// Every contact with every column and the type of each value, and the next id: what must stay
// exactly as it was when an import fails.
inline QStringList contactSnapshot(QSqlDatabase &db)
{
    QSqlQuery q(db);
    QStringList rows;
    if (!q.exec(QStringLiteral("select * from cnt_main order by ID")))
        return {QStringLiteral("<query failed>")};
    while (q.next()) {
        QStringList cells;
        for (int c = 0; c < q.record().count(); ++c)
            cells << (q.isNull(c)
                          ? QStringLiteral("<null>")
                          : q.value(c).typeName() + QStringLiteral(":") + q.value(c).toString());
        rows << cells.join(QLatin1Char('|'));
    }
    rows << scalar(db, QStringLiteral("select seq from sqlite_sequence where name = 'cnt_main'"))
                .toString();
    return rows;
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
