#pragma once

#include <QDialog>

class QLabel;
class QTimer;

namespace quenda {

// The short start-up window: its timer brings up the main window on the first tick.
class frmSplash : public QDialog {
    Q_OBJECT
public:
    explicit frmSplash(QWidget *mainWindow, QWidget *parent = nullptr);

    int counter() const { return m_counter; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void tick();
    void showMain();

    QTimer *Timer1 = nullptr;
    QLabel *lblVersion1 = nullptr;
    QLabel *imgLogo = nullptr;
    QWidget *m_main;
    int m_counter = 0;
};

} // namespace quenda
