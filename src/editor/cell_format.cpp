#include "editor/cell_format.h"

#include <cmath>

#include "entry/conversions.h"

namespace otherin::editor {

std::optional<QString> normaliseInput(const CellFormat& format, const QString& typed) {
    if (!format.isNumeric()) return typed;
    const QString t = entry::withoutGrouping(typed).trimmed();
    if (t.isEmpty()) return QString();
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    if (format.min && value < *format.min) return std::nullopt;
    if (format.max && value > *format.max) return std::nullopt;
    if (format.showsDecimals()) return entry::plainNumber(value, format.decimals);
    return t;
}

}  // namespace otherin::editor
