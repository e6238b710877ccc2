#pragma once

class QDialogButtonBox;
class QMessageBox;

namespace otherin::entry {

// Loads Qt's own Chinese texts (the standard buttons, the file, print and
// page-setup dialogs) into the running application, so they speak the
// module's language. Answers false when the translations are not installed;
// the module's own buttons are in Chinese either way.
bool installQtTranslations();

// The module's texts on standard buttons, whatever translations are loaded.
void nameButtons(QMessageBox& box);
void nameButtons(QDialogButtonBox& buttons);

}  // namespace otherin::entry
