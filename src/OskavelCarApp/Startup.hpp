#pragma once

#include <optional>
#include <string>
#include <string_view>

class QCoreApplication;

// What the executable does before its window: the display check, Qt's French texts, silence.
namespace veq::Startup {

// Said, on one line, when there is no display to open the window on.
inline constexpr std::string_view kNoDisplayMessage =
    "Aucun affichage disponible (ni DISPLAY, ni WAYLAND_DISPLAY, ni QT_QPA_PLATFORM) : lancez l'application sur un "
    "écran virtuel avec « xvfb-run -a scripts/run ».";

// The three environment variables that tell where a window can go; empty ones count as unset.
struct DisplayEnvironment {
    std::optional<std::string> display;
    std::optional<std::string> waylandDisplay;
    std::optional<std::string> qpaPlatform;

    static DisplayEnvironment current();
};

// Whether Qt can reach a window system. Where X11 and Wayland are not the window system
// (macOS, Windows) there is always one.
bool displayAvailable(const DisplayEnvironment& environment);

// Loads Qt's own French texts (dialogs, socket errors) into the application; false when the
// translation file is missing.
bool installQtTranslations(QCoreApplication& application);

// Drops every message Qt would print (its warnings go to standard error).
void silenceQtMessages();

} // namespace veq::Startup
