#include "entry/cls_other_in.h"

#include "entry/prompter.h"
#include "entry/settings_store.h"
#include "entry/startup.h"
#include "entry/windows.h"

namespace otherin::entry {

clsOtherIn::clsOtherIn(const SettingsStore& settings, Prompter& prompter, WindowFactory& windows)
    : prompter_(prompter), windows_(windows) {
    startUp(ctx_, settings, prompter_);
}

clsOtherIn::~clsOtherIn() = default;

bool clsOtherIn::newInfo(QString& strSerialNo) {
    if (strSerialNo != QString::fromLatin1(kNewInfoCode)) return false;
    ctx_.gEntryKind = 0;
    ctx_.gEditMode = 0;
    ctx_.gFromJournal = 0;
    showEditor();
    return false;
}

bool clsOtherIn::findInfo(QString& strSerialNo) {
    if (strSerialNo != QString::fromLatin1(kFindInfoCode)) return false;
    ctx_.gEntryKind = 0;
    showQueryDialog();
    return false;
}

QString clsOtherIn::findInfo3(QString& /*strSql*/) {
    ctx_.gEntryKind = 3;
    ctx_.gEditMode = 4;
    showQueryDialog();
    return QString();
}

void clsOtherIn::showEditor() {
    if (!editor_) editor_ = windows_.createBillEditor(ctx_);
    editor_->showModal();
}

void clsOtherIn::showQueryDialog() {
    if (!queryDialog_) queryDialog_ = windows_.createQueryDialog(ctx_);
    queryDialog_->showModal();
}

}  // namespace otherin::entry
