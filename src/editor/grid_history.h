#pragma once

#include <QObject>
#include <map>
#include <optional>
#include <vector>

#include "editor/line_grid.h"

namespace otherin::editor {

// Undo and redo of what a clerk does to the lines: cell edits (with what a
// look-up filled in beside them), lines inserted, deleted and copied, and
// lines imported. The history watches the grid: rows touched since the last
// step was closed are compared with a copy of their earlier content, taken
// when the grid is about to change the row, so an edit costs the rows it
// touched, however long the bill, and a bill shown afresh copies nothing.
// Each command of the clerk closes a step; a bill shown afresh starts an
// empty history.
class GridHistory : public QObject {
    Q_OBJECT
  public:
    explicit GridHistory(LineGrid& grid, QObject* parent = nullptr);
    ~GridHistory() override;

    // A bill is about to be shown afresh: what the grid goes through until
    // clear() is not history (clear() would drop it anyway).
    void awaitBill() { awaiting_ = true; }
    // A bill was shown afresh: what it holds now is where undo stops.
    void clear();
    // Ends the current step (a cell left, a line command, an import done).
    void closeStep();
    bool canUndo() const;
    bool canRedo() const;
    // False when there was nothing to undo or redo.
    bool undo();
    bool redo();

  private:
    struct Cells {
        QString text, key, code;
        bool operator==(const Cells&) const = default;
    };
    using Row = std::vector<Cells>;
    enum class Kind { Change, Insert, Remove, Whole };
    struct Op {
        Kind kind;
        int row = 0;
        Row before, after;                     // Change, Insert (after), Remove (before)
        std::vector<Row> allBefore, allAfter;  // Whole
    };
    using Step = std::vector<Op>;

    Row rowOf(int r) const;
    std::vector<Row> allRows() const;
    // The row as of the last closed step.
    Row shadowRow(int r) const;
    std::vector<Row> allShadowRows() const;
    void keepRow(int r);
    bool ignoring() const { return replaying_ || awaiting_; }
    void putRow(int r, const Row& row);
    void putAll(const std::vector<Row>& rows);
    void flushTouched();
    void replay(const Step& step, bool forward);
    bool walk(std::vector<Step>& from, std::vector<Step>& to, bool forward);

    LineGrid& grid_;
    // Each row as of the last closed step; none while the grid's row still
    // holds just that.
    std::vector<std::optional<Row>> shadow_;
    std::vector<Row> beforeReset_;  // the shadow when a bulk change began
    std::map<int, bool> touched_;
    Step open_;
    std::vector<Step> undo_;
    std::vector<Step> redo_;
    bool replaying_ = false;
    bool awaiting_ = false;
};

}  // namespace otherin::editor
