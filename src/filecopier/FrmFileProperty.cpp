#include "filecopier/FrmFileProperty.h"

#include "filecopier/file_details.h"
#include "filecopier/scan_dates.h"

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenda {

FrmFileProperty::FrmFileProperty(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmFileProperty"));
    setWindowTitle(QStringLiteral("File Properties"));
    resize(520, 240);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    const std::pair<QLineEdit **, const char *> boxes[] = {
        {&TxtName, "TxtName"},     {&TxtSize, "TxtSize"}, {&TxtDateCr, "TxtDateCr"},
        {&TxtDatemd, "TxtDatemd"}, {&TxtPath, "TxtPath"},
    };
    const char *labels[] = {"Name", "Size (bytes)", "Created", "Modified", "Path"};
    for (size_t i = 0; i < std::size(boxes); ++i) {
        auto *box = new QLineEdit(this);
        box->setReadOnly(true);
        box->setObjectName(QString::fromLatin1(boxes[i].second));
        *boxes[i].first = box;
        form->addRow(QString::fromLatin1(labels[i]), box);
    }
    layout->addLayout(form);
    layout->addStretch();
    auto *buttons = new QHBoxLayout;
    CmdOk = new QPushButton(QStringLiteral("OK"), this);
    CmdOk->setObjectName(QStringLiteral("CmdOk"));
    buttons->addStretch();
    buttons->addWidget(CmdOk);
    layout->addLayout(buttons);
    connect(CmdOk, &QPushButton::clicked, this, &QDialog::accept);
}

void FrmFileProperty::showFile(const QString &path)
{
    const FileDetails details = describeFile(path);
    TxtName->setText(details.name);
    TxtSize->setText(details.exists ? QString::number(details.size) : QString());
    TxtDateCr->setText(propertyDateText(details.created));
    TxtDatemd->setText(propertyDateText(details.modified));
    TxtPath->setText(QDir::toNativeSeparators(details.path));
}

} // namespace quenda
