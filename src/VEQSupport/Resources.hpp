#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace veq::resources {

// Folder holding the running executable.
std::filesystem::path executableDirectory();

// Path of the bundle folder "OskavelCar_<module>.bundle" beside the executable, when present.
std::optional<std::filesystem::path> bundleDirectory(std::string_view module);

// Path of "<name>.<type>" inside that bundle, when both exist.
std::optional<std::filesystem::path> bundleResource(std::string_view module, std::string_view name,
                                                    std::string_view type);

} // namespace veq::resources
