#include "foldercopier/frmFile.h"

namespace quenda {

frmFile::frmFile(const Services &services, QWidget *parent) : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmFile"));
    setWindowTitle(QStringLiteral("Quenda Folder Copier"));
    resize(640, 420);
}

} // namespace quenda
