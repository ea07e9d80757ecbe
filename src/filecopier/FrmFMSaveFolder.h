#pragma once

#include "common/services.h"

#include <QDialog>

namespace quenda {

class FrmFMSaveFolder : public QDialog {
    Q_OBJECT
public:
    explicit FrmFMSaveFolder(const Services &services, QWidget *parent = nullptr);

private:
    Services m_services;
};

} // namespace quenda
