#include "app/window_factory.h"

#include "contacts/export/FrmVCF.h"
#include "contacts/import/FrmCntIpod.h"
#include "filecopier/frmFileCopy.h"
#include "foldercopier/frmFile.h"
#include "notes/FrmNotesIpod.h"
#include "pictures/FrmPhIpod.h"
#include "textfile/FrmText.h"

namespace quenda {

QDialog *createFunctionWindow(const QString &className, const Services &services, QWidget *parent)
{
    if (className == QLatin1String("FrmCntIpod"))
        return new FrmCntIpod(services, parent);
    if (className == QLatin1String("FrmPhIpod"))
        return new FrmPhIpod(services, parent);
    if (className == QLatin1String("FrmVCF"))
        return new FrmVCF(services, parent);
    if (className == QLatin1String("FrmNotesIpod"))
        return new FrmNotesIpod(services, parent);
    if (className == QLatin1String("frmFile"))
        return new frmFile(services, parent);
    if (className == QLatin1String("FrmText"))
        return new FrmText(services, parent);
    if (className == QLatin1String("frmFileCopy"))
        return new frmFileCopy(services, parent);
    return nullptr;
}

} // namespace quenda
