#include "VEQSupport/Resources.hpp"

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

std::optional<std::filesystem::path> bundleDirectory(std::string_view module) {
    const auto dir = executableDirectory() / ("OskavelCar_" + std::string(module) + ".bundle");
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) return dir;
    return std::nullopt;
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
