#pragma once

#include "common/services.h"
#include "fs/drives.h"
#include "jobs/job_runner.h"
#include "textfile/text_file.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace quenda {

class QdGrid;
class TextGridModel;

// The text file generator: a spreadsheet's first 20 rows and columns in a grid, written to the
// Desktop as QDFile.txt. A frameless window with a rounded outline, moved by its title.
class FrmText : public QDialog {
    Q_OBJECT
public:
    explicit FrmText(const Services &services, QWidget *parent = nullptr);
    ~FrmText() override;

    // Where the drive list comes from; tests point it at a mount table of their own.
    void setDriveSources(const DriveSources &sources);
    // The folder the picking lists and the open dialog start in.
    QString startFolder() const;
    // The grid as it will be written: row 0 the headers.
    const TextGrid &cells() const { return m_cells; }
    TextLayout chosenLayout() const;
    // The reading of a spreadsheet into the grid.
    JobRunner *job() const { return m_job; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void showGrid();
    void fillDrives();
    void Drive1_Change(int index);
    void setFolder(const QString &folder);
    void CmdImport_Click();
    void importFile(const QString &path);
    bool writeOutput();
    void Tabs1_Click(int index);

    Services m_services;
    DriveSources m_driveSources;
    JobRunner *m_job = nullptr;
    TextGridModel *m_grid = nullptr;
    TextGrid m_cells;
    QString m_sourcePath; // the file the grid was read from
    QString m_folder;
    int m_driveIndex = -1;

    QLabel *Label3 = nullptr;
    QPushButton *dxColorBtn1 = nullptr;
    QTabWidget *Tabs1 = nullptr;
    QPushButton *CmdImport = nullptr;
    QComboBox *Drive1 = nullptr;
    QLabel *LblFolder = nullptr;
    QListWidget *Dir1 = nullptr;
    QListWidget *File1 = nullptr;
    QdGrid *Grid1 = nullptr;
    QRadioButton *Opt1 = nullptr;
    QRadioButton *Opt2 = nullptr;
    QRadioButton *Opt3 = nullptr;
    QPushButton *CmdText = nullptr;
    QLabel *Label1 = nullptr;
    QPlainTextEdit *Rtb = nullptr;
};

} // namespace quenda
