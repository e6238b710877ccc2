#pragma once

#include <QObject>

class QWidget;

namespace otherin::editor {

class EditorController;
class HeaderPanel;
class LineGridView;

// Tells the editor when the keyboard focus moves between its header fields,
// the date field and the line grid. The field or cell being left is checked
// first; when the check refuses, the focus goes back to it and the place the
// user tried to reach is never entered. Focus moving to other windows
// (message boxes, selectors, pop-ups) is no move at all.
class FocusRouter : public QObject {
    Q_OBJECT
  public:
    FocusRouter(QWidget* window, HeaderPanel& header, LineGridView& grid,
                EditorController& controller);

    void focusChanged(QWidget* old, QWidget* now);
    // The grid has been entered: its cursor may move. A click into the grid
    // that the field being left refused must not move it.
    bool inGrid() const { return current_.kind == Kind::Grid; }
    // A bill shown afresh: the next focus is entered without leaving anything.
    void forget() { current_ = Place(); }

  private:
    enum class Kind { Other, Header, Date, Grid };
    struct Place {
        Kind kind = Kind::Other;
        int index = 0;
        bool operator==(const Place&) const = default;
    };

    Place placeOf(QWidget* widget) const;
    QWidget* widgetOf(const Place& place) const;
    bool leave(const Place& place);
    void enter(const Place& place);

    QWidget* window_;
    HeaderPanel& header_;
    LineGridView& grid_;
    EditorController& controller_;
    Place current_;
    bool routing_ = false;
};

}  // namespace otherin::editor
