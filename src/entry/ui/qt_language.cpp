#include "entry/ui/qt_language.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <utility>

namespace otherin::entry {

namespace {

// 是 and 否 answer to Y and N (a message box takes a button's letter without
// Alt); 取消 answers to Esc.
constexpr std::pair<QDialogButtonBox::StandardButton, const char*> kButtonTexts[] = {
    {QDialogButtonBox::Ok, "确定"},     {QDialogButtonBox::Cancel, "取消"},
    {QDialogButtonBox::Yes, "是(&Y)"},  {QDialogButtonBox::No, "否(&N)"},
    {QDialogButtonBox::Close, "关闭"},  {QDialogButtonBox::Save, "保存"},
    {QDialogButtonBox::Apply, "应用"},  {QDialogButtonBox::Reset, "重置"},
    {QDialogButtonBox::Help, "帮助"},   {QDialogButtonBox::Abort, "中止"},
    {QDialogButtonBox::Retry, "重试"},  {QDialogButtonBox::Ignore, "忽略"},
};

}  // namespace

bool installQtTranslations() {
    auto* app = QCoreApplication::instance();
    if (!app) return false;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool loaded = false;
    for (const char* name : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto* translator = new QTranslator(app);
        if (translator->load(QString::fromLatin1(name), folder)) {
            QCoreApplication::installTranslator(translator);
            loaded = true;
        } else {
            delete translator;
        }
    }
    return loaded;
}

void nameButtons(QMessageBox& box) {
    for (const auto& [which, text] : kButtonTexts) {
        if (QAbstractButton* b = box.button(static_cast<QMessageBox::StandardButton>(which)))
            b->setText(QString::fromUtf8(text));
    }
}

void nameButtons(QDialogButtonBox& buttons) {
    for (const auto& [which, text] : kButtonTexts) {
        if (QPushButton* b = buttons.button(which)) b->setText(QString::fromUtf8(text));
    }
}

}  // namespace otherin::entry
