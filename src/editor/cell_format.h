#pragma once

#include <QString>
#include <optional>

namespace otherin::editor {

// What a column's cells hold and how they are typed and shown.
enum class CellKind { Plain, Number, Currency, Text, Date, Percent };

struct CellFormat {
    CellKind kind = CellKind::Plain;
    int decimals = 0;
    bool multiLine = false;
    std::optional<double> min;
    std::optional<double> max;

    static CellFormat of(CellKind kind, int decimals = 0) {
        CellFormat f;
        f.kind = kind;
        f.decimals = decimals;
        return f;
    }

    // Number, currency and percent cells hold a value the user types as a number.
    bool isNumeric() const {
        return kind == CellKind::Number || kind == CellKind::Currency || kind == CellKind::Percent;
    }
    // Number and currency cells are shown with the column's decimals.
    bool showsDecimals() const { return kind == CellKind::Number || kind == CellKind::Currency; }
};

// The stored form of what the user typed into a cell of this format, or none
// when the input is refused (not a number, or out of the column's bounds).
// Number and currency input is rounded to the column's decimals.
std::optional<QString> normaliseInput(const CellFormat& format, const QString& typed);

}  // namespace otherin::editor
