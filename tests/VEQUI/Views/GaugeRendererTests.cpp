// What the GPU dial hands its shaders: the uniform block, the shader file's sections, the needle's spring.
#include "VEQUI/Views/Gauges/DampedSpring.hpp"
#include "VEQUI/Views/Gauges/GaugeRenderer.hpp"
#include "VEQUI/Views/Gauges/GaugeShaderSource.hpp"
#include "VEQUI/Views/Gauges/GaugeUniforms.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace veq {
namespace {

struct Field { const char* name; std::size_t offset; std::size_t expected; std::size_t size; };

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

struct ParseCase {
    const char* name;
    std::string text;
    std::optional<std::string> vertex; // absent: the file is refused
    std::string fragment;
};

TEST(GaugeShaderSource, SplitsTheFileAtItsSectionMarkers) {
    static const ParseCase cases[] = {
        {"both sections",
         "// header\n//! section gauge_vertex\nV1\nV2\n//! section gauge_fragment\nF1\n",
         "V1\nV2\n", "F1\n"},
        {"fragment first, no final newline",
         "//! section gauge_fragment\nF\n//! section gauge_vertex\nV", "V", "F\n"},
        {"Windows line ends and trailing blanks on a marker",
         "//! section gauge_vertex \r\nV\r\n//! section gauge_fragment\r\nF\r\n", "V\r\n", "F\r\n"},
        {"an unknown section is skipped",
         "//! section gauge_vertex\nV\n//! section notes\nN\n//! section gauge_fragment\nF\n", "V\n", "F\n"},
        {"fragment section missing", "//! section gauge_vertex\nV\n", std::nullopt, ""},
        {"vertex section missing", "//! section gauge_fragment\nF\n", std::nullopt, ""},
        {"fragment section empty", "//! section gauge_vertex\nV\n//! section gauge_fragment\n  \n", std::nullopt, ""},
        {"marker misspelt", "//! section gauge_vertex\nV\n//! section gauge_fragments\nF\n", std::nullopt, ""},
        {"no markers", "void main() {}\n", std::nullopt, ""},
        {"empty file", "", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const auto source = GaugeShaderSource::parse(c.text);
        ASSERT_EQ(source.has_value(), c.vertex.has_value()) << c.name;
        if (!source) continue;
        EXPECT_EQ(source->vertex, *c.vertex) << c.name;
        EXPECT_EQ(source->fragment, c.fragment) << c.name;
    }
}

TEST(GaugeShaderSource, TheBundlesFileHoldsBothStagesForOpenGL33Core) {
    const auto source = GaugeShaderSource::loadFromBundle();
    ASSERT_TRUE(source.has_value());
    EXPECT_TRUE(source->vertex.starts_with("#version 330 core\n"));
    EXPECT_TRUE(source->fragment.starts_with("#version 330 core\n"));
    EXPECT_NE(source->fragment.find("uniform GaugeUniforms"), std::string::npos);
}

DampedSpring gpuNeedle() { return DampedSpring(GaugeRenderer::stiffness, GaugeRenderer::damping); }

TEST(GPUNeedleSpring, FirstTwoFramesTowardsOneFromRest) {
    auto spring = gpuNeedle();
    spring.step(1.0, GaugeRenderer::frameInterval);
    EXPECT_NEAR(spring.velocity(), 29.4, 1e-9);
    EXPECT_NEAR(spring.position(), 0.49, 1e-9);
    spring.step(1.0, GaugeRenderer::frameInterval);
    EXPECT_NEAR(spring.position(), 0.5439, 1e-9);
}

TEST(GPUNeedleSpring, CoversNinetyPercentBySixFramesAndNinetyNineByThirteenNeverPassingTheTarget) {
    auto spring = gpuNeedle();
    int firstAt90 = 0, firstAt99 = 0;
    for (int frame = 1; frame <= 600; ++frame) {
        spring.step(1.0, GaugeRenderer::frameInterval);
        ASSERT_LE(spring.position(), 1.0) << "frame " << frame;
        if (firstAt90 == 0 && spring.position() >= 0.9) firstAt90 = frame;
        if (firstAt99 == 0 && spring.position() >= 0.99) firstAt99 = frame;
    }
    EXPECT_EQ(firstAt90, 6);
    EXPECT_EQ(firstAt99, 13);
    EXPECT_TRUE(spring.isSettled(1.0));
}

TEST(GPUNeedleSpring, FallsBackWithoutUndershoot) {
    auto spring = gpuNeedle();
    spring.reset(1.0);
    for (int frame = 1; frame <= 600; ++frame) {
        spring.step(0.0, GaugeRenderer::frameInterval);
        ASSERT_GE(spring.position(), 0.0) << "frame " << frame;
    }
    EXPECT_TRUE(spring.isSettled(0.0));
}

TEST(DampedSpring, ResponseSpringSettlesWithoutOvershoot) {
    auto spring = DampedSpring::withResponse(0.22, 1.0);
    int settledAt = 0;
    for (int frame = 1; frame <= 120 && settledAt == 0; ++frame) {
        spring.step(0.6, 1.0 / 60.0);
        ASSERT_LE(spring.position(), 0.6 + 1e-12) << "frame " << frame;
        if (spring.isSettled(0.6)) settledAt = frame;
    }
    // Critically damped at 2 pi / 0.22 rad/s: settled to a ten-thousandth within 0.7 s.
    EXPECT_GT(settledAt, 10);
    EXPECT_LE(settledAt, 42);
}

TEST(DampedSpring, ResetPutsTheNeedleAtRest) {
    auto spring = gpuNeedle();
    spring.step(1.0, GaugeRenderer::frameInterval);
    spring.reset(0.25);
    EXPECT_EQ(spring.position(), 0.25);
    EXPECT_EQ(spring.velocity(), 0.0);
    EXPECT_TRUE(spring.isSettled(0.25));
    EXPECT_FALSE(spring.isSettled(0.3));
}

} // namespace
} // namespace veq
