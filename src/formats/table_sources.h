#pragma once
// The kinds of foreign table the contact import reads, by the texts the import window offers,
// and one way to open any of them.

#include "common/result.h"
#include "formats/table_reader.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace quenda {

// "Access", "Text;", "FoxPro 2.0;", "FoxPro 2.5;", "FoxPro 2.6;", "FoxPro 3.0;", "dBASE III;",
// "dBASE IV;", "dBASE 5.0;", "vCard": in this order, compared exactly (with case).
const QStringList &tableSourceKinds();

// Opens the table: for "Access" the named table of the database, for the other kinds the file
// itself (every FoxPro and dBASE kind reads every flavour of .dbf, "vCard" reads .vcf files).
// codePageOverride, when not 0, replaces the code page a text or dBASE file would be read in.
// Fails with a message for an unknown kind, with kErrorFileNotFound for a missing file and with
// kErrorWrongFormat ("not in the expected format") for a file that is not of the kind. cancelled,
// when given, is asked while an Access database's reading helper is awaited (see AccessOptions): a
// job passes its cancel state, so that Cancel ends a helper that hangs on a damaged file.
Result<std::unique_ptr<TableReader>> openTableReader(const QString &kind, const QString &path,
                                                     const QString &table = {},
                                                     int codePageOverride = 0,
                                                     std::function<bool()> cancelled = {});

} // namespace quenda
