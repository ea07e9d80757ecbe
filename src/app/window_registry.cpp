#include "app/window_registry.h"

#include "contacts/export/FrmVCF.h"
#include "contacts/import/FrmCntIpod.h"
#include "filecopier/FrmFMSaveFolder.h"
#include "filecopier/FrmFileProperty.h"
#include "filecopier/frmFileCopy.h"
#include "foldercopier/FrmProperty.h"
#include "foldercopier/frmFile.h"
#include "notes/FrmNotesIpod.h"
#include "pictures/FrmPhIpod.h"
#include "splitter/frmsplit.h"
#include "textfile/FrmText.h"

namespace quenda {

namespace {

template <class Window> QDialog *build(const Services &services, QWidget *parent)
{
    return new Window(services, parent);
}

// The first entry whose keyword matches wins.
const WindowEntry kWindows[] = {
    {"FrmCntIpod", "sendtoipod", "SendtoIpod", true, false, build<FrmCntIpod>},
    {"FrmPhIpod", "sendtoipodph", "SendToIpodPH", true, false, build<FrmPhIpod>},
    {"FrmVCF", "exportquendacontacttovcf", "ExportQuendaContacttoVCF", true, false, build<FrmVCF>},
    {"FrmNotesIpod", "notes", "Notes", true, false, build<FrmNotesIpod>},
    // The folder copier takes a while to gather its drives.
    {"frmFile", "filecopier", "FileCopier", true, true, build<frmFile>},
    {"FrmText", "textfile", "TextFile", true, false, build<FrmText>},
    {"frmsplit", nullptr, nullptr, true, false, build<frmsplit>},
    {"frmFileCopy", nullptr, nullptr, true, false, build<frmFileCopy>},
    {"FrmFMSaveFolder", nullptr, nullptr, true, false, build<FrmFMSaveFolder>},
    {"FrmFileProperty", nullptr, nullptr, true, false, build<FrmFileProperty>},
    {"FrmProperty", nullptr, nullptr, true, false, build<FrmProperty>},
};

template <class Match> const WindowEntry *find(Match match)
{
    for (const WindowEntry &entry : kWindows)
        if (match(entry))
            return &entry;
    return nullptr;
}

} // namespace

std::span<const WindowEntry> windowRegistry()
{
    return kWindows;
}

const WindowEntry *windowForKeyword(const QString &keyword)
{
    return find(
        [&](const WindowEntry &e) { return e.keyword && keyword == QLatin1String(e.keyword); });
}

const WindowEntry *windowForTool(const QString &toolId)
{
    return find(
        [&](const WindowEntry &e) { return e.toolId && toolId == QLatin1String(e.toolId); });
}

const WindowEntry *windowForClass(const QString &className)
{
    return find([&](const WindowEntry &e) { return className == QLatin1String(e.className); });
}

QDialog *createFunctionWindow(const QString &className, const Services &services, QWidget *parent)
{
    const WindowEntry *entry = windowForClass(className);
    return entry ? entry->create(services, parent) : nullptr;
}

} // namespace quenda
