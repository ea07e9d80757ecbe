#include "splitter/frmsplit.h"

namespace quenda {

frmsplit::frmsplit(const Services &services, QWidget *parent) : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmsplit"));
    setWindowTitle(QStringLiteral(""));
    resize(640, 420);
}

} // namespace quenda
