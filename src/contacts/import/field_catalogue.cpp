#include "contacts/import/field_catalogue.h"

#include <QHash>

namespace quenda {

namespace {

struct Entry {
    const char *column;
    const char *entry;
};

// Blanks inside the entries are part of what the user sees.
constexpr Entry kCatalogue[] = {
    {"TITLE", "Title,Main"},
    {"FIRST", "First Name,Main"},
    {"LAST", "Last Name,Main"},
    {"COMPANY", "Company,Main"},
    {"NAME", "Name,Main"},
    {"H_ADD1", "Home Address1,Home"},
    {"H_ADD2", "Home Address2,Home"},
    {"H_CITY", "Home City ,Home"},
    {"H_STATE", "Home State,Home"},
    {"H_PIN", "Home Pin,Home"},
    {"H_COUNTRY", "Home Country,Home"},
    {"H_ADD_DESC", "Home Address Dec.,Home"},
    {"W_ADD1", "Work Address1,Work1"},
    {"W_ADD2", "Work Address2,Work1"},
    {"W_CITY", "Working City,Work1"},
    {"W_STATE", "Working State ,Work1"},
    {"W_PIN", "Working Pin ,Work1"},
    {"W_COUNTRY", "Working Country,Work1"},
    {"W_ADD_DESC", "Working Address Desc.,Work1"},
    {"W_ADDTYPE", "Working Address Type,Work1"},
    {"SP_MOBILE", "Spouse Mobile,Personal"},
    {"MOBILE", "Mobile,Home"},
    {"H_STD", "Home STD,Home"},
    {"H_PH1", "Home Phone1,Home"},
    {"H_PH2", "Home Phone2,Home"},
    {"H_PH3", "Home Phone3,Home"},
    {"W_STD", "Work STD,Work1"},
    {"W_PH1", "Work Phone1,Work1"},
    {"W_PH2", "Work Phone2,Work1"},
    {"W_PH3", "Work Phone3,Work1"},
    {"H_EMAIL1", "Work Email1,Home"},
    {"H_EMAIL2", "Home Email2,Home"},
    {"H_WEB", "Home Website,Home"},
    {"M_BD", "User's Birthday,Personal"},
    {"ANNIV", "Anniversary,Personal"},
    {"SPOUSE", "Spouse,Personal"},
    {"CATEGORY1", "Category,Main"},
    {"CATEGORY2", "Sub Category,Main"},
    {"SP_BD", "Spoouse's Birthday,Personal"},
    {"KID1", "Kid 1 ,Personal"},
    {"KID1_BD", "Kid 1 Birthday,Personal"},
    {"KID2", "Kid 2 ,Personal"},
    {"KID2_BD", "Kid 2 Birthday,Personal"},
    {"KID3", "Kid 3 ,Personal"},
    {"KID3_BD", "Kid 3 Birthday,Personal"},
    {"JOB_TITLE", "Job Title,Work1"},
    {"B_PRODUCT", "Work2 Product,Work2"},
    {"B_ADD_TYPE", "Work2 Address Type,Work2"},
    {"B_ADD1", "Work2 Address1,Work2"},
    {"B_ADD2", "Work2 Address2,Work2"},
    {"B_CITY", "Work2 City,Work2"},
    {"B_STATE", "Work2 State,Work2"},
    {"B_COUNTRY", "Work2 Country,Work2"},
    {"B_PIN", "Work2 Pin,Work2"},
    {"B_STD", "Work2 Std,Work2"},
    {"B_PH1", "Work2 Phone,Work2"},
    {"B_PH2", "Work2 Phone2,Work2"},
    {"B_PH3", "Work2 Phone3,Work2"},
    {"FAX", "Work2 Fax,Work2"},
    {"B_EMAIL1", "Work2 Email,Work2"},
    {"B_EMAIL2", "Work2 Email2,Work2"},
    {"B_WEB", "Work2 Web Site,Work2"},
    {"B_NOTE", "Work2 Notes,Work2"},
    {"ALTCONTACT", "Alternative Contact,Work2"},
    {"ALTTITLE", "Alternative Title,Work2"},
    {"PRODUCT", "Product,Work1"},
    {"SEX", "Sex,Personal"},
    {"NICK", "Nick Name,Personal"},
    {"EDUCATION", "Qualification,Personal"},
    {"RELATION", "Relation,Main"},
    {"REGION", "Region,Main"},
    {"RELIGION", "Religion,Personal"},
    {"HOBBIES", "Hobbies,Personal"},
};

const QHash<QString, QString> &catalogue()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        for (const Entry &e : kCatalogue)
            t.insert(QString::fromLatin1(e.column), QString::fromLatin1(e.entry));
        return t;
    }();
    return table;
}

} // namespace

