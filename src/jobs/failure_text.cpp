#include "jobs/failure_text.h"

#include <QDir>
#include <QStringList>

namespace quenda {

QString failureListText(const std::vector<ItemFailure> &failures, int shown)
{
    QStringList lines;
    for (const ItemFailure &f : failures) {
        if (lines.size() == shown) {
            lines << QStringLiteral("and %1 more").arg(failures.size() - shown);
            break;
        }
        lines << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(f.path), f.reason);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace quenda
