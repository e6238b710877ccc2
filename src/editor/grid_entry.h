#pragma once

#include "editor/entry_state.h"

namespace otherin::editor {

class GridLookup;

// The cursor's way through the line grid: which moves are allowed, what a
// cell shows while the cursor is in it, and how the grid grows.
class GridEntry {
  public:
    GridEntry(EntryEnv& env, GridLookup& lookup) : env_(env), lookup_(lookup) {}

    // The cursor wants to leave (c, r) for (c2, r2); −1 in c2 or r2 means it
    // leaves the grid. Confirms what was typed; false keeps the cursor in
    // (c, r). On success the active cell is (c2, r2).
    bool leave(int c, int r, int c2, int r2);
    // Finishes the edit of the active cell without moving (before a save or
    // when the editor closes). False when the cell is not acceptable.
    bool complete();
    // The cursor is now on (c, r): highlight its row and offer what the cell allows.
    void enter(int c, int r);
    // More than ten rows always stay below row r.
    void keepRoomBelow(int r);

  private:
    bool checkCell(int c, int r, int c2, int r2, bool moving);
    bool checkSplitQuantity(int r);
    void offerLookup(int c, int r);

    EntryEnv& env_;
    GridLookup& lookup_;
};

}  // namespace otherin::editor
