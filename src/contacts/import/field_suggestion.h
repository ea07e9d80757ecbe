#pragma once
// The mapping offered in advance when a source is opened: a source field whose name says which
// contact column it holds is paired with that column, and the user changes what is wrong.

#include "contacts/import/field_mapping.h"

#include <QStringList>

#include <vector>

namespace quenda {

// The pairs suggested for the source's fields, in the order of the fields. A field is paired
// when its name, ignoring letter case, blanks and punctuation, is a column's display name, the
// column's own name, or a column name the common address-book exports use for it ("E-mail
// Address", "Mobile Number" ...). For a "vCard" source the reader's field names ("N;GIVEN",
// "TEL;WORK 2", "ADR;HOME;LOCALITY") are paired by their property, kinds and part. Columns are
// those of columns (as the database reports them); each is given to the first field that
// claims it, and a field that claims a taken column moves on to its next likely column.
std::vector<ImportPair> suggestMapping(const QStringList &fields, const QStringList &columns,
                                       const QString &kind = {});

// The suggestion with the pairs the user gave: a given pair replaces the suggested pair of its
// column (named in any letter case) and the others stay.
std::vector<ImportPair> mergeMapping(const std::vector<ImportPair> &suggested,
                                     const std::vector<ImportPair> &given);

} // namespace quenda
