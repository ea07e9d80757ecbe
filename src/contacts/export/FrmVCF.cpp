#include "contacts/export/FrmVCF.h"

namespace quenda {

FrmVCF::FrmVCF(const Services &services, QWidget *parent) : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmVCF"));
    setWindowTitle(QStringLiteral("Export Quenda Contact to VCF"));
    resize(640, 420);
}

} // namespace quenda
