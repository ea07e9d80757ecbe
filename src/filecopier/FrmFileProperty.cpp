#include "filecopier/FrmFileProperty.h"

namespace quenda {

FrmFileProperty::FrmFileProperty(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmFileProperty"));
    setWindowTitle(QStringLiteral("File Properties"));
    resize(640, 420);
}

} // namespace quenda
