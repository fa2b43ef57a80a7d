#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace veq {

// The gauge's GLSL: one file, "GaugeShaders.glsl" in the interface bundle, holding the vertex and
// the fragment stage as sections that each start with a marker line
//     //! section gauge_vertex
//     //! section gauge_fragment
// and run to the next marker or the end of the file.
struct GaugeShaderSource {
    std::string vertex;
    std::string fragment;

    static constexpr std::string_view vertexSection = "gauge_vertex";
    static constexpr std::string_view fragmentSection = "gauge_fragment";

    // The two sections of a file's text; nothing when either is missing or empty.
    static std::optional<GaugeShaderSource> parse(std::string_view text);
    // Reads and splits the bundle's file; nothing when it is missing, unreadable or incomplete.
    static std::optional<GaugeShaderSource> loadFromBundle();
};

} // namespace veq
