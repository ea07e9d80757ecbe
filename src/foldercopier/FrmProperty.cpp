#include "foldercopier/FrmProperty.h"

#include "foldercopier/folder_status.h"
#include "foldercopier/info_panes.h"

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenda {

FrmProperty::FrmProperty(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services), m_sizes(new SizeRequests(this))
{
    setObjectName(QStringLiteral("FrmProperty"));
    setWindowTitle(QStringLiteral("Folder Properties"));
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    const auto box = [this, form](QLineEdit *&edit, const char *name, const QString &label) {
        edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setReadOnly(true);
        form->addRow(label, edit);
    };
    box(TxtName, "TxtName", QStringLiteral("Name:"));
    box(TxtSize, "TxtSize", QStringLiteral("Size (bytes):"));
    box(TxtDateCr, "TxtDateCr", QStringLiteral("Created:"));
    box(TxtDatemd, "TxtDatemd", QStringLiteral("Modified:"));
    box(TxtPath, "TxtPath", QStringLiteral("Path:"));
    LblSizeNote = new QLabel(this);
    LblSizeNote->setObjectName(QStringLiteral("LblSizeNote"));
    LblSizeNote->setWordWrap(true);
    LblSizeNote->setVisible(false);
    layout->addLayout(form);
    layout->addWidget(LblSizeNote);
    auto *buttons = new QHBoxLayout;
    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    layout->addLayout(buttons);
    connect(CmdOK, &QPushButton::clicked, this, &QDialog::accept);
    resize(520, sizeHint().height());
}

Status FrmProperty::setFolder(const QString &path)
{
    const Result<FolderProperties> folder = folderProperties(path);
    if (!folder)
        return folder.error();
    TxtName->setText(folder->name);
    TxtDateCr->setText(folder->created);
    TxtDatemd->setText(folder->modified);
    TxtPath->setText(QDir::toNativeSeparators(folder->path));
    TxtSize->clear();
    TxtSize->setPlaceholderText(QStringLiteral("Counting..."));
    LblSizeNote->setVisible(false);
    m_sizes->request({folder->path}, [this](const SizeTotal &total) {
        TxtSize->setText(QString::number(total.bytes));
        LblSizeNote->setText(QStringLiteral("Some of the folder could not be read: the size "
                                            "counts only what could be read."));
        LblSizeNote->setVisible(!total.incomplete.isEmpty());
    });
    return {};
}

void FrmProperty::waitForSize()
{
    m_sizes->waitForIdle();
}

} // namespace quenda
