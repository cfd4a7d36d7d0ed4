#pragma once
// Input rules of the member pages' edit boxes. Each installs an event filter owned by the box.
//
// The rules judge what would be inserted, whatever the route: typed keys, an input method's
// committed text, a paste by another shortcut (Shift+Insert), the middle-button selection paste
// and a drop. Refused input is swallowed whole, so the box never changes a character silently.
// Texts set by the program (setText) are not judged.
class QLineEdit;
class QWidget;

namespace quorvel::input {

// Only the characters "0" to "9" and "-" may be inserted, in any position. Control keys
// (Backspace, Enter, arrows, shortcuts) work as usual.
void installNumberInput(QLineEdit* box);

// Swallows Ctrl+V (key V with Ctrl as the only modifier) and the right-button context menu.
void installPasteBlock(QWidget* widget);

// Refuses an insertion that would make the text longer than maxBytes GBK bytes, or that holds
// a character GBK cannot encode. Deleting always works. Also sets the box's validator, which
// judges the context menu's paste; a box so limited takes no other validator.
void limitGbkBytes(QLineEdit* box, int maxBytes);

} // namespace quorvel::input
