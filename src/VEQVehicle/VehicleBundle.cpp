#include "VEQVehicle/VehicleBundle.hpp"

#include "VEQSupport/Resources.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#ifndef VEQ_VEHICLE_BUNDLE_FALLBACK
#error "VEQ_VEHICLE_BUNDLE_FALLBACK must name the build-time place of the resource bundle"
#endif

namespace veq::vehiclebundle {

namespace {

bool isDirectory(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_directory(p, ec);
}

[[noreturn]] void fatal(const std::string& message) {
    std::fputs(message.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::abort();
}

} // namespace

std::filesystem::path locate(const std::filesystem::path& besideExecutable,
                             const std::filesystem::path& buildTimePlace) {
    if (isDirectory(besideExecutable)) return besideExecutable;
    if (isDirectory(buildTimePlace)) return buildTimePlace;
    fatal("could not load resource bundle: from " + besideExecutable.string() + " or " + buildTimePlace.string());
}

const std::filesystem::path& directory() {
    static const std::filesystem::path dir =
        locate(resources::executableDirectory() / std::string(bundleName),
               std::filesystem::path(VEQ_VEHICLE_BUNDLE_FALLBACK));
    return dir;
}

std::optional<std::filesystem::path> resource(std::string_view name, std::string_view type) {
    const auto file = directory() / (std::string(name) + "." + std::string(type));
    std::error_code ec;
    if (std::filesystem::is_regular_file(file, ec)) return file;
    return std::nullopt;
}

} // namespace veq::vehiclebundle
