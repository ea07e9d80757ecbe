#pragma once
// The contact columns the import offers, with the display name and group the user knows each
// by. The lists are SQL select lists as the window has always sent them (odd blanks included);
// their order is the order of the mapping grids' rows.

#include <QString>
#include <QStringList>

namespace quenda {

// The columns of "Step 2-Set Fields" (39 of them).
const QString &importantFieldList();
// The columns of "Other Fields" (32 of them; PRODUCT stands in both lists).
const QString &otherFieldList();
// Every offered column, the import target's select list.
const QString &fullFieldList();
// The full list with Title in front: the columns of the existing contacts' preview.
const QString &previewFieldList();

// The column names of a select list, trimmed, in order.
QStringList columnsOfList(const QString &selectList);

// "Display name,Group" for a column named in any letter case; a name the catalogue does not
// hold comes back unchanged.
QString desret(const QString &column);
// Selector 0: the text before the first comma (all of it without a comma); any other: the text
// after it ("" without a comma).
QString spltdesc(int selector, const QString &entry);

// The display name of a column, as the grids' headers show it.
QString displayNameOf(const QString &column);

} // namespace quenda
