#include "editor/bill_form.h"

namespace otherin::editor {

QString captionStem(const QString& caption) {
    if (caption.endsWith(QChar(0xFF1A)) || caption.endsWith(QLatin1Char(':')))
        return caption.left(caption.size() - 1);
    return caption;
}

BillForm::BillForm() {
    grid.reshape(0, kDefaultRows);
}

HeaderField* BillForm::headerField(int index) {
    for (HeaderField& f : header) {
        if (f.index == index) return &f;
    }
    return nullptr;
}

const HeaderField* BillForm::headerField(int index) const {
    for (const HeaderField& f : header) {
        if (f.index == index) return &f;
    }
    return nullptr;
}

bool BillForm::isSumColumn(int c) const {
    return sumColumnList.contains(QLatin1Char(',') + QString::number(c) + QLatin1Char(','));
}

}  // namespace otherin::editor
