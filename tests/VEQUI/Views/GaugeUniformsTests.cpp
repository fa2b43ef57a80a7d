#include "VEQUI/Views/GaugeRenderer.hpp"
#include "VEQUI/Views/GaugeUniforms.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace veq {
namespace {

struct Field {
    const char* name;
    std::size_t offset;
    std::size_t expected;
    std::size_t size;
};

TEST(GaugeUniforms, KeepsTheShadersStd140Layout) {
    // The block as the shader declares it, transcribed field by field.
    static const Field fields[] = {
        {"resolution",   offsetof(GaugeUniforms, resolution),    0, sizeof(GaugeUniforms::resolution)},
        {"fraction",     offsetof(GaugeUniforms, fraction),      8, sizeof(float)},
        {"glow",         offsetof(GaugeUniforms, glow),         12, sizeof(float)},
        {"redlineStart", offsetof(GaugeUniforms, redlineStart), 16, sizeof(float)},
        {"majorTicks",   offsetof(GaugeUniforms, majorTicks),   20, sizeof(float)},
        {"peakFraction", offsetof(GaugeUniforms, peakFraction), 24, sizeof(float)},
        {"_pad",         offsetof(GaugeUniforms, _pad),         28, sizeof(float)},
        {"valueColor",   offsetof(GaugeUniforms, valueColor),   32, 16},
        {"trackColor",   offsetof(GaugeUniforms, trackColor),   48, 16},
        {"needleColor",  offsetof(GaugeUniforms, needleColor),  64, 16},
        {"tickColor",    offsetof(GaugeUniforms, tickColor),    80, 16},
        {"redlineColor", offsetof(GaugeUniforms, redlineColor), 96, 16},
    };
    for (const auto& f : fields) EXPECT_EQ(f.offset, f.expected) << f.name;
    EXPECT_EQ(sizeof(GaugeUniforms::resolution), 8u);
    EXPECT_EQ(sizeof(GaugeUniforms::valueColor), 16u);
    EXPECT_EQ(sizeof(GaugeUniforms), 112u);
    EXPECT_EQ(alignof(GaugeUniforms), 16u);
}

TEST(GaugeUniforms, StartsWithTheRenderersInitialValues) {
    const GaugeUniforms u;
    EXPECT_EQ(u.resolution, (std::array<float, 2>{0, 0}));
    EXPECT_EQ(u.fraction, 0.0f);
    EXPECT_EQ(u.glow, 0.0f);
    EXPECT_EQ(u.redlineStart, 1.0f);
    EXPECT_EQ(u.majorTicks, 8.0f);
    EXPECT_EQ(u.peakFraction, 0.0f);
    EXPECT_EQ(u._pad, 0.0f);
    EXPECT_EQ(u.valueColor, (RGBA{0.0f, 0.9f, 1.0f, 1.0f}));
    EXPECT_EQ(u.trackColor, (RGBA{0.10f, 0.13f, 0.15f, 1.0f}));
    EXPECT_EQ(u.needleColor, (RGBA{0.93f, 0.95f, 0.97f, 1.0f}));
    EXPECT_EQ(u.tickColor, (RGBA{0.54f, 0.59f, 0.64f, 1.0f}));
    EXPECT_EQ(u.redlineColor, (RGBA{1.0f, 0.23f, 0.30f, 1.0f}));
}

TEST(GaugeUniforms, AFrameCarriesTheDrawableSizeAndTheDrawnFractionAsLittleEndianBytes) {
    GaugeUniforms values;
    values.fraction = 1.0f; // the target: never what a frame draws
    values.glow = 0.25f;
    const GaugeUniforms frame = GaugeRenderer::frameUniforms(values, QSize(400, 400), 0.5);

    std::array<std::uint8_t, sizeof(GaugeUniforms)> bytes{};
    std::memcpy(bytes.data(), &frame, bytes.size());
    ASSERT_EQ(bytes.size(), 112u);
    const std::array<std::uint8_t, 12> head{0x00, 0x00, 0xC8, 0x43,  // 400.0
                                            0x00, 0x00, 0xC8, 0x43,  // 400.0
                                            0x00, 0x00, 0x00, 0x3F}; // 0.5
    EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
    EXPECT_EQ(frame.glow, 0.25f);
    EXPECT_EQ(frame.trackColor, values.trackColor);
}

} // namespace
} // namespace veq
