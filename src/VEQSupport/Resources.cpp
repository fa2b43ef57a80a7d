#include "VEQSupport/Resources.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace veq::resources {

std::filesystem::path executableDirectory() {
    std::error_code ec;
#if defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) == 0) {
        auto p = std::filesystem::weakly_canonical(std::filesystem::path(buffer.data()), ec);
        if (!ec) return p.parent_path();
    }
#else
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return p.parent_path();
#endif
    return std::filesystem::current_path(ec);
}

namespace {

std::string bundleName(std::string_view module) { return "OskavelCar_" + std::string(module) + ".bundle"; }

} // namespace

std::filesystem::path bundleCandidate(std::string_view module) {
    return executableDirectory() / bundleName(module);
}

std::filesystem::path buildTimeBundleCandidate(std::string_view module) {
    return std::filesystem::path(VEQ_BUILD_RUNTIME_DIR) / bundleName(module);
}

std::optional<std::filesystem::path> bundleDirectory(std::string_view module) {
    for (const auto& dir : {bundleCandidate(module), buildTimeBundleCandidate(module)}) {
        std::error_code ec;
        if (std::filesystem::is_directory(dir, ec)) return dir;
    }
    return std::nullopt;
}

std::filesystem::path locateBundle(const std::filesystem::path& besideExecutable,
                                   const std::filesystem::path& buildTimePlace) {
    for (const auto& dir : {besideExecutable, buildTimePlace}) {
        std::error_code ec;
        if (std::filesystem::is_directory(dir, ec)) return dir;
    }
    std::fprintf(stderr, "could not load resource bundle: from %s or %s\n", besideExecutable.c_str(),
                 buildTimePlace.c_str());
    std::fflush(stderr);
    std::abort();
}

std::filesystem::path requireBundleDirectory(std::string_view module) {
    return locateBundle(bundleCandidate(module), buildTimeBundleCandidate(module));
}

std::optional<std::filesystem::path> bundleResource(std::string_view module, std::string_view name,
                                                    std::string_view type) {
    const auto dir = bundleDirectory(module);
    if (!dir) return std::nullopt;
    const auto file = *dir / (std::string(name) + "." + std::string(type));
    std::error_code ec;
    if (std::filesystem::is_regular_file(file, ec)) return file;
    return std::nullopt;
}

} // namespace veq::resources
