#include "notes/FrmNotesIpod.h"

namespace quenda {

FrmNotesIpod::FrmNotesIpod(const Services &services, QWidget *parent) : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmNotesIpod"));
    setWindowTitle(QStringLiteral("Send text file to Ipod"));
    resize(640, 420);
}

} // namespace quenda
