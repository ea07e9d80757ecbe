#pragma once

#include "common/services.h"
#include "jobs/job_runner.h"
#include "splitter/file_splitter.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTimer;

namespace quenda {

// The file splitter window. The notes window fills in a note's path before showing it. The
// split runs as a job: the window stays usable, the light blinks, and Cancel stops it.
class frmsplit : public QDialog {
    Q_OBJECT
public:
    explicit frmsplit(const Services &services, QWidget *parent = nullptr);

    void setFilePath(const QString &path);
    QString filePath() const;
    // The picture name the status panel shows: "LightOn.bmp", "LightOff.bmp" or empty at first.
    QString lightTag() const { return m_lightTag; }
    JobRunner *job() const { return m_job; }

    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    // Blinks the light (true, on each timer tick) or clears the panel (false, when a split ends).
    void LoadImage(bool blink);
    void cmdBrowse_Click();
    void Option1_Click(int index);
    void cmdSplit_Click();
    void showMessages(const SplitCommandResult &result);
    SplitUnit chosenUnit() const;

    Services m_services;
    JobRunner *m_job = nullptr;
    QString m_lightTag;

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
};

} // namespace quenda
