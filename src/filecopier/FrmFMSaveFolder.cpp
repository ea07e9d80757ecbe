#include "filecopier/FrmFMSaveFolder.h"

namespace quenda {

FrmFMSaveFolder::FrmFMSaveFolder(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmFMSaveFolder"));
    setWindowTitle(QStringLiteral("Create folder and copy file"));
    resize(640, 420);
}

} // namespace quenda
