#include "contacts/import/field_catalogue.h"
#include "contacts/import/field_mapping.h"
#include "contacts/import/import_source.h"
#include "formats/table_sources.h"
#include "support/test_places.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

TEST(FieldCatalogue, EveryOfferedColumnExistsHasAGroupAndIsFoundInAnyLetterCase)
{
    TempPlaces places;
    auto c = places.connect();
    const QStringList important = reportedColumns(c->db(), importantFieldList());
    const QStringList other = reportedColumns(c->db(), otherFieldList());
    ASSERT_EQ(important.size(), 39);
    ASSERT_EQ(other.size(), 32);
    EXPECT_EQ(important.first(), QStringLiteral("NAME")) << "named as the schema declares it";
    EXPECT_EQ(important.indexOf(QStringLiteral("TITLE")), 3);
    for (const MappingRow &row : mappingRows(important + other)) {
        EXPECT_FALSE(row.group.isEmpty()) << row.column.toStdString();
        EXPECT_NE(row.display, row.column) << row.column.toStdString();
    }

    // Without the contact table the lists name the columns themselves.
    QSqlQuery(c->db()).exec(QStringLiteral("drop table cnt_main"));
    EXPECT_EQ(reportedColumns(c->db(), importantFieldList()).at(1), QStringLiteral("First"));

    // Columns are found in any letter case; descriptions split at their first comma.
    EXPECT_EQ(desret(QStringLiteral("kid1")), QStringLiteral("Kid 1 ,Personal"));
    EXPECT_EQ(desret(QStringLiteral("Nview")), QStringLiteral("Nview")) << "not offered";

    EXPECT_EQ(spltdesc(0, QStringLiteral("Kid 1 ,Personal")), QStringLiteral("Kid 1 "));
    EXPECT_EQ(spltdesc(1, QStringLiteral("Kid 1 ,Personal")), QStringLiteral("Personal"));
    EXPECT_EQ(spltdesc(0, QStringLiteral("Nview")), QStringLiteral("Nview"));
    EXPECT_EQ(spltdesc(7, QStringLiteral("Nview")), QString());
    EXPECT_EQ(spltdesc(1, QStringLiteral("a,b,c")), QStringLiteral("b,c"));
}

TEST(ImportSource, FiltersMatchTheirExtensionsInAnyCaseAndPathsTakeEitherSeparator)
{
    EXPECT_EQ(importFileFilter(QStringLiteral("dBASE IV;")),
              QStringLiteral("dBASE IV (*.dbf) (*.[dD][bB][fF])"));
    EXPECT_EQ(importFileFilter(QStringLiteral("access")), QString()) << "no kind";
    for (const QString &kind : tableSourceKinds()) {
        const QString filter = importFileFilter(kind);
        ASSERT_FALSE(filter.isEmpty()) << kind.toStdString();
        // The part Qt reads as the patterns is the last one in brackets.
        const qsizetype open = filter.lastIndexOf(QLatin1String(" ("));
        const QStringList patterns = filter.mid(open + 2).chopped(1).split(QLatin1Char(' '));
        const QString file = kind == QLatin1String("Access")  ? QStringLiteral("Old.mDB")
                             : kind == QLatin1String("Text;") ? QStringLiteral("list.CsV")
                             : kind == QLatin1String("vCard") ? QStringLiteral("Phone.Vcf")
                                                              : QStringLiteral("PEOPLE.DBF");
        bool matched = false;
        for (const QString &pattern : patterns)
            matched = matched ||
                      QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
                          .match(file)
                          .hasMatch();
        EXPECT_TRUE(matched) << filter.toStdString();
    }
    EXPECT_EQ(importFileFilter(QStringLiteral("Text;")).count(QStringLiteral("[tT][xX][tT]")), 1)
        << "one pattern per extension";

    // The path routines take either separator.
    EXPECT_EQ(stripdir(QStringLiteral("C:\\Data\\people.csv")), QStringLiteral("C:\\Data\\"));
    EXPECT_EQ(stripfilename(QStringLiteral("C:\\Data\\people.csv")), QStringLiteral("people.csv"));
    EXPECT_EQ(stripdir(QStringLiteral("/home/ann/people.csv")), QStringLiteral("/home/ann/"));
    EXPECT_EQ(stripfilename(QStringLiteral("/home/ann\\x.dbf")), QStringLiteral("x.dbf"));
    EXPECT_EQ(stripdir(QStringLiteral("people.csv")), QString());
    EXPECT_EQ(stripfilename(QStringLiteral("people.csv")), QStringLiteral("people.csv"));
    EXPECT_EQ(stripfilename(QStringLiteral("/home/ann/")), QString());
}
