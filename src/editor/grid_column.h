#pragma once

#include <QString>
#include <optional>

#include "editor/cell_format.h"
#include "editor/formula.h"

namespace otherin::editor {

// One column of the line grid with what the totals strip shows under it. The
// header cells of both grids carry column facts in their key and code; here
// they have names:
//   line grid header code  = fieldName    line grid header key  = fieldType
//   strip header code      = redFlag      strip header key      = canNull
//   strip row-1 code       = insertFlag
struct GridColumn {
    QString caption;
    double width = 0;  // twips
    bool hidden = false;

    QString fieldName;   // icstockbillentry column(s); two layout rows join with ","
    QString fieldType;   // which selector serves the column, and the look-up kind
    QString redFlag;     // "1": stored negated on red bills
    QString canNull;     // "0": the cell may not be empty
    QString insertFlag;  // "1": stored with the line

    CellFormat format;       // line grid
    CellFormat stripFormat;  // totals strip
    QString lookupKind;      // empty for plain columns; 3 items, 7 units, else a class
    bool locked = false;
    std::optional<Formula> formula;

    bool hasLookup() const { return !lookupKind.isEmpty(); }
    // The look-up kind as a number; 0 when it is not one.
    int lookupKindNumber() const { return lookupKind.trimmed().toInt(); }
};

// Which grid column plays which fixed role; 0 when the layout has none.
struct ColumnMap {
    int itemCode = 0;   // role 1
    int itemName = 0;   // role 2
    int itemModel = 0;  // role 3
    int unit = 0;       // role 4
    int quantity = 0;   // role 5
    int price = 0;      // role 6
    int role7 = 0;
    int role8 = 0;
    int amount = 0;  // role 9
    int role10 = 0;
    int role11 = 0;
    int batch = 0;  // role 12
    int role16 = 0;

    bool operator==(const ColumnMap&) const = default;

    // Records column n under the role; false for roles that record nothing.
    bool record(int role, int n);
    // A column was inserted at `at`: roles from there on move right by one.
    void shiftFrom(int at);
};

}  // namespace otherin::editor
