#include "editor/cell_format.h"

#include <cmath>

#include "entry/conversions.h"

namespace otherin::editor {

QString formatNumber(double value, int decimals) {
    const int places = decimals < 0 ? 0 : decimals;
    // A value that rounds to zero is shown without a sign the user never typed.
    if (std::round(std::abs(value) * std::pow(10.0, places)) == 0) value = 0.0;
    return QString::number(value, 'f', places);
}

std::optional<QString> normaliseInput(const CellFormat& format, const QString& typed) {
    if (!format.isNumeric()) return typed;
    const QString t = entry::withoutGrouping(typed).trimmed();
    if (t.isEmpty()) return QString();
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    if (format.min && value < *format.min) return std::nullopt;
    if (format.max && value > *format.max) return std::nullopt;
    if (format.showsDecimals()) return formatNumber(value, format.decimals);
    return t;
}

}  // namespace otherin::editor
