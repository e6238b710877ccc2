#include "editor/grid_history.h"

#include <algorithm>

namespace otherin::editor {

GridHistory::GridHistory(LineGrid& grid, QObject* parent) : QObject(parent), grid_(grid) {
    grid_.watchRowChanges([this](int r) { keepRow(r); });
    connect(&grid_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                if (ignoring()) return;
                for (int r = from.row() + 1; r <= to.row() + 1; ++r) touched_[r] = true;
            });
    connect(&grid_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (ignoring()) return;
                flushTouched();
                for (int r = first + 1; r <= last + 1; ++r) {
                    shadow_.insert(shadow_.begin() + (r - 1), std::nullopt);
                    open_.push_back({Kind::Insert, r, {}, rowOf(r), {}, {}});
                }
            });
    connect(&grid_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (ignoring()) return;
                flushTouched();
                for (int r = last + 1; r >= first + 1; --r) {
                    open_.push_back({Kind::Remove, r, shadowRow(r), {}, {}, {}});
                    shadow_.erase(shadow_.begin() + (r - 1));
                }
            });
    // Rows keep their earlier content as it was shown in the columns it was
    // shown in.
    connect(&grid_, &QAbstractItemModel::columnsAboutToBeInserted, this, [this] {
        if (ignoring()) return;
        for (std::size_t i = 0; i < shadow_.size(); ++i) keepRow(static_cast<int>(i) + 1);
    });
    // A bulk change (lines imported) is one step over the whole grid.
    connect(&grid_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (ignoring()) return;
        beforeReset_ = allShadowRows();
    });
    connect(&grid_, &QAbstractItemModel::modelReset, this, [this] {
        if (ignoring()) return;
        touched_.clear();
        std::vector<Row> now = allRows();
        if (now != beforeReset_)
            open_.push_back({Kind::Whole, 0, {}, {}, std::move(beforeReset_), std::move(now)});
        beforeReset_.clear();
        shadow_.assign(static_cast<std::size_t>(grid_.rows()), std::nullopt);
    });
    clear();
}

GridHistory::~GridHistory() {
    grid_.watchRowChanges(nullptr);
}

GridHistory::Row GridHistory::rowOf(int r) const {
    Row row;
    row.reserve(static_cast<std::size_t>(grid_.columns()));
    for (int c = 1; c <= grid_.columns(); ++c)
        row.push_back({grid_.text(c, r), grid_.key(c, r), grid_.code(c, r)});
    return row;
}

std::vector<GridHistory::Row> GridHistory::allRows() const {
    std::vector<Row> rows;
    for (int r = 1; r <= grid_.rows(); ++r) rows.push_back(rowOf(r));
    return rows;
}

GridHistory::Row GridHistory::shadowRow(int r) const {
    const auto i = static_cast<std::size_t>(r - 1);
    if (i < shadow_.size() && shadow_[i]) return *shadow_[i];
    return r <= grid_.rows() ? rowOf(r) : Row();
}

std::vector<GridHistory::Row> GridHistory::allShadowRows() const {
    std::vector<Row> rows;
    rows.reserve(shadow_.size());
    for (std::size_t i = 0; i < shadow_.size(); ++i)
        rows.push_back(shadowRow(static_cast<int>(i) + 1));
    return rows;
}

// Called before the grid changes row r: its content as of the last closed
// step is copied at its first change.
void GridHistory::keepRow(int r) {
    if (ignoring() || r < 1 || r > static_cast<int>(shadow_.size())) return;
    std::optional<Row>& kept = shadow_[static_cast<std::size_t>(r - 1)];
    if (!kept && r <= grid_.rows()) kept = rowOf(r);
}

void GridHistory::clear() {
    awaiting_ = false;
    shadow_.assign(static_cast<std::size_t>(grid_.rows()), std::nullopt);
    beforeReset_.clear();
    touched_.clear();
    open_.clear();
    undo_.clear();
    redo_.clear();
}

void GridHistory::flushTouched() {
    for (const auto& [r, yes] : touched_) {
        if (r < 1 || r > grid_.rows() || r > static_cast<int>(shadow_.size())) continue;
        // A row never copied has not changed since the last step. A row
        // copied keeps its copy, so its next edit copies nothing.
        std::optional<Row>& kept = shadow_[static_cast<std::size_t>(r - 1)];
        if (!kept) continue;
        Row now = rowOf(r);
        if (now == *kept) continue;
        open_.push_back({Kind::Change, r, std::move(*kept), now, {}, {}});
        kept = std::move(now);
    }
    touched_.clear();
}

void GridHistory::closeStep() {
    flushTouched();
    if (open_.empty()) return;
    undo_.push_back(std::move(open_));
    open_.clear();
    redo_.clear();
}

bool GridHistory::canUndo() const {
    return !undo_.empty() || !open_.empty() || !touched_.empty();
}

bool GridHistory::canRedo() const {
    return !redo_.empty();
}

void GridHistory::putRow(int r, const Row& row) {
    for (int c = 1; c <= grid_.columns() && c <= static_cast<int>(row.size()); ++c) {
        const Cells& cell = row[static_cast<std::size_t>(c - 1)];
        grid_.setCell(c, r, cell.text, cell.key, cell.code);
    }
}

void GridHistory::putAll(const std::vector<Row>& rows) {
    LineGrid::BulkChange bulk(grid_);
    while (grid_.rows() < static_cast<int>(rows.size())) grid_.appendRow();
    while (grid_.rows() > static_cast<int>(rows.size())) grid_.removeRowAt(grid_.rows());
    for (int r = 1; r <= static_cast<int>(rows.size()); ++r) putRow(r, rows[r - 1]);
}

void GridHistory::replay(const Step& step, bool forward) {
    replaying_ = true;
    const auto apply = [this, forward](const Op& op) {
        const bool insertNow = (op.kind == Kind::Insert) == forward;
        switch (op.kind) {
            case Kind::Change:
                putRow(op.row, forward ? op.after : op.before);
                break;
            case Kind::Insert:
            case Kind::Remove:
                if (insertNow) {
                    grid_.insertRowAt(op.row);
                    putRow(op.row, op.kind == Kind::Insert ? op.after : op.before);
                } else {
                    grid_.removeRowAt(op.row);
                }
                break;
            case Kind::Whole:
                putAll(forward ? op.allAfter : op.allBefore);
                break;
        }
    };
    if (forward) {
        std::for_each(step.begin(), step.end(), apply);
    } else {
        std::for_each(step.rbegin(), step.rend(), apply);
    }
    replaying_ = false;
    shadow_.assign(static_cast<std::size_t>(grid_.rows()), std::nullopt);
    touched_.clear();
}

bool GridHistory::undo() {
    return walk(undo_, redo_, false);
}

bool GridHistory::redo() {
    return walk(redo_, undo_, true);
}

// Takes the last step of `from` back (or again) and keeps it in `to`.
bool GridHistory::walk(std::vector<Step>& from, std::vector<Step>& to, bool forward) {
    closeStep();
    if (from.empty()) return false;
    Step step = std::move(from.back());
    from.pop_back();
    replay(step, forward);
    to.push_back(std::move(step));
    return true;
}

}  // namespace otherin::editor
