#pragma once

#include <QStringList>
#include <vector>

#include "stock/ledger_check.h"

namespace otherin::testing {

// "warehouse/item/unit/batch/place ledgerQty;ledgerAmount billsQty;billsAmount",
// each number written shortest, so 0.3 and 0.30000000000000004 stay apart.
inline QStringList differenceTexts(const std::vector<stock::LedgerDifference>& differences) {
    const auto num = [](double v) {
        return QString::number(v, 'g', QLocale::FloatingPointShortest);
    };
    QStringList out;
    for (const auto& d : differences) {
        out << QStringLiteral("%1/%2/%3/%4/%5 %6;%7 %8;%9")
                   .arg(d.warehouseId)
                   .arg(d.itemId)
                   .arg(d.unitId)
                   .arg(d.batch)
                   .arg(d.place)
                   .arg(num(d.ledgerQty), num(d.ledgerAmount), num(d.billsQty), num(d.billsAmount));
    }
    return out;
}

}  // namespace otherin::testing
