#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class frmFileCopy : public QDialog {
    Q_OBJECT
public:
    explicit frmFileCopy(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
