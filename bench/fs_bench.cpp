// Drives the file-system engines the way the windows will, so that fs_bench.sh can time them
// against find, du and cp on the same trees.
//
//   fs_bench scan-files ROOT DB    office masks, one row per file into qd_ScanFile
//   fs_bench scan-folders ROOT DB  folders four levels deep, one row each into quenda_Ipod
//   fs_bench size ROOT             folder size in bytes
//   fs_bench copy SOURCE TARGET    the copy engine, replacing clashes

#include "db/database.h"
#include "fs/copy_engine.h"
#include "fs/folder_size.h"
#include "fs/native_path.h"
#include "fs/tree_scan.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSqlQuery>

#include <cstdio>

using namespace quenda;

namespace {

constexpr const char *kOfficeMasks =
    "*.doc;*.rtf;*.txt;*.xls;*.csv;*.mdb;*.dbf;*.jpg;*.bmp;*.ppt;*.pdf";
constexpr int kBatch = 20000;

// The text after the first "." among the last four characters, else "rtf".
QString typeToken(const QString &path)
{
    const QString last = path.right(4);
    const qsizetype dot = last.indexOf(QLatin1Char('.'));
    return dot < 0 ? QStringLiteral("rtf") : last.mid(dot + 1);
}

class BatchedInsert {
public:
    BatchedInsert(QSqlDatabase &db, const QString &sql) : m_db(db), m_query(db)
    {
        m_db.transaction();
        m_query.prepare(sql);
    }
    ~BatchedInsert() { m_db.commit(); }
    QSqlQuery &query() { return m_query; }
    void done()
    {
        m_query.exec();
        if (++m_pending == kBatch) {
            m_db.commit();
            m_db.transaction();
            m_pending = 0;
        }
    }

private:
    QSqlDatabase &m_db;
    QSqlQuery m_query;
    int m_pending = 0;
};

int scanFiles(const QString &root, const QString &dbPath)
{
    Connection connection(dbPath);
    QSqlQuery(connection.db()).exec(QStringLiteral("DELETE FROM qd_ScanFile"));
    BatchedInsert insert(connection.db(),
                         QStringLiteral("Insert Into qd_ScanFile(Application,Path,Type,FileSize,"
                                        "[Date]) values(?,?,?,?,?)"));
    ScanOptions options;
    options.masks = NameMasks::fromText(QString::fromLatin1(kOfficeMasks));
    options.metadata = true;
    const QLocale locale = QLocale::c();
    JobControl control;
    qint64 rows = 0;
    const auto summary = scanTree(root, options, control, [&](const ScanEntry &e) {
        if (e.kind() != EntryKind::File)
            return true;
        const QString path = toDatabaseText(e.path());
        const FileTime &born = e.meta.birth.valid ? e.meta.birth : e.meta.modified;
        QSqlQuery &q = insert.query();
        q.bindValue(0, toDatabaseText(e.name()));
        q.bindValue(1, path);
        q.bindValue(2, typeToken(path));
        q.bindValue(3, QString::number(e.meta.size));
        q.bindValue(4, locale.toString(born.toDateTime().date(), QStringLiteral("MMM-dd-yyyy")));
        insert.done();
        ++rows;
        return true;
    });
    std::printf("%lld rows\n", static_cast<long long>(rows));
    return summary ? 0 : 1;
}

int scanFolders(const QString &root, const QString &dbPath)
{
    Connection connection(dbPath);
    QSqlQuery(connection.db()).exec(QStringLiteral("Delete from quenda_Ipod"));
    BatchedInsert insert(connection.db(),
                         QStringLiteral("insert into quenda_Ipod(FolderPath,FolderPath1,"
                                        "FolderPath2,FolderPath3,FolderPath4) values(?,?,?,?,?)"));
    ScanOptions options;
    options.files = false;
    options.folders = true;
    options.maxDepth = 3;
    options.order = ScanOrder::ByName;
    JobControl control;
    QStringList names; // the names leading to the current folder
    qint64 rows = 0;
    const QString rootText = toDatabaseText(root);
    const auto summary = scanTree(root, options, control, [&](const ScanEntry &e) {
        names.resize(e.depth);
        names << toDatabaseText(e.name());
        QSqlQuery &q = insert.query();
        q.bindValue(0, rootText);
        for (int i = 0; i < 4; ++i)
            q.bindValue(i + 1, i < names.size() ? QVariant(names[i]) : QVariant());
        insert.done();
        ++rows;
        return true;
    });
    std::printf("%lld rows\n", static_cast<long long>(rows));
    return summary ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("scan-files"))
        return scanFiles(args[1], args[2]);
    if (args.size() == 3 && args[0] == QLatin1String("scan-folders"))
        return scanFolders(args[1], args[2]);
    if (args.size() == 2 && args[0] == QLatin1String("size")) {
        JobControl control;
        const Result<FolderSize> size = folderSize(args[1], control);
        std::printf("%lld%s\n", size ? static_cast<long long>(size->bytes) : -1LL,
                    size && size->complete ? "" : " (incomplete)");
        return size ? 0 : 1;
    }
    if (args.size() == 3 && args[0] == QLatin1String("copy")) {
        JobControl control;
        Result<CopyPlan> plan = planCopy(args[1], args[2], ClashPolicy::Replace, control);
        if (!plan) {
            std::fprintf(stderr, "%s\n", qPrintable(plan.message()));
            return 1;
        }
        const CopyOutcome out = executeCopy(*plan, control);
        std::printf("%lld files, %lld bytes, %lld failures\n",
                    static_cast<long long>(out.filesCopied),
                    static_cast<long long>(out.bytesCopied),
                    static_cast<long long>(control.failureCount()));
        return control.failureCount() == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: fs_bench scan-files ROOT DB | scan-folders ROOT DB | size ROOT"
                         " | copy SOURCE TARGET\n");
    return 2;
}
