#pragma once

#include "OskavelCarApp/DataFolderLock.hpp"
#include "VEQSupport/DataFolder.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QCoreApplication;

// What the executable does before its window: the display check, the data folder and the drives
// a crash left in it, Qt's French texts, silence.
namespace veq::Startup {

// Said, on one line, when there is no display to open the window on.
inline constexpr std::string_view kNoDisplayMessage =
    "Aucun affichage disponible (ni DISPLAY, ni WAYLAND_DISPLAY, ni QT_QPA_PLATFORM) : lancez l'application sur un "
    "écran virtuel avec « xvfb-run -a scripts/run ».";

// Said when another instance already uses the data folder.
inline constexpr std::string_view kAlreadyOpenMessage =
    "Oskavel Car est déjà ouvert : une seule fenêtre peut utiliser ses données à la fois.";


// Takes the data folder for this process (its lock file is `instanceLockName`), creating the
// folder when missing. Nothing when another running process holds it: two instances on one
// catalogue would each checkpoint and remove the other's journal files. The lock goes with the
// returned object, and with the process when it ends in any way.
std::unique_ptr<DataFolderLock> claimDataFolder(const std::filesystem::path& folder);

// Ends, from their own files, the drives a crash left without an end in the catalogue of
// `sessionsFolder`, before the window opens its own catalogue there. Only where `lock` holds the
// data folder: a lock that holds nothing cannot tell a crashed drive from another instance's
// drive under way. A damaged file or store never keeps the window from opening.
void completeInterruptedDrives(const DataFolderLock& lock, const std::filesystem::path& sessionsFolder);

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
