#pragma once

#include <QString>
#include <vector>

#include "editor/grid_column.h"
#include "editor/header_field.h"
#include "editor/line_grid.h"
#include "editor/totals_strip.h"

namespace otherin::editor {

// The bill as the editor holds it: header fields, line grid, totals strip and
// the layout facts every editor operation reads. Built once per editor window
// by buildLayout; the saves and the loading read and fill the same object.
class BillForm {
  public:
    static constexpr int kDefaultRows = 30;

    BillForm();
    BillForm(const BillForm&) = delete;
    BillForm& operator=(const BillForm&) = delete;

    std::vector<HeaderField> header;  // in fIndex order
    ColumnMap columns;
    int columnCount = 0;         // C: layout columns + the five hidden ones
    QString sumColumnList{","};  // e.g. ",5,7,"
    QString hiddenFieldList;     // e.g. ",fnote,fbatchno," (non-administrators)
    LookupImage lookupImage;
    int splitColumn = 0;  // the split-quantity column in split mode, else 0
    LineGrid grid;
    TotalsStrip strip{grid};

    // The field with this fIndex, or none.
    HeaderField* headerField(int index);
    const HeaderField* headerField(int index) const;
    bool isSumColumn(int c) const;

    // The hidden per-line columns filled by look-ups.
    int warehouseColumn() const { return columnCount - 4; }       // item's default warehouse
    int itemUnitFactorColumn() const { return columnCount - 3; }  // fxs of the item's unit
    int purchasePriceColumn() const { return columnCount - 2; }   // item's fInPrice
    int unitGroupColumn() const { return columnCount - 1; }       // item's unit group
    int unitFactorColumn() const { return columnCount; }          // fxs of the line's unit
};

}  // namespace otherin::editor
