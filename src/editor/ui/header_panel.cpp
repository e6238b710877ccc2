#include "editor/ui/header_panel.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QWidgetAction>
#include <algorithm>

#include "editor/bill_values.h"
#include "editor/ui/twips.h"

namespace otherin::editor {

namespace {

// The layout gives no heights: one line of text with the frame around it.
constexpr int kFieldHeight = 22;
constexpr int kCaptionGap = 4;
constexpr int kImageSize = 18;
constexpr int kBottomMargin = 6;

QString dayText(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

}  // namespace

QWidget* HeaderPanel::Input::widget() const {
    return box ? box : static_cast<QWidget*>(edit);
}

HeaderPanel::HeaderPanel(QWidget* parent) : QWidget(parent), lookupImage_(new QToolButton(this)) {
    lookupImage_->setObjectName(QStringLiteral("lookupImage"));
    lookupImage_->setText(QStringLiteral("..."));
    lookupImage_->setFixedSize(kImageSize, kImageSize);
    // The field being looked up keeps the focus while the image is clicked.
    lookupImage_->setFocusPolicy(Qt::NoFocus);
    lookupImage_->hide();
    connect(lookupImage_, &QToolButton::clicked, this, &HeaderPanel::lookupImageClicked);
}

void HeaderPanel::clear() {
    for (auto& [index, in] : inputs_) {
        delete in.caption;
        delete in.widget();
    }
    inputs_.clear();
}

void HeaderPanel::build(const BillForm& form, int dateIndex) {
    clear();
    form_ = &form;
    dateIndex_ = dateIndex;
    int bottom = 0;
    for (const HeaderField& f : form.header) {
        addField(f);
        if (f.visible) bottom = std::max(bottom, twipsToPixels(f.top) + kFieldHeight);
    }
    if (form.lookupImage.top > 0)
        bottom = std::max(bottom, twipsToPixels(form.lookupImage.top) + kImageSize);
    setMinimumHeight(bottom + kBottomMargin);
    showAllFields();
    showLookupImage();
}

void HeaderPanel::addField(const HeaderField& f) {
    Input in;
    in.caption = new QLabel(f.caption, this);
    in.caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (f.index == dateIndex_) {
        // The date is typed as text in any of the usual forms (the editor
        // reads it when the field is left) or picked in the calendar.
        in.box = new QWidget(this);
        auto* row = new QHBoxLayout(in.box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        in.edit = new QLineEdit(in.box);
        in.edit->setPlaceholderText(QStringLiteral("yyyy-mm-dd"));
        row->addWidget(in.edit, 1);
        in.calendar = new QToolButton(in.box);
        in.calendar->setObjectName(QStringLiteral("calendar"));
        in.calendar->setText(QStringLiteral("▾"));
        in.calendar->setToolTip(QStringLiteral("选择日期"));
        in.calendar->setFocusPolicy(Qt::NoFocus);
        row->addWidget(in.calendar);
        in.box->setFocusProxy(in.edit);
        connect(in.calendar, &QToolButton::clicked, this,
                [this, index = f.index] { pickDate(index); });
    } else {
        in.edit = new QLineEdit(this);
    }
    connect(in.edit, &QLineEdit::textEdited, this,
            [this, index = f.index](const QString& text) { emit textEdited(index, text); });
    in.edit->installEventFilter(this);
    QWidget* w = in.widget();
    w->setObjectName(QStringLiteral("header%1").arg(f.index));
    const QRect geometry(twipsToPixels(f.left), twipsToPixels(f.top), twipsToPixels(f.width),
                         kFieldHeight);
    w->setGeometry(geometry);
    placeCaption(in.caption, geometry);
    in.caption->setBuddy(w);
    inputs_[f.index] = in;
}

// Captions end just left of their field, as wide as their text.
void HeaderPanel::placeCaption(QLabel* caption, const QRect& field) {
    const int width = caption->fontMetrics().horizontalAdvance(caption->text()) + 2;
    const int left = std::max(0, field.left() - kCaptionGap - width);
    caption->setGeometry(left, field.top(), field.left() - kCaptionGap - left, field.height());
}

void HeaderPanel::showField(int index) {
    const auto it = inputs_.find(index);
    const HeaderField* f = form_ ? form_->headerField(index) : nullptr;
    if (it == inputs_.end() || !f) return;
    const Input& in = it->second;
    in.caption->setVisible(f->visible);
    in.widget()->setVisible(f->visible);
    in.widget()->setEnabled(f->enabled);
    if (in.edit && in.edit->text() != f->text) in.edit->setText(f->text);
}

void HeaderPanel::showAllFields() {
    for (const auto& [index, in] : inputs_) showField(index);
}

void HeaderPanel::showDate(const QDate& date) {
    const auto it = inputs_.find(dateIndex_);
    if (it == inputs_.end() || !date.isValid()) return;
    // What the clerk is typing stays until the field is left.
    QLineEdit* edit = it->second.edit;
    if (!edit->hasFocus() && edit->text() != dayText(date)) edit->setText(dayText(date));
}

void HeaderPanel::pickDate(int index) {
    const auto it = inputs_.find(index);
    if (it == inputs_.end()) return;
    QLineEdit* edit = it->second.edit;
    QMenu popup(this);
    auto* calendar = new QCalendarWidget(&popup);
    const QDate shown = parseDate(edit->text());
    calendar->setSelectedDate(shown.isValid() ? shown : QDate::currentDate());
    auto* action = new QWidgetAction(&popup);
    action->setDefaultWidget(calendar);
    popup.addAction(action);
    connect(calendar, &QCalendarWidget::clicked, &popup, [&](const QDate& date) {
        edit->setText(dayText(date));
        emit textEdited(index, edit->text());
        emit dateEdited(index, date);
        popup.close();
    });
    edit->setFocus(Qt::OtherFocusReason);
    popup.exec(it->second.calendar->mapToGlobal(QPoint(0, it->second.calendar->height())));
}

void HeaderPanel::showLookupImage() {
    if (!form_) return;
    const LookupImage& image = form_->lookupImage;
    lookupImage_->move(twipsToPixels(image.left), twipsToPixels(image.top));
    lookupImage_->setVisible(image.visible);
    lookupImage_->raise();
}

void HeaderPanel::selectAll(int index) {
    const auto it = inputs_.find(index);
    if (it == inputs_.end() || !it->second.edit) return;
    it->second.edit->selectAll();
}

QWidget* HeaderPanel::input(int index) const {
    const auto it = inputs_.find(index);
    return it == inputs_.end() ? nullptr : it->second.widget();
}

int HeaderPanel::indexOf(const QWidget* widget) const {
    for (const auto& [index, in] : inputs_) {
        const QWidget* w = in.widget();
        if (widget && (widget == w || w->isAncestorOf(widget))) return index;
    }
    return 0;
}

std::vector<QWidget*> HeaderPanel::tabChain() const {
    std::vector<std::pair<int, QWidget*>> order;
    for (const auto& [index, in] : inputs_) {
        const HeaderField* f = form_->headerField(index);
        // The text takes the focus (beside the date's calendar button too).
        if (f && f->visible) order.emplace_back(f->tabOrder, in.edit);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<QWidget*> chain;
    for (const auto& [tab, w] : order) chain.push_back(w);
    return chain;
}

bool HeaderPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const int index = indexOf(qobject_cast<QWidget*>(watched));
    const auto* key = static_cast<QKeyEvent*>(event);
    if (index == 0 || key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return QWidget::eventFilter(watched, event);
    switch (key->key()) {
        case Qt::Key_Escape:
            if (!isDateField(index)) return QWidget::eventFilter(watched, event);
            emit dateEscaped(index);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit keyPressed(index, EditorKey::Enter);
            return true;
        case Qt::Key_F7:
            emit keyPressed(index, EditorKey::F7);
            return true;
        default:
            return QWidget::eventFilter(watched, event);
    }
}

}  // namespace otherin::editor
