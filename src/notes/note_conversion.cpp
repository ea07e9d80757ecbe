#include "notes/note_conversion.h"

#include "common/text_output.h"
#include "db/database.h"
#include "formats/rtf_reader.h"
#include "notes/note_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace quenda {

QString decodePlainText(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

bool readsAsRichText(const QString &type, QByteArrayView head)
{
    return type.compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0 || looksLikeRtf(head);
}

QString documentText(const QString &path, const QString &type)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = file.readAll();
    return readsAsRichText(type, bytes) ? rtfToPlainText(bytes) : decodePlainText(bytes);
}

QString recordedDocumentType(QSqlDatabase &db, const QString &path)
{
    QSqlQuery query(db);
    if (!execBound(query, QStringLiteral("Select Type from Quenda_IpodScan where Path=?"), {path}))
        return QString();
    return query.next() ? query.value(0).toString() : QString();
}

QString noteFileName(const QString &application)
{
    return noteBaseName(stripfilename(application)) + QStringLiteral(".txt");
}

bool writeNoteFile(const QString &stagingDir, const QString &fileName, const QString &text,
                   QString *error)
{
    if (!isPlainFileName(fileName)) {
        if (error)
            *error = QStringLiteral("%1 is not a plain file name").arg(fileName);
        return false;
    }
    if (!QDir().mkpath(stagingDir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(stagingDir));
        return false;
    }
    return writeTextFile(QDir(stagingDir).filePath(fileName), withCrLf(text), error);
}

bool isInsideFolder(const QString &path, const QString &folder)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    QString root = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty() || root.isEmpty())
        return false;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return real.startsWith(root);
}

NoteDeletion deletePreviousNotes(const QStringList &paths, const QString &stagingDir)
{
    NoteDeletion result;
    for (const QString &path : paths) {
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        const QFileInfo info(path);
        const bool isNote = info.isFile() && !info.isSymLink() &&
                            info.suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0;
        if (!isNote || !isInsideFolder(path, stagingDir)) {
            result.refused << path;
            continue;
        }
        if (QFile::remove(path))
            ++result.deleted;
    }
    return result;
}

ConversionSummary convertDocuments(QSqlDatabase &db, const std::vector<NoteSource> &sources,
                                   const QStringList &previousNotes, const QString &stagingDir,
                                   const ConversionProgress &progress)
{
    ConversionSummary summary;
    summary.deletion = deletePreviousNotes(previousNotes, stagingDir);
    int number = 0;
    for (const NoteSource &source : sources) {
        const QString text = documentText(source.path, recordedDocumentType(db, source.path));
        QString error;
        if (writeNoteFile(stagingDir, noteFileName(source.application), text, &error))
            ++summary.written;
        else
            summary.failures << QStringLiteral("%1: %2").arg(source.path, error);
        summary.lastText = text;
        if (progress.converted)
            progress.converted(++number, text);
    }
    summary.notes = scanIntoTable(db, stagingDir, QString::fromLatin1(kNoteMasks), ScanTable::Notes,
                                  progress.notes);
    return summary;
}

} // namespace quenda
