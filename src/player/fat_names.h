#pragma once
// The player's file system is FAT: some characters, and dots or blanks at the very end of a
// name, cannot stand in a file name there. The staging folder keeps its names; only the copy
// on the player gets the safe one.

#include <QString>

namespace quenda {

// Each of : * ? " < > | \ and control characters becomes "_", and so does each dot or blank
// at the very end. A blank before the extension ("NAME-W .vcf") is fine and stays.
QString fatSafeName(const QString &name);

} // namespace quenda
