#pragma once

#include "common/result.h"
#include "common/services.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quenda {

class SizeRequests;

// A folder's name, total size, creation and change dates and path.
class FrmProperty : public QDialog {
    Q_OBJECT
public:
    explicit FrmProperty(const Services &services, QWidget *parent = nullptr);

    // Fills the boxes from the folder; the size follows once the folder has been walked.
    Status setFolder(const QString &path);
    // Blocks until the size is shown (for tests).
    void waitForSize();

private:
    Services m_services;
    SizeRequests *m_sizes;
    QLineEdit *TxtName = nullptr;
    QLineEdit *TxtSize = nullptr;
    QLineEdit *TxtDateCr = nullptr;
    QLineEdit *TxtDatemd = nullptr;
    QLineEdit *TxtPath = nullptr;
    QLabel *LblSizeNote = nullptr;
    QPushButton *CmdOK = nullptr;
};

} // namespace quenda
