#include "formats/table_sources.h"

#include "formats/access_reader.h"
#include "formats/dbf_reader.h"
#include "formats/delimited_reader.h"
#include "formats/vcard_reader.h"

namespace quenda {

namespace {

template <class Reader>
Result<std::unique_ptr<TableReader>> generic(Result<std::unique_ptr<Reader>> opened)
{
    if (!opened)
        return opened.error();
    return std::unique_ptr<TableReader>(std::move(opened.value()));
}

} // namespace

const QStringList &tableSourceKinds()
{
    static const QStringList kinds = {QStringLiteral("Access"),      QStringLiteral("Text;"),
                                      QStringLiteral("FoxPro 2.0;"), QStringLiteral("FoxPro 2.5;"),
                                      QStringLiteral("FoxPro 2.6;"), QStringLiteral("FoxPro 3.0;"),
                                      QStringLiteral("dBASE III;"),  QStringLiteral("dBASE IV;"),
                                      QStringLiteral("dBASE 5.0;"),  QStringLiteral("vCard")};
    return kinds;
}

Result<std::unique_ptr<TableReader>> openTableReader(const QString &kind, const QString &path,
                                                     const QString &table, int codePageOverride,
                                                     std::function<bool()> cancelled)
{
    const qsizetype index = tableSourceKinds().indexOf(kind);
    if (index < 0)
        return fail(QStringLiteral("\"%1\" is not a kind of source that can be read.").arg(kind));
    if (index == 0) {
        if (table.isEmpty())
            return fail(QStringLiteral("No table of the database %1 was chosen.").arg(path));
        AccessOptions options;
        options.cancelled = std::move(cancelled);
        return generic(AccessReader::open(path, table, options));
    }
    if (index == 1) {
        DelimitedOptions options;
        options.codePage = codePageOverride;
        return generic(DelimitedReader::open(path, options));
    }
    // A card names its own character set, value by value.
    if (kind == QLatin1String("vCard"))
        return generic(VCardReader::open(path));
    return generic(DbfReader::open(path, codePageOverride));
}

} // namespace quenda
