#include "editor/grid_column.h"

namespace otherin::editor {

bool ColumnMap::record(int role, int n) {
    switch (role) {
        case 1:
            itemCode = n;
            return true;
        case 2:
            itemName = n;
            return true;
        case 3:
            itemModel = n;
            return true;
        case 4:
            unit = n;
            return true;
        case 5:
            quantity = n;
            return true;
        case 6:
            price = n;
            return true;
        case 7:
            role7 = n;
            return true;
        case 8:
            role8 = n;
            return true;
        case 9:
            amount = n;
            return true;
        case 10:
            role10 = n;
            return true;
        case 11:
            role11 = n;
            return true;
        case 12:
            batch = n;
            return true;
        case 16:
            role16 = n;
            return true;
        default:
            return false;
    }
}

void ColumnMap::shiftFrom(int at) {
    for (int* role : {&itemCode, &itemName, &itemModel, &unit, &quantity, &price, &role7, &role8,
                      &amount, &role10, &role11, &batch, &role16}) {
        if (*role >= at) ++*role;
    }
}

}  // namespace otherin::editor
