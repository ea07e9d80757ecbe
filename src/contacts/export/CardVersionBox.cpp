#include "contacts/export/CardVersionBox.h"

namespace quenda {

CardVersionBox::CardVersionBox(ContactSession &memory, const Services &services, QWidget *parent)
    : QComboBox(parent), m_memory(memory), m_services(services)
{
    for (CardVersion v : {CardVersion::V21, CardVersion::V30, CardVersion::V40})
        addItem(QStringLiteral("vCard ") + cardVersionText(v), static_cast<int>(v));
    setToolTip(QStringLiteral("vCard 2.1 is what the iPod reads. Phones and address books read "
                              "3.0 and 4.0 better: every character kept, numbers and addresses "
                              "typed as home or work."));
    showRemembered();
    connect(this, &QComboBox::activated, this, [this] {
        if (const Status kept = m_memory.rememberCardVersion(version()); !kept)
            m_services.messages->show(
                QStringLiteral("The card version could not be kept for the next time: %1")
                    .arg(kept.message()),
                MsgIcon::Exclamation);
    });
}

CardVersion CardVersionBox::version() const
{
    return static_cast<CardVersion>(currentData().toInt());
}

void CardVersionBox::showRemembered()
{
    // An unreadable choice leaves the box as it is: the export still works in that version.
    if (const Result<CardVersion> kept = m_memory.rememberedCardVersion(); kept)
        setCurrentIndex(findData(static_cast<int>(*kept)));
}

} // namespace quenda
