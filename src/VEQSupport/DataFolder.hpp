#pragma once

#include <filesystem>
#include <string_view>

namespace veq {

// The folder "OskavelCar" that holds every file the system keeps across launches (audit log,
// backups, recorded drives): $XDG_DATA_HOME/OskavelCar, by default ~/.local/share/OskavelCar,
// or the temporary folder's "OskavelCar" when the user has no home. Creates nothing.
std::filesystem::path applicationDataFolder();

// The lock file in the data folder that the one running instance on that folder holds.
inline constexpr std::string_view instanceLockName = "oskavel-car.lock";

} // namespace veq
