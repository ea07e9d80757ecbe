#pragma once
// Where a card version box reads the version last chosen and keeps a new choice: the session
// of the window the box sits in, so the box itself never holds a database.

#include "common/result.h"
#include "contacts/export/vcard_writer.h"

namespace quenda {

class CardVersionMemory {
public:
    virtual ~CardVersionMemory() = default;
    virtual Result<CardVersion> rememberedCardVersion() = 0;
    virtual Status rememberCardVersion(CardVersion version) = 0;

protected:
    CardVersionMemory() = default;
    CardVersionMemory(const CardVersionMemory &) = default;
    CardVersionMemory &operator=(const CardVersionMemory &) = default;
};

} // namespace quenda
