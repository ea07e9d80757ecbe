#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class FrmCntIpod : public QDialog {
    Q_OBJECT
public:
    explicit FrmCntIpod(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
