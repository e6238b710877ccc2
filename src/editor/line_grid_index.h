#pragma once

#include <QString>
#include <cstddef>
#include <set>
#include <vector>

namespace otherin::editor {

// The sum of one column's values, kept as a balanced tree of pairwise sums
// over the rows padded with zeros to a power of two. Changing one value
// costs a walk up the tree, and the total depends only on the values, never
// on the order they were changed in: a sum kept through any number of edits
// equals, bit for bit, the sum built afresh from the same cells.
class PairwiseSum {
  public:
    // `values` holds rows 1..n in order.
    explicit PairwiseSum(const std::vector<double>& values);

    void set(int row, double value);
    double total() const { return nodes_[1]; }

  private:
    void grow(std::size_t leaves);

    std::size_t leaves_ = 1;
    std::vector<double> nodes_;  // [1] the root; the leaves from [leaves_]
};

// The rows of one column whose cell is blank, in order.
class BlankRows {
  public:
    void set(int row, bool blank);
    // The first blank row; `none` when no row is blank.
    int first(int none) const { return rows_.empty() ? none : *rows_.begin(); }

  private:
    std::set<int> rows_;
};

// A text that is empty or holds only white space.
bool isBlank(const QString& text);

}  // namespace otherin::editor
