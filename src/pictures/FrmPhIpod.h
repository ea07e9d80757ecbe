#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class FrmPhIpod : public QDialog {
    Q_OBJECT
public:
    explicit FrmPhIpod(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
