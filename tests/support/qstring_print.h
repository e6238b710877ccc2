#pragma once

#include <QString>
#include <ostream>

// Failed comparisons show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
