#include "formats/table_sources.h"
#include "reader_test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

const QString kData = QStringLiteral(QUENDA_TEST_DATA_DIR "/");
const QString kMdb = QStringLiteral(QUENDA_FIXTURES_DIR "/mdb/DateTestDatabase.mdb");

} // namespace

TEST(TableSources, EachKindOpensItsFiles)
{
    qputenv("QUENDA_MDB_READER", QUENDA_MDB_READER_PATH);
    for (const QString &kind : tableSourceKinds().mid(2, 7)) {
        auto dbf = openTableReader(kind, kData + QStringLiteral("dbf/b_dbf_members.dbf"));
        ASSERT_TRUE(dbf.ok()) << kind.toStdString() << ": " << dbf.message().toStdString();
        EXPECT_EQ((*dbf)->fields().size(), 8u);
    }
    auto text = openTableReader(QStringLiteral("Text;"),
                                kData + QStringLiteral("delimited/b_clients_cp1252.tab"), {}, 1250);
    ASSERT_TRUE(text.ok()) << text.message().toStdString();
    EXPECT_EQ((*text)->codePage(), 1250); // the caller's code page
    EXPECT_EQ((*text)->fieldNames().front(), QStringLiteral("Name"));

    QTemporaryDir dir;
    const QString vcf = writeBytes(
        dir.filePath(QStringLiteral("one.vcf")),
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\nTEL;TYPE=work:555\r\nEND:VCARD\r\n");
    auto cards = openTableReader(QStringLiteral("vCard"), vcf);
    ASSERT_TRUE(cards.ok()) << cards.message().toStdString();
    EXPECT_EQ((*cards)->fieldNames(), (QStringList{"FN", "TEL;WORK"}));

    if (!QFileInfo::exists(kMdb))
        GTEST_SKIP() << "fixture folder absent";
    auto access = openTableReader(QStringLiteral("Access"), kMdb, QStringLiteral("DateTest"));
    ASSERT_TRUE(access.ok()) << access.message().toStdString();
    QVariantList values;
    EXPECT_TRUE((*access)->next(values));
}

TEST(TableSources, UnknownKindsMissingFilesAndWrongFormats)
{
    for (const QString &kind :
         {QStringLiteral("access"), QStringLiteral("Text"), QStringLiteral("Excel;"), QString()}) {
        auto reader = openTableReader(kind, kData + QStringLiteral("dbf/b_dbf_members.dbf"));
        EXPECT_FALSE(reader.ok());
        EXPECT_EQ(reader.code(), 0) << kind.toStdString();
    }

    QTemporaryDir dir;
    for (const QString &kind : tableSourceKinds()) {
        auto missing = openTableReader(kind, dir.filePath(QStringLiteral("gone")), "T");
        EXPECT_EQ(missing.code(), kErrorFileNotFound) << kind.toStdString();
    }

    const QString csv = kData + QStringLiteral("delimited/b_clients_bom.csv");
    const QString dbf = kData + QStringLiteral("dbf/b_dbf_members.dbf");
    const std::pair<QString, QString> wrong[] = {{QStringLiteral("Access"), csv},
                                                 {QStringLiteral("dBASE IV;"), csv},
                                                 {QStringLiteral("FoxPro 3.0;"), csv},
                                                 {QStringLiteral("Text;"), dbf},
                                                 {QStringLiteral("vCard"), csv}};
    for (const auto &[kind, path] : wrong) {
        auto reader = openTableReader(kind, path, QStringLiteral("T"));
        EXPECT_EQ(reader.code(), kErrorWrongFormat) << kind.toStdString();
        // A card file says what it lacks instead.
        if (kind == QLatin1String("vCard")) {
            EXPECT_EQ(reader.message(), QStringLiteral("The file %1 cannot be read: it holds no "
                                                       "vCard (no line BEGIN:VCARD).")
                                            .arg(path));
        } else {
            EXPECT_TRUE(reader.message().contains(QStringLiteral("not in the expected format")))
                << reader.message().toStdString();
        }
    }
}
