#pragma once
// The 3.0 and 4.0 cards, for phones and address books: UTF-8, every text value escaped as its
// version asks, no property without a value, telephone numbers, e-mail addresses and addresses
// typed, lines folded at 75 octets (never inside a character), CR LF line ends.
//
// Which card holds what: the home card the home values (home telephones, the mobile, the home
// address, birthday, nickname, spouse, home e-mail and web site), the work card the work values
// (company and job title, work telephones, the mobile, the fax, the work and second work
// addresses, work e-mail and web site), the combined card all of them. N holds LAST, FIRST and
// TITLE (family, given and prefix); FN the contact's NAME. ADD1 and ADD2 of an address make its
// street, one line each. The second work address (B_) is typed POSTAL, as the 2.1 cards have
// it. There is no REV: the table does not know when a contact last changed.

#include "contacts/export/vcard_writer.h"

#include <string>

namespace quenda {

// birthday: "yyyyMMdd" or "".
void encodeModernCard(const CardRow &row, CardKind kind, CardVersion version,
                      const QString &birthday, std::string &out);

} // namespace quenda
