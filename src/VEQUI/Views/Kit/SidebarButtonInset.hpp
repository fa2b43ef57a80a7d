#pragma once

class QWidget;

namespace veq {

class AppModel;

// While the sidebar is hidden, the round button that brings it back lies over the top-leading
// corner of the content area. A screen's header starts its contents past the button, as far
// from it as from the window's edge otherwise.
namespace SidebarButtonInset {

inline constexpr int cornerMargin = 10; // from the content area's top and leading edges
inline constexpr int buttonSide = 29;

// The room the button takes from the leading edge while the sidebar is hidden; 0 when shown.
int of(const AppModel& model);

// Keeps `header`'s leading contents margin at that room, now and whenever the sidebar hides or
// shows. The header's own fill still runs under the button.
void follow(AppModel& model, QWidget& header);

} // namespace SidebarButtonInset

} // namespace veq
