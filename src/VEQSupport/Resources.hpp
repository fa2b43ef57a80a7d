#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace veq::resources {

// Folder holding the running executable.
std::filesystem::path executableDirectory();

// Where the bundle folder "OskavelCar_<module>.bundle" is looked for, in order: beside the
// executable, then in the build's output folder fixed when the program was built.
std::filesystem::path bundleCandidate(std::string_view module);
std::filesystem::path buildTimeBundleCandidate(std::string_view module);

// Path of the bundle folder at the first of those places that holds it, when present.
std::optional<std::filesystem::path> bundleDirectory(std::string_view module);

// The bundle folder; without one the installation is broken beyond repair, so the process stops
// with "could not load resource bundle: from <first place> or <second place>".
std::filesystem::path requireBundleDirectory(std::string_view module);

// The first of the two places that is a folder; otherwise the same stop as above.
std::filesystem::path locateBundle(const std::filesystem::path& besideExecutable,
                                   const std::filesystem::path& buildTimePlace);

// Path of "<name>.<type>" inside that bundle, when both exist.
std::optional<std::filesystem::path> bundleResource(std::string_view module, std::string_view name,
                                                    std::string_view type);

} // namespace veq::resources
