#include "contacts/import/field_catalogue.h"
#include "contacts/import/field_suggestion.h"

#include <gtest/gtest.h>

using namespace quenda;

namespace {

QStringList offered()
{
    return columnsOfList(importantFieldList()) + columnsOfList(otherFieldList());
}

// "COLUMN=FIELD" for each pair, the column in upper case.
QStringList lines(const std::vector<ImportPair> &pairs)
{
    QStringList out;
    for (const ImportPair &p : pairs)
        out << p.column.toUpper() + QLatin1Char('=') + p.field;
    return out;
}

} // namespace

TEST(FieldSuggestion, ExportHeadersCaptionsAndColumnNamesFindTheirColumnsAndGivenPairsWin)
{
    // A desktop mail program's header, in part and out of order, with a column nobody maps.
    const QStringList desktop = {"Title",        "First Name",  "Middle Name",    "Last Name",
                                 "Company",      "Job Title",   "Business Phone", "Home Phone",
                                 "Mobile Phone", "Home Street", "E-mail Address"};
    EXPECT_EQ(
        lines(suggestMapping(desktop, offered())),
        (QStringList{"TITLE=Title", "FIRST=First Name", "LAST=Last Name", "COMPANY=Company",
                     "JOB_TITLE=Job Title", "W_PH1=Business Phone", "H_PH1=Home Phone",
                     "MOBILE=Mobile Phone", "H_ADD1=Home Street", "H_EMAIL1=E-mail Address"}));

    // A web mail export; then names that differ from a caption or column only in case, blanks
    // and punctuation ("Home City " and "Nick Name" are captions, W_PH2 a column).
    EXPECT_EQ(lines(suggestMapping({"Primary Email", "Work Phone", "Mobile Number"}, offered())),
              (QStringList{"H_EMAIL1=Primary Email", "W_PH1=Work Phone", "MOBILE=Mobile Number"}));
    EXPECT_EQ(lines(suggestMapping({"home-city", "NICKNAME", "w ph2", "Shoe Size"}, offered())),
              (QStringList{"H_CITY=home-city", "NICK=NICKNAME", "W_PH2=w ph2"}));

    // A column goes to the first field that claims it; the next one moves on or goes without.
    EXPECT_EQ(
        lines(suggestMapping({"Primary Email", "E-mail Address", "Mobile Phone", "Mobile Number"},
                             offered())),
        (QStringList{"H_EMAIL1=Primary Email", "H_EMAIL2=E-mail Address", "MOBILE=Mobile Phone"}));
    // Only offered columns are suggested, named as the caller names them.
    const auto pairs = suggestMapping({"First Name", "Job Title"}, {"first", "Name"});
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0], (ImportPair{"first", "First Name"}));

    // Given pairs win for their column only.
    const std::vector<ImportPair> suggested = {{"First", "First Name"}, {"H_Ph1", "Home Phone"}};
    EXPECT_EQ(lines(mergeMapping(suggested, {{"h_ph1", "Phone"}, {"NAME", "Display"}})),
              (QStringList{"FIRST=First Name", "H_PH1=Phone", "NAME=Display"}));
    EXPECT_EQ(lines(mergeMapping(suggested, {})), lines(suggested));
}

TEST(FieldSuggestion, VCardFieldsGoByPropertyKindAndPart)
{
    const QStringList fields =
        QStringLiteral("N;FAMILY|N;GIVEN|N;ADDITIONAL|N;PREFIX|FN|NICKNAME|ORG|ORG;UNIT|TITLE|"
                       "TEL;WORK|TEL;WORK 2|TEL;CELL|TEL;HOME;FAX|TEL|EMAIL;WORK|EMAIL|EMAIL 2|"
                       "ADR;HOME;STREET|ADR;HOME;LOCALITY|ADR;WORK;POSTALCODE|ADR;WORK;STREET|"
                       "ADR;WORK 2;STREET|URL|BDAY|NOTE")
            .split(QLatin1Char('|'));
    EXPECT_EQ(lines(suggestMapping(fields, offered(), QStringLiteral("vCard"))).join('|'),
              "LAST=N;FAMILY|FIRST=N;GIVEN|TITLE=N;PREFIX|NAME=FN|NICK=NICKNAME|COMPANY=ORG|"
              "JOB_TITLE=TITLE|W_PH1=TEL;WORK|W_PH2=TEL;WORK 2|MOBILE=TEL;CELL|FAX=TEL;HOME;FAX|"
              "H_PH1=TEL|B_EMAIL1=EMAIL;WORK|H_EMAIL1=EMAIL|H_EMAIL2=EMAIL 2|"
              "H_ADD1=ADR;HOME;STREET|H_CITY=ADR;HOME;LOCALITY|W_PIN=ADR;WORK;POSTALCODE|"
              "W_ADD1=ADR;WORK;STREET|B_ADD1=ADR;WORK 2;STREET|H_WEB=URL|M_BD=BDAY|B_NOTE=NOTE");
    // The same names from a text file are plain column names: TITLE is the salutation there.
    EXPECT_EQ(lines(suggestMapping({"TITLE", "TEL;WORK"}, offered(), QStringLiteral("Text;"))),
              (QStringList{"TITLE=TITLE"}));
}
