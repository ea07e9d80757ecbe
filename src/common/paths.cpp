#include "common/paths.h"

#include <cmath>

namespace quenda {

namespace {
qsizetype lastSeparator(const QString &path)
{
    return std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
}
} // namespace

QString lastPathComponent(const QString &path)
{
    const qsizetype at = lastSeparator(path);
    return at < 0 ? QString() : path.mid(at + 1);
}

QString fileNameOfPath(const QString &path)
{
    const qsizetype at = lastSeparator(path);
    return at < 0 ? path : path.mid(at + 1);
}

QString localFileName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

double roundHalfEven(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    // nearbyint honours the default rounding mode, which is to nearest with ties to even.
    double rounded = std::nearbyint(scaled);
    // Guard against binary noise turning an exact half into x.4999...
    const double frac = scaled - std::floor(scaled);
    if (std::fabs(frac - 0.5) < 1e-9) {
        const double down = std::floor(scaled);
        rounded = std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
    }
    return rounded / scale;
}

QString sizeText(qint64 bytes, const QLocale &locale)
{
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral("Byte");
    const double kb = roundHalfEven(static_cast<double>(bytes) / 1024.0, 0);
    if (kb < 1024.0)
        return QString::number(static_cast<qint64>(kb)) + QStringLiteral("Kb");
    const double mb = roundHalfEven(kb / 1024.0, 2);
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(mb, 'g', 15) + QStringLiteral("Mb");
}

} // namespace quenda
