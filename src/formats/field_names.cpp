#include "formats/field_names.h"

#include <QSet>

namespace quenda {

QStringList uniqueFieldNames(const QStringList &names)
{
    QStringList result;
    result.reserve(names.size());
    QSet<QString> taken;
    for (qsizetype i = 0; i < names.size(); ++i) {
        QString name = names[i].trimmed();
        if (name.isEmpty() || taken.contains(name.toCaseFolded())) {
            name = QStringLiteral("F%1").arg(i + 1);
            // A later header may itself be called F2: keep the names apart all the same.
            for (int k = 2; taken.contains(name.toCaseFolded()); ++k)
                name = QStringLiteral("F%1_%2").arg(i + 1).arg(k);
        }
        taken.insert(name.toCaseFolded());
        result << name;
    }
    return result;
}

} // namespace quenda
