#include "textfile/FrmText.h"

namespace quenda {

FrmText::FrmText(const Services &services, QWidget *parent) : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmText"));
    setWindowTitle(QStringLiteral("Convert Excel File  to Text file"));
    resize(640, 420);
}

} // namespace quenda
