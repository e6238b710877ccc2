#include "entry/conversions.h"

#include <cmath>

namespace otherin::entry {

qint32 toLong(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return 0;
    bool ok = false;
    const qint32 whole = t.toInt(&ok);
    if (ok) return whole;
    // "12.0" and the like still count as whole numbers, rounded half away from zero.
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::abs(d) > 2147483647.0) return 0;
    return static_cast<qint32>(std::llround(d));
}

double toDouble(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return 0;
    bool ok = false;
    const double d = t.toDouble(&ok);
    return ok && std::isfinite(d) ? d : 0;
}

QString toText(const QString& text) {
    return text.trimmed();
}

}  // namespace otherin::entry
