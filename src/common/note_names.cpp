#include "common/note_names.h"

#include "common/paths.h"

namespace quenda {

QString stripfilename(const QString &path)
{
    return fileNameOfPath(path);
}

QString noteBaseName(const QString &fileName)
{
    const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
    return dot < 0 ? fileName : fileName.left(dot);
}

QString typeToken(const QString &path)
{
    const QString tail = path.right(4);
    const qsizetype dot = tail.indexOf(QLatin1Char('.'));
    return dot < 0 ? QStringLiteral("rtf") : tail.mid(dot + 1);
}

int scanTokenHits(const QString &path)
{
    int hits = 0;
    for (const char *token : {"RTF", "DOC", "TXT", "HTML"})
        if (path.contains(QLatin1String(token), Qt::CaseInsensitive))
            ++hits;
    return hits;
}

bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0));
}

} // namespace quenda
