#pragma once

#include "common/services.h"
#include "contacts/export/contact_session.h"

#include <QComboBox>

namespace quenda {

// The card version beside a "Send to Desktop" button: "vCard 2.1" (the iPod's), "vCard 3.0",
// "vCard 4.0". It shows the version last chosen in any window and keeps the user's choice in
// the database through the memory it is given, which must outlive the box.
class CardVersionBox : public QComboBox {
    Q_OBJECT
public:
    CardVersionBox(ContactSession &memory, const Services &services, QWidget *parent = nullptr);

    CardVersion version() const;
    // Shows the version the database keeps now (another window may have changed it).
    void showRemembered();

private:
    ContactSession &m_memory;
    Services m_services;
};

} // namespace quenda
