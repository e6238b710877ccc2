#pragma once

#include <QString>

namespace otherin::editor {

// One labelled input of the bill header. Positions are in twips.
struct HeaderField {
    int index = 0;  // fIndex: how the editor addresses the field
    bool visible = false;
    bool enabled = true;
    QString caption;
    double left = 0;
    double top = 0;
    double width = 0;
    int tabOrder = 0;
    QString fieldName;  // icstockbill column the field edits
    QString itemClass;  // base data the field selects; "0" or empty: free input
    QString fieldType;  // 1 or 2: which selector serves the field
    bool canBeEmpty = false;
    bool carriesLookupImage = false;  // tab index 0: the look-up image starts beside it

    QString keyValue;  // id of the chosen record
    QString text;      // what is shown
    QString code;      // code of the chosen record, out of sight

    // A field that looks records up (item class set and not 0).
    bool looksUp() const { return itemClass.trimmed().toInt() != 0; }
};

// The small button beside a header field that starts a look-up.
struct LookupImage {
    bool visible = false;
    double left = 0;
    double top = 0;
};

// Where the look-up image sits for a field: beside its right edge, a little lower.
inline LookupImage lookupImageBeside(const HeaderField& field, bool visible) {
    return {visible, field.left + field.width, field.top + 100};
}

// The caption as messages quote it: without its closing colon ("仓库：" gives
// "仓库"); a caption without one is quoted whole.
QString captionStem(const QString& caption);

}  // namespace otherin::editor
