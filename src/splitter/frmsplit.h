#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class frmsplit : public QDialog {
    Q_OBJECT
public:
    explicit frmsplit(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
