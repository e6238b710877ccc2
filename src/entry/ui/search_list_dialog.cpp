#include "entry/ui/search_list_dialog.h"

#include "entry/ui/qt_language.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace otherin::entry {

namespace {

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

bool movesInList(const QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            return true;
        default:
            return false;
    }
}

}  // namespace

SearchListDialog::SearchListDialog(QWidget* parent)
    : QDialog(parent),
      search_(new QLineEdit(this)),
      view_(new QTableView(this)),
      note_(new QLabel(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    nameButtons(*buttons_);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("查找"), this);
    label->setBuddy(search_);
    layout->addWidget(label);
    layout->addWidget(search_);
    layout->addWidget(view_);
    note_->setObjectName(QStringLiteral("note"));
    note_->setWordWrap(true);
    note_->hide();
    layout->addWidget(note_);
    layout->addWidget(buttons_);
    // OK picks as Enter does; the buttons take no focus, so Enter stays the list's.
    for (QAbstractButton* b : buttons_->buttons()) b->setFocusPolicy(Qt::NoFocus);
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] { rowActivated(currentRow()); });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setStretchLastSection(true);

    search_->installEventFilter(this);
    view_->installEventFilter(this);
    connect(search_, &QLineEdit::textChanged, this,
            [this](const QString& text) { searchChanged(text); });
    connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) rowActivated(index.row());
    });
    search_->setFocus();
    resize(560, 360);
}

int SearchListDialog::currentRow() const {
    const QModelIndex current = view_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

QString SearchListDialog::note() const {
    return note_->text();
}

void SearchListDialog::setNote(const QString& text) {
    note_->setText(text);
    note_->setVisible(!text.isEmpty());
}

// A refilled list forgets its widths: each column is made as wide as the
// widest of its cells and its heading again, so codes and names are read
// whole.
void SearchListDialog::fitColumns() {
    view_->resizeColumnsToContents();
    view_->horizontalHeader()->setStretchLastSection(true);
}

void SearchListDialog::setListModel(QAbstractItemModel* model) {
    view_->setModel(model);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        fitColumns();
        selectFirstRow();
    });
    fitColumns();
    selectFirstRow();
}

void SearchListDialog::selectFirstRow() {
    QAbstractItemModel* model = view_->model();
    if (model == nullptr || model->rowCount() == 0) return;
    view_->selectionModel()->setCurrentIndex(
        model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool SearchListDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (watched != search_ && watched != view_)) {
        return QDialog::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (isEnter(key)) {
        rowActivated(currentRow());
        return true;
    }
    if (watched == search_ && movesInList(key)) {
        QCoreApplication::sendEvent(view_, key);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace otherin::entry
