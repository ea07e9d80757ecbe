#include "sheet_test_support.h"

#include "reader_test_support.h"

namespace quenda::test {

QString sheetData(const QString &name)
{
    return QStringLiteral(QUENDA_TEST_DATA_DIR "/xls/") + name;
}

QByteArray sheetBytes(const QString &name)
{
    return dataBytes(QStringLiteral("xls/") + name);
}

QList<QStringList> csvRows(const QString &name)
{
    const std::vector<QStringList> rows = parseOracleCsv(sheetBytes(name));
    return QList<QStringList>(rows.begin(), rows.end());
}

} // namespace quenda::test
