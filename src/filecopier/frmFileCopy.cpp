#include "filecopier/frmFileCopy.h"

namespace quenda {

frmFileCopy::frmFileCopy(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmFileCopy"));
    setWindowTitle(QStringLiteral("Quenda File Copier"));
    resize(640, 420);
}

} // namespace quenda
