#pragma once

#include <QString>

#include "entry/prompter.h"

namespace otherin::entry {
struct LoginContext;
}

namespace otherin::editor {

class BillForm;
class EditorController;

// What the saves of the editor work on.
struct SaveEnv {
    entry::LoginContext& ctx;
    entry::Prompter& prompter;
    BillForm& form;
    EditorController& controller;
};

// Tells the user why the save stops; answers false for `return refuse(...)`.
bool refuse(SaveEnv& env, const QString& text, entry::Icon icon = entry::Icon::Exclamation);

// The right of `action` under the context's prefix ("01" gives G01). A
// refusal or a database error has been told.
bool holdsRight(SaveEnv& env, const QString& action);

// The checks the saves of new and changed bills share. Each tells the user
// what is wrong and answers false.
bool requiredHeaderFilled(SaveEnv& env);  // caption + "不能为空", focus to the field
bool dateReadable(SaveEnv& env);          // a date field whose text is no date
bool hasBillLines(SaveEnv& env);          // "请录入明细!"
bool billNumberGiven(SaveEnv& env);       // typed numbers must not be empty
bool beforePeriod(const SaveEnv& env);    // the bill's date lies before the current period
// Lines whose item keeps its stock elsewhere than the bill's warehouse are
// let through only when the user says so.
bool warehousesAccepted(SaveEnv& env);
// No header field but a look-up (whose id is stored) and no stored line text
// holds a control character; the first that does is named and gets the focus.
bool textsStorable(SaveEnv& env);

// Everything the form must pass before a new bill is saved: the closed
// period, the right G01, the date, the header, the texts, the lines, a typed
// number and the default warehouses, in this order.
bool checkNewBill(SaveEnv& env);
// The same for a changed bill (right G02); the stored bill is checked by
// the save itself.
bool checkChangedBill(SaveEnv& env);

}  // namespace otherin::editor
