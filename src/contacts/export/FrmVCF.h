#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class FrmVCF : public QDialog {
    Q_OBJECT
public:
    explicit FrmVCF(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
