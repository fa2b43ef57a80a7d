#include "VEQUI/Views/Gauges/GaugeShaderSource.hpp"

#include "VEQSupport/FileReading.hpp"
#include "VEQSupport/Resources.hpp"
#include "VEQSupport/Text.hpp"

#include <map>

namespace veq {

namespace {

constexpr std::string_view marker = "//! section ";
// A shader file is a few kilobytes; anything far larger is not ours.
constexpr std::size_t maxShaderBytes = 1 << 20;

std::string_view trimmedLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return line;
}

} // namespace

std::optional<GaugeShaderSource> GaugeShaderSource::parse(std::string_view text) {
    std::map<std::string, std::string, std::less<>> sections;
    std::string* current = nullptr;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        text.remove_prefix(line.size());
        const auto bare = trimmedLine(line.substr(0, line.find('\n')));
        if (bare.starts_with(marker)) {
            current = &sections[std::string(bare.substr(marker.size()))];
            current->clear();
        } else if (current) {
            current->append(line);
        }
    }
    const auto vertex = sections.find(vertexSection);
    const auto fragment = sections.find(fragmentSection);
    if (vertex == sections.end() || fragment == sections.end()) return std::nullopt;
    if (vertex->second.find_first_not_of(" \t\r\n") == std::string::npos) return std::nullopt;
    if (fragment->second.find_first_not_of(" \t\r\n") == std::string::npos) return std::nullopt;
    return GaugeShaderSource{vertex->second, fragment->second};
}

std::optional<GaugeShaderSource> GaugeShaderSource::loadFromBundle() {
    const auto file = resources::bundleResource("VEQUI", "GaugeShaders", "glsl");
    if (!file) return std::nullopt;
    const auto text = readWholeFileIfReadable(*file, maxShaderBytes);
    if (!text || text::decodeUTF8Lossy(*text) != *text) return std::nullopt;
    return parse(*text);
}

} // namespace veq
