#include "editor/ui/focus_router.h"

#include <QApplication>
#include <QTimer>

#include "editor/editor_controller.h"
#include "editor/ui/header_panel.h"
#include "editor/ui/line_grid_view.h"

namespace otherin::editor {

FocusRouter::FocusRouter(QWidget* window, HeaderPanel& header, LineGridView& grid,
                         EditorController& controller)
    : QObject(window), window_(window), header_(header), grid_(grid), controller_(controller) {
    connect(qApp, &QApplication::focusChanged, this, &FocusRouter::focusChanged);
}

FocusRouter::Place FocusRouter::placeOf(QWidget* widget) const {
    if (widget == &grid_ || grid_.isAncestorOf(widget)) return {Kind::Grid, 0};
    if (const int index = header_.indexOf(widget))
        return {header_.isDateField(index) ? Kind::Date : Kind::Header, index};
    return {};
}

QWidget* FocusRouter::widgetOf(const Place& place) const {
    switch (place.kind) {
        case Kind::Grid:
            return &grid_;
        case Kind::Header:
        case Kind::Date:
            return header_.input(place.index);
        default:
            return nullptr;
    }
}

void FocusRouter::focusChanged(QWidget* /*old*/, QWidget* now) {
    // Message boxes shown while a move is checked hand the focus back when
    // they close; that is part of the same move.
    if (routing_ || !now || now->window() != window_) return;
    const Place to = placeOf(now);
    if (to == current_) return;
    routing_ = true;
    if (leave(current_)) {
        current_ = to;
        enter(to);
    } else if (QWidget* back = widgetOf(current_)) {
        // Not from inside this focus change: the move in progress must finish first.
        QTimer::singleShot(0, back, [back] { back->setFocus(Qt::OtherFocusReason); });
    }
    routing_ = false;
}

bool FocusRouter::leave(const Place& place) {
    switch (place.kind) {
        case Kind::Header:
        case Kind::Date:
            if (!controller_.headerValidate(place.index)) return false;
            controller_.headerLeave(place.index);
            return true;
        case Kind::Grid: {
            const CellPos at = controller_.state().active;
            return controller_.leaveCell(at.column, at.row, -1, -1);
        }
        default:
            return true;
    }
}

void FocusRouter::enter(const Place& place) {
    switch (place.kind) {
        case Kind::Header:
            controller_.headerFocus(place.index);
            break;
        case Kind::Date:
            controller_.dateFocus();
            break;
        case Kind::Grid: {
            const CellPos at = controller_.state().active;
            grid_.showCursorAt(at.column, at.row);
            controller_.gridFocus();
            break;
        }
        default:
            break;
    }
}

}  // namespace otherin::editor
