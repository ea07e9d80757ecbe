#include "contacts/import/field_catalogue.h"
#include "contacts/import/import_models.h"
#include "contacts/import/import_session.h"
#include "db/database.h"
#include "import_test_support.h"
#include "support/test_places.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

TEST(ImportSession, SchemesRoundTripRowsPastTheListArePassedOverAndFaultsAreSentences)
{
    TempPlaces places;
    ImportSession session(places.databasePath());

    // Saved again under its name, a scheme's rows are replaced; the empty name is a name.
    ASSERT_TRUE(session.saveScheme(QStringLiteral("Mum's"), {"Old", "Older", "Oldest", "Gone"}));
    ASSERT_TRUE(session.saveScheme(QStringLiteral("Mum's"), {"Nm", "", "O'Title"}));
    ASSERT_TRUE(session.saveScheme(QString(), {"Who"}));
    EXPECT_EQ(*session.schemeNames(), (QStringList{"Mum's", ""}));
    EXPECT_EQ(session.schemeRows(QStringLiteral("Mum's"), 39)->size(), 3u);
    {
        Connection c(places.databasePath());
        EXPECT_EQ(scalar(c.db(), QStringLiteral("select count(*) from qd_mapfields where "
                                                "FiledName is null")),
                  0)
            << "an empty field is stored as empty text";
    }
    const auto rows = session.schemeRows(QStringLiteral("MUM'S"), 2);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u) << "row 3 lies past a list of two";
    EXPECT_EQ((*rows)[0].field, QStringLiteral("Nm"));
    EXPECT_EQ((*rows)[1].row, 2);
    EXPECT_TRUE(session.schemeRows(QStringLiteral("None"), 39)->empty());

    // A database that cannot be opened is told in a sentence.
    ImportSession lost(places.root() + QStringLiteral("/missing/organizer.db"));
    const Result<QStringList> names = lost.schemeNames();
    ASSERT_FALSE(names);
    EXPECT_TRUE(names.message().startsWith(QStringLiteral("The saved schemes could not be read: ")))
        << names.message().toStdString();
    const Status saved = lost.saveScheme(QStringLiteral("Mum's"), {"Nm"});
    ASSERT_FALSE(saved);
    EXPECT_TRUE(
        saved.message().startsWith(QStringLiteral("The scheme \"Mum's\" could not be saved")));
    EXPECT_FALSE(lost.contactNames());
    EXPECT_FALSE(lost.storedContacts(10));
    EXPECT_EQ(lost.helpText(QStringLiteral("LS0017")), QString());
}

TEST(MappingModel, SuggestionsFillOnlyEmptyRowsAndAnImportTakesTickedMappedRows)
{
    const auto rows = mappingRows(columnsOfList(importantFieldList()));
    MappingModel mapping(MappingModel::Kind::Mapping, rows, false);
    QAbstractItemModelTester tester(&mapping,
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_FALSE(mapping.anyMapped());
    mapping.setField(0, QStringLiteral("Custom"));
    applySuggestedFields({&mapping}, {"Name", "E-mail Address", "Nothing Like A Column"},
                         QStringLiteral("Text;"));
    EXPECT_EQ(mapping.row(0).field, QStringLiteral("Custom")) << "the user's choice stays";
    const QStringList fields = mapping.fields();
    EXPECT_EQ(fields.size(), static_cast<qsizetype>(rows.size()));
    EXPECT_TRUE(fields.contains(QStringLiteral("E-mail Address")));
    EXPECT_FALSE(fields.contains(QStringLiteral("Name"))) << "its column has a field already";
    EXPECT_TRUE(mapping.anyMapped());
    EXPECT_TRUE(mapping.includedPairs().empty()) << "mapped but unticked rows import nothing";

    MappingModel selection(MappingModel::Kind::Selection, rows, true);
    selection.setField(0, QStringLiteral("Custom"));
    selection.setField(2, QStringLiteral("Mail"));
    const auto pairs = selection.includedPairs();
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0], (ImportPair{rows[0].column, QStringLiteral("Custom")}));
    EXPECT_FALSE(selection.flags(selection.index(0, MappingModel::FieldCol)) & Qt::ItemIsEditable);
    EXPECT_TRUE(mapping.flags(mapping.index(0, MappingModel::FieldCol)) & Qt::ItemIsEditable);
}
