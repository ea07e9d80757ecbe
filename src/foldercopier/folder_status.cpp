#include "foldercopier/folder_status.h"

#include "foldercopier/scheme_scan.h"
#include "fs/folder_size.h"

namespace quenda {

SizeTotal totalFolderSize(const QStringList &folders, JobControl &control)
{
    SizeTotal total;
    for (const QString &folder : folders) {
        if (control.isCancelled())
            break;
        const Result<FolderSize> size = folderSize(folder, control);
        if (!size) {
            control.fail(folder, size.message());
            total.incomplete << folder;
            continue;
        }
        total.bytes += size->bytes;
        if (!size->complete)
            total.incomplete << folder;
    }
    return total;
}

QString selectedFolderText(int ticked, int rows)
{
    return QStringLiteral("Selected folder %1 of %2").arg(ticked).arg(rows);
}

FolderContents folderContents(const QString &folder, JobControl &control)
{
    FolderContents contents;
    if (Result<std::vector<ListedEntry>> files = filesInFolder(folder, control))
        contents.files = std::move(*files);
    else
        contents.listError = files.message();
    contents.size = totalFolderSize({folder}, control);
    return contents;
}

SizeRequests::SizeRequests(QObject *parent) : QObject(parent) {}

void SizeRequests::request(QStringList folders, Done onDone)
{
    m_newest.request(
        [folders = std::move(folders)](JobControl &control) {
            return FolderContents{totalFolderSize(folders, control), {}, {}};
        },
        [onDone = std::move(onDone)](FolderContents contents, const JobReport &) {
            onDone(contents.size);
        });
}

void SizeRequests::requestContents(QString folder, ContentsDone onDone)
{
    m_newest.request([folder = std::move(folder)](
                         JobControl &control) { return folderContents(folder, control); },
                     [onDone = std::move(onDone)](FolderContents contents, const JobReport &) {
                         onDone(contents);
                     });
}

void SizeRequests::cancel()
{
    m_newest.drop();
}

bool SizeRequests::isBusy() const
{
    return m_newest.isBusy();
}

void SizeRequests::waitForIdle()
{
    m_newest.waitForIdle();
}

} // namespace quenda
