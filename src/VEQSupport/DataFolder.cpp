#include "VEQSupport/DataFolder.hpp"

#include <cstdlib>
#include <system_error>

namespace veq {

std::filesystem::path applicationDataFolder() {
    namespace fs = std::filesystem;
    // A relative XDG_DATA_HOME is invalid by the XDG rules and must be ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute()) {
        return fs::path(xdg) / "OskavelCar";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return fs::path(home) / ".local" / "share" / "OskavelCar";
    }
    std::error_code ec;
    const auto temporary = fs::temp_directory_path(ec);
    return (ec ? fs::path("/tmp") : temporary) / "OskavelCar";
}

} // namespace veq
