#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class FrmProperty : public QDialog {
    Q_OBJECT
public:
    explicit FrmProperty(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
