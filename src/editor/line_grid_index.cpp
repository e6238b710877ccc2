#include "editor/line_grid_index.h"

namespace otherin::editor {

PairwiseSum::PairwiseSum(const std::vector<double>& values) {
    while (leaves_ < values.size()) leaves_ *= 2;
    nodes_.assign(2 * leaves_, 0.0);
    std::copy(values.begin(), values.end(), nodes_.begin() + static_cast<std::ptrdiff_t>(leaves_));
    for (std::size_t i = leaves_ - 1; i >= 1; --i) nodes_[i] = nodes_[2 * i] + nodes_[2 * i + 1];
}

// Twice the leaves puts the old tree under the new root's left half and
// zeros under its right, so the total stays what it was.
void PairwiseSum::grow(std::size_t leaves) {
    std::vector<double> values(nodes_.begin() + static_cast<std::ptrdiff_t>(leaves_), nodes_.end());
    values.resize(leaves, 0.0);
    *this = PairwiseSum(values);
}

void PairwiseSum::set(int row, double value) {
    if (row < 1) return;
    const auto at = static_cast<std::size_t>(row - 1);
    if (at >= leaves_) {
        std::size_t leaves = leaves_;
        while (leaves <= at) leaves *= 2;
        grow(leaves);
    }
    std::size_t i = leaves_ + at;
    nodes_[i] = value;
    for (i /= 2; i >= 1; i /= 2) nodes_[i] = nodes_[2 * i] + nodes_[2 * i + 1];
}

void BlankRows::set(int row, bool blank) {
    if (blank) {
        rows_.insert(row);
    } else {
        rows_.erase(row);
    }
}

bool isBlank(const QString& text) {
    for (const QChar c : text) {
        if (!c.isSpace()) return false;
    }
    return true;
}

}  // namespace otherin::editor
