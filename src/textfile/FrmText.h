#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class FrmText : public QDialog {
    Q_OBJECT
public:
    explicit FrmText(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
