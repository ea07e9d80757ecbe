#include "pictures/FrmPhIpod.h"

namespace quenda {

FrmPhIpod::FrmPhIpod(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmPhIpod"));
    setWindowTitle(QStringLiteral("Picture Send to Ipod"));
    resize(640, 420);
}

} // namespace quenda
