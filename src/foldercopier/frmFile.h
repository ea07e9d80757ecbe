#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class frmFile : public QDialog {
    Q_OBJECT
public:
    explicit frmFile(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
