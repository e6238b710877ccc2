#include "editor/header_entry.h"

#include "db/sql_text.h"
#include "editor/bill_form.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
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
