#include "common/result.h"

#include <cstring>

namespace quenda {

QString systemErrorText(int errnoValue)
{
    // strerror_r in its GNU form may return a static string instead of filling the buffer.
    char buffer[256] = {};
    const char *text = strerror_r(errnoValue, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text ? text : buffer);
}

} // namespace quenda
