#pragma once
// Web address books export a phone or an address as two columns, "Phone 1 - Type" beside
// "Phone 1 - Value", so which contact column a value belongs in is known only row by row. This
// reader sits over such a source and adds one field per slot those values can fill ("Mobile
// Phone", "Home Phone", "E-mail Address" ...), named as the desktop exports name them so the
// suggested mapping pairs them like any other field. The source's own fields stay as they are.

#include "formats/table_reader.h"

#include <memory>

namespace quenda {

// The source itself when it has no typed pairs, else the source behind the added fields.
std::unique_ptr<TableReader> withTypedPairs(std::unique_ptr<TableReader> source);

} // namespace quenda
