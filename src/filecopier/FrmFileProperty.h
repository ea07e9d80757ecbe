#pragma once

#include "common/services.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace quenda {

// The properties of one listed file: name, size in bytes, creation and last change dates
// ("mm-dd-yyyy") and full path, read from the file system when shown.
class FrmFileProperty : public QDialog {
    Q_OBJECT
public:
    explicit FrmFileProperty(const Services &services, QWidget *parent = nullptr);

    void showFile(const QString &path);

private:
    Services m_services;
    QLineEdit *TxtName = nullptr;
    QLineEdit *TxtSize = nullptr;
    QLineEdit *TxtDateCr = nullptr;
    QLineEdit *TxtDatemd = nullptr;
    QLineEdit *TxtPath = nullptr;
    QPushButton *CmdOk = nullptr;
};

} // namespace quenda
