#pragma once

#include <array>
#include <cstddef>

namespace veq {

using RGBA = std::array<float, 4>;

// The fragment stage's uniform block, laid out as the shader's std140 block "GaugeUniforms":
// 112 bytes, colours on 16-byte boundaries. Uploaded as raw bytes, so the layout is the contract.
struct alignas(16) GaugeUniforms {
    std::array<float, 2> resolution{0.0f, 0.0f}; // drawable width and height, pixels
    float fraction = 0.0f;                       // drawn needle position, 0...1
    float glow = 0.0f;                           // glow intensity, 0...1
    float redlineStart = 1.0f;                   // start of the red band; 1 = no band
    float majorTicks = 8.0f;                     // numbered divisions
    float peakFraction = 0.0f;                   // peak mark; 0 = none
    float _pad = 0.0f;                           // keeps the colours 16-byte aligned
    RGBA valueColor{0.0f, 0.9f, 1.0f, 1.0f};
    RGBA trackColor{0.10f, 0.13f, 0.15f, 1.0f};
    RGBA needleColor{0.93f, 0.95f, 0.97f, 1.0f};
    RGBA tickColor{0.54f, 0.59f, 0.64f, 1.0f};
    RGBA redlineColor{1.0f, 0.23f, 0.30f, 1.0f};
};

static_assert(sizeof(GaugeUniforms) == 112, "the shader's block is 112 bytes");
static_assert(offsetof(GaugeUniforms, valueColor) == 32, "colours start at byte 32");

} // namespace veq
