// The session's side of rights: which guarded commands the user may use, so
// the window offers only those.
#include "db/db_error.h"
#include "editor/bill_session.h"
#include "entry/edit_mode.h"
#include "entry/login_context.h"
#include "entry/permission.h"

namespace otherin::editor {

void BillSession::readRights() {
    const QString p = ctx_.gRightPrefix;
    try {
        rights_ = entry::heldRights(
            ctx_, {p + QStringLiteral("01"), p + QStringLiteral("02"), p + QStringLiteral("04"),
                   p + QStringLiteral("08"), p + QStringLiteral("13"), QStringLiteral("R10")});
    } catch (const db::DbError&) {
        // Each command still asks for its right and reports what went wrong.
        rights_.reset();
    }
}

// The right a command asks for; Save asks for the right of the mode's save
// (the price edit asks for none).
QString BillSession::rightOf(const QString& key) const {
    const auto is = [&key](const char* k) { return key == QLatin1String(k); };
    QString digits;
    if (is(keys::Save) || is(keys::MenuSave)) {
        switch (ctx_.gEditMode) {
            case entry::kModeNew:
                digits = QStringLiteral("01");
                break;
            case entry::kModeChange:
                digits = QStringLiteral("02");
                break;
            case entry::kModeSplit:
                digits = QStringLiteral("13");
                break;
            default:
                return {};
        }
    } else if (is(keys::Check)) {
        digits = QStringLiteral("04");
    } else if (is(keys::Preview) || is(keys::Print)) {
        digits = QStringLiteral("08");
    } else if (is(keys::MenuStockQuery)) {
        return QStringLiteral("R10");
    } else {
        return {};
    }
    return ctx_.gRightPrefix + digits;
}

}  // namespace otherin::editor
