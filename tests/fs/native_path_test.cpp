#include "fs/native_path.h"
#include "fs/tree_scan.h"
#include "fs_fixture.h"
#include "support/test_places.h"

#include <QRandomGenerator>
#include <QSqlQuery>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

TEST(NativePath, EveryByteSequenceSurvivesTheRoundTrip)
{
    const QByteArray samples[] = {
        "plain.txt",
        "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x81.doc", // valid two, three and four byte forms
        "latin1-\xE9t\xE9.txt",                          // a name written in Latin-1
        "\xC0\xAF overlong",                             // overlong "/" must not become "/"
        "\xED\xA0\x80 encoded surrogate",
        "\xED\xB2\x80 looks like an escape",
        "\xEF\x9E\x80 private use",
        "cut short \xE2\x82",
        "\xF4\x90\x80\x80 beyond U+10FFFF",
        "\xFF\xFE",
    };
    for (const QByteArray &bytes : samples)
        EXPECT_EQ(toNativePath(fromNativePath(bytes)), bytes) << bytes.toHex().constData();

    QRandomGenerator random(20240501);
    for (int i = 0; i < 3000; ++i) {
        QByteArray bytes(random.bounded(1, 24), '\0');
        for (char &c : bytes)
            c = char(random.bounded(1, 256));
        ASSERT_EQ(toNativePath(fromNativePath(bytes)), bytes) << bytes.toHex().constData();
    }

    // Valid UTF-8 reads as Qt reads it; invalid bytes show as escapes, never as U+FFFD.
    const QByteArray valid("Caf\xC3\xA9 \xF0\x9F\x93\x81");
    EXPECT_EQ(fromNativePath(valid), QString::fromUtf8(valid));
    EXPECT_FALSE(hasEscapedBytes(fromNativePath(valid)));
    EXPECT_EQ(fromNativePath("a\xE9"), QStringLiteral("a") + QChar(0xDCE9));
    EXPECT_TRUE(hasEscapedBytes(fromNativePath("a\xE9")));
}

TEST(NativePath, ANonUtf8FileIsFoundAndOpenedByItsDecodedPath)
{
    TempTree tree;
    const QByteArray name("r\xE9sum\xE9.txt");
    const QByteArray full = toNativePath(tree.root()) + '/' + name;
    const int fd = ::open(full.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "cv", 2), 2);
    ::close(fd);

    JobControl control;
    QString found;
    ASSERT_TRUE(scanTree(tree.root(), {}, control, [&](const ScanEntry &e) {
        found = e.path();
        return true;
    }));
    ASSERT_EQ(toNativePath(found), full);
    const int again = ::open(toNativePath(found).constData(), O_RDONLY);
    EXPECT_GE(again, 0);
    ::close(again);
}

TEST(NativePath, DatabaseFormSurvivesSqliteAndLeavesOrdinaryNamesAlone)
{
    TempPlaces places;
    auto connection = places.connect();
    QSqlQuery query(connection->db());
    ASSERT_TRUE(query.exec("CREATE TABLE paths(p TEXT COLLATE NOCASE)"));

    const auto roundTrip = [&](const QString &text) {
        QSqlQuery q(connection->db());
        q.exec("DELETE FROM paths");
        q.prepare("INSERT INTO paths(p) VALUES(?)");
        q.addBindValue(text);
        q.exec();
        q.exec("SELECT p FROM paths");
        return q.next() ? q.value(0).toString() : QStringLiteral("<no row>");
    };

    const QString escaped = fromNativePath("/home/u/r\xE9sum\xE9 (1).txt");
    // SQLite turns a lone surrogate into U+FFFD: the reason the database form exists.
    EXPECT_NE(roundTrip(escaped), escaped);
    EXPECT_EQ(fromDatabaseText(roundTrip(toDatabaseText(escaped))), escaped);

    // A genuine private-use character next to an escaped byte stays apart from it.
    const QString mixed = fromNativePath("\xEF\x9E\x80-\xF7-\x80");
    EXPECT_EQ(fromDatabaseText(roundTrip(toDatabaseText(mixed))), mixed);

    const QString plain = fromNativePath("/home/u/Kid's Photos/Caf\xC3\xA9 \xF0\x9F\x93\x81.jpg");
    EXPECT_EQ(toDatabaseText(plain).constData(), plain.constData());
    EXPECT_EQ(fromDatabaseText(roundTrip(toDatabaseText(plain))), plain);
}