const QString &importantFieldList()
{
    static const QString list = QStringLiteral(
        " Name,First, Last, Title,Category1, Category2,Company, Relation, Region,Sex,  M_BD, "
        "Religion,Education, Nick,Hobbies, Mobile, H_Add1, H_Add2, H_City, H_State, H_Pin, "
        "H_Country,  H_Std, H_Ph1, H_Ph2,H_Email1, H_Web,Job_Title,Product, W_Add1, W_Add2, "
        "W_City, W_State, W_Pin, W_Country, W_AddType, W_STD, W_Ph1, W_Ph2 ");
    return list;
}

const QString &otherFieldList()
{
    static const QString list = QStringLiteral(
        "Spouse,Anniv,Sp_BD,SP_Mobile,kid1,Kid1_BD,kid2,Kid2_BD,kid3,Kid3_BD, H_Ph3,H_Email2,"
        "W_Ph3,Product, B_Add1, B_Add2, B_City, B_State, B_Country, B_Pin, B_Std, B_Ph1, B_Ph2, "
        "Fax, B_EMail1, B_Web ,B_Add_Type,B_Ph3,B_EMail2,B_Note,AltContact,AltTitle ");
    return list;
}

const QString &fullFieldList()
{
    static const QString list = QStringLiteral(
        " First,Last,Company,Title,Name,H_Add1,H_Add2,H_City,H_State,H_Pin,H_Country,W_Add1,"
        "W_Add2,W_City,W_State,W_Pin,W_Country,W_AddType,SP_Mobile,Mobile,H_Std,H_Ph1,H_Ph2,"
        "H_Ph3,W_STD,W_Ph1,W_Ph2,W_Ph3,H_Email1,H_Email2,H_Web,M_BD,Anniv,Spouse,Category1,"
        "Category2,Sp_BD,kid1,Kid1_BD,kid2,Kid2_BD,kid3,Kid3_BD,Job_Title,Product,B_Add_Type,"
        "B_Add1,B_Add2,B_City,B_State,B_Country,B_Pin,B_Std,B_Ph1,B_Ph2,B_Ph3,Fax,B_EMail1,"
        "B_EMail2,B_Web,B_Note,AltContact,AltTitle,Product,Sex,Nick,Education,Relation,Region,"
        "Religion,Hobbies ");
    return list;
}

const QString &previewFieldList()
{
    static const QString list = QStringLiteral(
        " Title,First,Last,Company,Name,H_Add1,H_Add2,H_City,H_State,H_Pin,H_Country,W_Add1,"
        "W_Add2,W_City,W_State,W_Pin,W_Country,W_AddType,SP_Mobile,Mobile,H_Std,H_Ph1,H_Ph2,"
        "H_Ph3,W_STD,W_Ph1,W_Ph2,W_Ph3,H_Email1,H_Email2,H_Web,M_BD,Anniv,Spouse,Category1,"
        "Category2,Sp_BD,kid1,Kid1_BD,kid2,Kid2_BD,kid3,Kid3_BD,Job_Title,Product,B_Add_Type,"
        "B_Add1,B_Add2,B_City,B_State,B_Country,B_Pin,B_Std,B_Ph1,B_Ph2,B_Ph3,Fax,B_EMail1,"
        "B_EMail2,B_Web,B_Note,AltContact,AltTitle,Product,Sex,Nick,Education,Relation,Region,"
        "Religion,Hobbies ");
    return list;
}

QStringList columnsOfList(const QString &selectList)
{
    QStringList columns;
    for (const QString &part : selectList.split(QLatin1Char(','))) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            columns << name;
    }
    return columns;
}

QString desret(const QString &column)
{
    return catalogue().value(column.toUpper(), column);
}

QString spltdesc(int selector, const QString &entry)
{
    const qsizetype comma = entry.indexOf(QLatin1Char(','));
    if (selector == 0)
        return comma < 0 ? entry : entry.left(comma);
    return comma < 0 ? QString() : entry.mid(comma + 1);
}

QString displayNameOf(const QString &column)
{
    return spltdesc(0, desret(column));
}

} // namespace quenda
