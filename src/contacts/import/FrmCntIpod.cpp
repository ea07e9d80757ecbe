#include "contacts/import/FrmCntIpod.h"

namespace quenda {

FrmCntIpod::FrmCntIpod(const Services &services, QWidget *parent) : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmCntIpod"));
    setWindowTitle(QStringLiteral("Import Contacts  from other database to Ipod Folder "));
    resize(640, 420);
}

} // namespace quenda
