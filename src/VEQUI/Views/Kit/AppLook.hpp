#pragma once

class QPalette;

namespace veq {

// The dark palette of every screen, for Qt's own controls (fields, pickers, sliders, dialogs).
QPalette darkPalette();

// What every window of the application looks like, whatever the desktop's theme: Fusion with the
// dark palette, DejaVu Sans, and the Adwaita icons found through XDG_DATA_DIRS. Called once, right
// after the application object is made (the application and the screen tests alike).
void applyApplicationLook();

} // namespace veq
