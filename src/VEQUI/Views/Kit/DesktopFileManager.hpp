#pragma once

#include <filesystem>

// The desktop's file manager (platform file). Both calls return at once.
namespace veq::DesktopFileManager {

// Opens a folder in the file manager.
void openFolder(const std::filesystem::path& folder);

// Shows an item selected in a window of its parent folder, through the freedesktop file-manager
// interface where the desktop offers one; otherwise opens the parent folder.
void selectItem(const std::filesystem::path& item);

} // namespace veq::DesktopFileManager
