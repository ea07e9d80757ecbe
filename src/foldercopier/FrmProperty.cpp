#include "foldercopier/FrmProperty.h"

namespace quenda {

FrmProperty::FrmProperty(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmProperty"));
    setWindowTitle(QStringLiteral("Folder Properties"));
    resize(640, 420);
}

} // namespace quenda
