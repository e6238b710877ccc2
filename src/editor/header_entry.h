#pragma once

#include <optional>

#include "editor/entry_state.h"

namespace otherin::editor {

struct HeaderField;

// Header fields that look records up: showing codes while edited and names
// otherwise, checking typed codes and choosing records in the selectors.
class HeaderEntry {
  public:
    explicit HeaderEntry(EntryEnv& env) : env_(env) {}

    // The field got the focus: it shows its code and offers the look-up.
    void focus(int index);
    // Before the focus leaves: a typed code must name a record, the date
    // field a date of an accounting period, and no field may hold a control
    // character. False keeps the focus in the field (its
    // message has been shown).
    bool validate(int index);
    // The focus left: the field shows the confirmed record's name.
    void leave(int index);
    // The field after this one in tab order; none after the last.
    std::optional<int> nextInTabOrder(int index) const;
    // Chooses a record in the field's selector; true when one was chosen.
    bool lookup(int index);

  private:
    bool validateDate(HeaderField& f);

    EntryEnv& env_;
};

}  // namespace otherin::editor
