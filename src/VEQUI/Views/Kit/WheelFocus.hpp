#pragma once

class QWidget;

namespace veq {

// A picker (a drop-down list, a slider) inside a scrolled panel takes the mouse wheel only while
// it has the keyboard focus, which a click or Tab gives it, never the wheel itself; otherwise the
// wheel goes on to the panel, which scrolls. Scrolling a panel would else change whatever picker
// passes under the pointer.
namespace WheelFocus {

void onlyWhenFocused(QWidget& picker);

} // namespace WheelFocus

} // namespace veq
