// How the window's controls present themselves to assistive tools (screen readers, voice
// control). Qt's own accessible interfaces let a tool change a control in ways the user's
// hand cannot: Toggle sets a check button's state without a click, so the window's click
// handlers never run; a disabled slider and a read-only box take any value. The window
// therefore gives its controls interfaces of its own, decided here once for every control:
//
// - an accessible action is the click itself: Press and Toggle on any button call click(),
//   so they reach the same handler, exactly once, as the mouse, the keys and the mnemonic;
// - every action (buttons, lists, menu items and titles) returns to the assistive tool at
//   once and runs when the event loop turns: a handler takes seconds and opens a modal box,
//   which a tool blocked in its call could not read. Each action arriving is one run, in
//   order; one whose turn comes while a modal box blocks the window is refused, as the
//   mouse is then (a second Press on Read while the first one's message is open does
//   nothing);
// - a list is named by its chosen item on AT-SPI and tells it as its text; the caption
//   beside it names it through the labelled-by relation of the label's buddy;
// - a value set through the interface goes where the user's hand puts it (a slider moves
//   as the keys move it, the writable ID box takes the text as typed);
// - a list's Press opens its popup, as a click does; the keys choose in the popup;
// - a disabled control offers no action and takes no value, and a read-only box offers
//   no editing at all;
// - menu items are named by their text alone, without mnemonic or shortcut text.
//
// The program's own placements (transfers, Initialize, a No that restores a radio) never
// click, so they reach no handler.
#pragma once

#include <QString>

class QAccessibleEvent;
class QLineEdit;
class QObject;

namespace window_access {

// Marks a control or menu action of the window, so that it gets the window's accessible
// interface. Installs the interface factory on first use; the QApplication must exist.
void Adopt(QObject* object);
// The same for the status line, whose accessible name is its message (its caption while it
// is empty), as for a status bar.
void AdoptStatusLine(QLineEdit* statusLine);

// A caption without its mnemonic marks and shortcut text, for accessible names: "(&X)"
// suffixes go, a single '&' goes, "&&" stays as '&', line breaks become blanks and
// everything from a tab on is dropped.
QString Plain(QString text);

// Tells assistive tools that the status line's message, and so its name, changed.
void AnnounceStatus(QLineEdit* statusLine);

// Qt hands accessibility events on only while an assistive tool is connected; a test
// listens to the window's own announcements here instead (null: nobody listens).
using EventObserver = void (*)(QAccessibleEvent* event);
void ObserveAnnouncements(EventObserver observer);

}  // namespace window_access
