#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

// The resource bundle "OskavelCar_VEQVehicle.bundle" of this module.
namespace veq::vehiclebundle {

inline constexpr std::string_view bundleName = "OskavelCar_VEQVehicle.bundle";

// The bundle's folder, found once for the whole process (safe against concurrent first
// uses): beside the executable, else at the place fixed when the program was built. When
// neither exists the process stops with "could not load resource bundle: from <first> or
// <second>", as a packaged application without its resources cannot go on.
const std::filesystem::path& directory();

// The first of the two folders that exists; otherwise the fatal stop described above.
std::filesystem::path locate(const std::filesystem::path& besideExecutable,
                             const std::filesystem::path& buildTimePlace);

// "<name>.<type>" inside the bundle, when that file exists.
std::optional<std::filesystem::path> resource(std::string_view name, std::string_view type);

} // namespace veq::vehiclebundle
