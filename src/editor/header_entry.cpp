#include "editor/header_entry.h"

#include "bill/bill_states.h"
#include "db/db_error.h"
#include "db/sql_text.h"
#include "editor/bill_form.h"
#include "editor/bill_values.h"
#include "entry/error_report.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "entry/typed_date.h"
#include "stock/item_lookup.h"

namespace otherin::editor {

namespace {

bool isZeroOrEmpty(const QString& text) {
    return text.trimmed().toInt() == 0;
}

// Looks a code up among the records of the field's kind and class; the record
// found is in ctx.lookup.
stock::LookupAnswer lookUp(EntryEnv& env, const HeaderField& f, const QString& code) {
    return stock::lookupCode(env.ctx, env.prompter, f.fieldType.trimmed().toInt(),
                             f.itemClass.trimmed().toInt(), code.trimmed(), 0);
}

}  // namespace

void HeaderEntry::focus(int index) {
    EntryState& st = env_.state;
    st.focus = Focus::Header;
    st.focusedHeader = index;
    st.headerTyped = false;
    HeaderField* f = env_.form.headerField(index);
    if (!f || !f->looksUp()) return;
    // A negative class marks a field whose records are not picked here.
    const bool offersLookup = f->itemClass.trimmed().toInt() > 0;
    env_.form.lookupImage = lookupImageBeside(*f, offersLookup);
    st.lookupButtonEnabled = offersLookup;
    f->text = f->code;
    st.lineCommandsEnabled = false;
}

// The bill's date as the clerk typed it, in any of the usual forms; it then
// shows as yyyy-MM-dd. A day that does not exist, or one no accounting period
// holds, is refused; a day of another year than the current one is asked
// about once.
bool HeaderEntry::validateDate(HeaderField& f) {
    EntryState& st = env_.state;
    const auto date = entry::parseTypedDate(f.text);
    const auto refuse = [&](const QString& text) {
        env_.prompter.message(text, entry::Icon::Exclamation, env_.ctx.msgTitle);
        return false;
    };
    if (!date) {
        return refuse(QStringLiteral("日期“%1”不是有效的日期,请重新输入(如 %2)!")
                          .arg(f.text.trimmed(), dateText(QDate::currentDate())));
    }
    std::optional<int> year;
    try {
        year = bill::periodYearOf(env_.ctx, *date);
    } catch (const db::DbError& e) {
        entry::reportError(env_.ctx, env_.prompter, e.message());
        return false;
    }
    if (!year)
        return refuse(QStringLiteral("日期%1不在任何会计期间内,请重新输入!").arg(dateText(*date)));
    f.text = dateText(*date);
    if (*year != env_.ctx.gCurrentYear && st.dateOutsideYearConfirmed != f.text) {
        if (env_.prompter.question(QStringLiteral("日期不在本年度会计期间内，确定吗？"),
                                   entry::Buttons::YesNo, entry::Icon::Question,
                                   env_.ctx.msgTitle) != entry::Answer::Yes)
            return false;
        st.dateOutsideYearConfirmed = f.text;
    }
    return true;
}

bool HeaderEntry::validate(int index) {
    EntryState& st = env_.state;
    HeaderField* f = env_.form.headerField(index);
    if (!f) return true;
    // Text pasted from another program may carry control characters: the
    // field keeps what was typed and the focus until the clerk removes them.
    if (db::holdsControlCharacter(f->text)) {
        env_.prompter.message(db::controlCharacterRefusal(captionStem(f->caption)),
                              entry::Icon::Exclamation, env_.ctx.msgTitle);
        return false;
    }
    if (f == dateField(env_.form)) return validateDate(*f);
    if (isZeroOrEmpty(f->fieldType) || f->text.isEmpty()) {
        if (f->text.isEmpty()) {
            f->code.clear();
            f->keyValue.clear();
        }
        st.confirmedHeaderName.clear();
        return true;
    }
    if (!f->enabled || !f->looksUp()) return true;
    const stock::LookupAnswer answer = lookUp(env_, *f, f->text);
    if (answer == stock::LookupAnswer::Found) {
        const entry::LookupRecord& found = env_.ctx.lookup;
        f->text = found.code;
        f->code = found.code;
        f->keyValue = found.id;
        st.confirmedHeaderName = found.name;
        st.headerTyped = false;
        return true;
    }
    // A failed look-up has been told as the database's error; the code may be right.
    if (answer == stock::LookupAnswer::NotFound) {
        env_.prompter.message(captionStem(f->caption) + QStringLiteral("输入不正确"),
                              entry::Icon::Exclamation, env_.ctx.msgTitle);
    }
    f->code.clear();
    f->keyValue.clear();
    st.confirmedHeaderName.clear();
    return false;
}

void HeaderEntry::leave(int index) {
    EntryState& st = env_.state;
    env_.form.lookupImage.visible = false;
    st.lookupButtonEnabled = false;
    if (st.focus == Focus::Header && st.focusedHeader == index) {
        st.focus = Focus::None;
        st.headerTyped = false;
    }
    HeaderField* f = env_.form.headerField(index);
    if (f && f->looksUp()) {
        if (f->enabled) {
            f->text = st.confirmedHeaderName;
        } else if (!f->code.isEmpty() && f->text == f->code) {
            // Disabled while it held the focus (an audit, an audited bill
            // shown): nothing validates it, so its name is looked up here.
            if (lookUp(env_, *f, f->code) == stock::LookupAnswer::Found)
                f->text = env_.ctx.lookup.name;
        }
    }
    st.confirmedHeaderName.clear();
}

std::optional<int> HeaderEntry::nextInTabOrder(int index) const {
    const HeaderField* from = env_.form.headerField(index);
    if (!from) return std::nullopt;
    const HeaderField* next = nullptr;
    for (const HeaderField& f : env_.form.header) {
        if (!f.visible || !f.enabled || f.tabOrder <= from->tabOrder) continue;
        if (!next || f.tabOrder < next->tabOrder) next = &f;
    }
    if (!next) return std::nullopt;
    return next->index;
}

bool HeaderEntry::lookup(int index) {
    HeaderField* f = env_.form.headerField(index);
    if (!f || !f->enabled || f->fieldType.trimmed().isEmpty() || isZeroOrEmpty(f->itemClass))
        return false;
    const entry::LoginContext& ctx = env_.ctx;
    const entry::Selectors& sel = env_.selectors;
    entry::SelectorAnswer answer;
    const int type = f->fieldType.trimmed().toInt();
    if (type == 1 && sel.record) {
        answer = sel.record->choose({QString::fromLatin1(entry::kRecordSelectorCode),
                                     ctx.gItemClassList, ctx.DBConnectionString, ctx.gSeekItem,
                                     f->text, f->itemClass, ctx.gLoginUserId});
    } else if (type == 2 && sel.second) {
        answer = sel.second->choose({QString::fromLatin1(entry::kSecondSelectorCode),
                                     ctx.gItemClassList, ctx.DBConnectionString, QString()});
    }
    // Several items at once only make sense for the lines.
    if (!answer.chosen() || answer.manyItems()) return false;
    f->keyValue = answer.key;
    f->text = answer.code;
    f->code = answer.code;
    return true;
}

}  // namespace otherin::editor
