#include "player/fat_names.h"

namespace quenda {

QString fatSafeName(const QString &name)
{
    static const QString kRefused = QStringLiteral(":*?\"<>|\\");
    QString safe = name;
    for (QChar &c : safe) {
        if (c.unicode() < 0x20 || kRefused.contains(c))
            c = QLatin1Char('_');
    }
    for (qsizetype i = safe.size() - 1; i >= 0; --i) {
        if (safe[i] != QLatin1Char('.') && safe[i] != QLatin1Char(' '))
            break;
        safe[i] = QLatin1Char('_');
    }
    return safe;
}

} // namespace quenda
