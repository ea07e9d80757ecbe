#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class FrmNotesIpod : public QDialog {
    Q_OBJECT
public:
    explicit FrmNotesIpod(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
