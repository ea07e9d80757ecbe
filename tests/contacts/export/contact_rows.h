#pragma once
// Contacts for the export tests, stored through bound values like any other row.

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace quenda::test {

using Columns = std::vector<std::pair<QString, QVariant>>;

inline qint64 addContact(QSqlDatabase &db, const Columns &columns)
{
    QStringList names, marks;
    for (const auto &c : columns) {
        names << c.first;
        marks << QStringLiteral("?");
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("insert into cnt_main (%1) values (%2)")
                  .arg(names.join(','), marks.join(',')));
    for (const auto &c : columns)
        q.addBindValue(c.second);
    EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
    return q.lastInsertId().toLongLong();
}

inline qint64 addNamed(QSqlDatabase &db, const QString &name)
{
    return addContact(db, {{QStringLiteral("NAME"), name}});
}

// Card lines as the writer ends them.
inline QByteArray crlf(const char *lines)
{
    return QByteArray(lines).replace("\n", "\r\n");
}

inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace quenda::test
