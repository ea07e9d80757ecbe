#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class FrmFileProperty : public QDialog {
    Q_OBJECT
public:
    explicit FrmFileProperty(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
