#pragma once
// Text bytes of old workbooks in their Windows code page.

#include <QByteArrayView>
#include <QString>

namespace quenda {

// 1252 when the page is unknown to the system; 1200 is UTF-16 (little-endian), 65001 UTF-8,
// 10000 Mac Roman.
QString decodeCodePage(QByteArrayView bytes, int codePage);

} // namespace quenda
