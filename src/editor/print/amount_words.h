#pragma once

#include <QString>

namespace otherin::print {

// An amount of money in Chinese financial capitals, as written on a slip
// (大写金额): 1234.56 → 壹仟贰佰叁拾肆元伍角陆分, 10 → 壹拾元整, 1005 →
// 壹仟零伍元整, 0 → 零元整; below zero with 负 in front. Rounded to the fen;
// empty for amounts of 10^16 yuan or more, which no slip carries.
QString amountInCapitals(double amount);

}  // namespace otherin::print
