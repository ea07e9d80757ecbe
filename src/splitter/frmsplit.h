#pragma once

#include "common/services.h"
#include "splitter/file_splitter.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>

#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTimer;

namespace quenda {

// The file splitter window. The notes window fills Text1 with a note's path before showing it.
class frmsplit : public QDialog {
    Q_OBJECT
public:
    explicit frmsplit(const Services &services, QWidget *parent = nullptr);

    // The picture name the status panel shows: "LightOn.bmp", "LightOff.bmp" or empty at first.
    QString lightTag() const { return m_lightTag; }
    // Blinks the light (true, on each timer tick) or clears the panel (false, when a split ends).
    void LoadImage(bool blink);
    bool isSplitting() const { return m_splitting; }
    // Test seam: runs on each paced step of a split, before pending events get their turn.
    void setSplitStepHook(std::function<void()> hook) { m_stepHook = std::move(hook); }

    void done(int result) override;

    QLabel *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QGroupBox *Frame1 = nullptr;
    std::array<QRadioButton *, 3> Option1{};
    QLabel *Label2 = nullptr;
    QLineEdit *Text2 = nullptr;
    QPushButton *cmdSplit = nullptr;
    QPushButton *cmdExit = nullptr;
    QLabel *Image4 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    // Panel "ONE" of the status bar: the light and the progress text.
    QLabel *PanelPicture = nullptr;
    QLabel *PanelText = nullptr;
    QHash<QString, QPixmap> ImageList1;
    QTimer *Timer1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void cmdBrowse_Click();
    void Option1_Click(int index);
    void cmdSplit_Click();
    SplitUnit chosenUnit() const;

    Services m_services;
    QString m_lightTag;
    bool m_splitting = false;
    std::function<void()> m_stepHook;
};

} // namespace quenda
