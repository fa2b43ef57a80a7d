#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Model/ModelFixtures.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Gauges/CarbonBackground.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Gauges/GPUGaugeProbe.hpp"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLWidget>

#include <cmath>

namespace veq {
namespace {

constexpr int side = 400;
const QPointF centre(200, 200);

const GaugeScale percent{0, 100, std::nullopt, std::nullopt, 10};

CircularGauge gauge(std::optional<double> value, GaugeScale scale = percent) {
    return CircularGauge{.value = value, .scale = scale, .title = QStringLiteral("Régime"), .unit = QStringLiteral("tr/min")};
}

// A gauge over the carbon backdrop, as the instrument screens place it, needle at rest.
QImage shot(const CircularGauge& g, QSize size = {side, side}, std::optional<double> numerals = std::nullopt) {
    CarbonBackground host(0.5);
    host.resize(size);
    CircularGaugeView view(g, &host);
    view.setAnimated(false);
    view.setNumerals(numerals);
    view.setGeometry(host.rect());
    return host.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The pixel on the dial's arc just past the start of the sweep.
QColor arcStart(const QImage& image) {
    const double radius = side / 2.0 - side * 0.07 / 2;
    const double a = 140.0 * std::numbers::pi / 180.0;
    return image.pixelColor(static_cast<int>(centre.x() + radius * std::cos(a)),
                            static_cast<int>(centre.y() + radius * std::sin(a)));
}

const QRect titleBox(110, 88, 180, 32);
// The right half of the readout under the hub, away from a needle at the start of the sweep.
const QRect readoutBox(200, 235, 70, 65);
// The unit's line, the last of the readout.
const QRect unitBox(205, 278, 45, 24);

TEST(GPUGaugeProbe, TriesOnlyOnPlatformsThatCanGiveOpenGL) {
    struct Case { const char16_t* platform; bool tries; };
    static const Case cases[] = {
        {u"xcb", true},       {u"wayland", true},   {u"wayland-egl", true}, {u"eglfs", true},
        {u"cocoa", true},     {u"windows", true},   {u"offscreen", false},  {u"minimal", false},
        {u"vnc", false},      {u"linuxfb", false},  {u"vkkhrdisplay", false}, {u"", false},
        {u"xcb-glx", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platformCanGiveOpenGL(QStringView(c.platform)), c.tries) << QString::fromUtf16(c.platform).toStdString();
    }
}

TEST(GPUGaugeProbe, ASoftwareRasteriserIsNoGPUUnlessTheTestsAcceptIt) {
    struct Case { const char16_t* renderer; bool software; };
    static const Case cases[] = {
        {u"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {u"LLVMpipe", true},
        {u"SoftPipe", true},
        {u"Google SwiftShader", true},
        {u"ANGLE (Google, Vulkan 1.3.0 (SwiftShader Device (Subzero)), SwiftShader driver)", true},
        {u"GDI Generic Software Rasterizer", true},
        {u"Apple Software Renderer", true},
        {u"MICROSOFT BASIC RENDER DRIVER", true},
        {u"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {u"AMD Radeon RX 6600 (navi23, LLVM 15.0.7, DRM 3.49, 6.1.0-13-amd64)", false},
        {u"NVIDIA GeForce RTX 3060/PCIe/SSE2", false},
        {u"Apple M2", false},
        {u"", false},
    };
    for (const auto& c : cases) {
        const QStringView renderer(c.renderer);
        const std::string name = renderer.toString().toStdString();
        EXPECT_EQ(isSoftwareRenderer(renderer), c.software) << name;
        EXPECT_EQ(rendererDrawsDials(renderer, false), !c.software) << name;
        EXPECT_TRUE(rendererDrawsDials(renderer, true)) << name;
    }
}

TEST(GPUGaugeProbe, OffscreenAnswersFalseWithoutTouchingOpenGLAndGaugesDrawVectorDials) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    EXPECT_FALSE(gpuGaugeSupported());
    EXPECT_FALSE(VEQDiagnostics::gpuGaugeAvailable());
    EXPECT_EQ(QOpenGLContext::currentContext(), nullptr);
    CircularGaugeView view(gauge(50));
    EXPECT_FALSE(view.drawsOnGPU());
    EXPECT_EQ(view.findChild<QOpenGLWidget*>(), nullptr);
}

TEST(CircularGaugeView, FillsTheLargestCentredSquare) {
    CircularGaugeView view(gauge(50));
    view.resize(300, 200);
    EXPECT_EQ(view.dialSquare(), QRectF(50, 0, 200, 200));
    view.resize(120, 260);
    EXPECT_EQ(view.dialSquare(), QRectF(0, 70, 120, 120));

    const QImage image = shot(gauge(0), {300, 200});
    testing::saveScreen(image, "gauge-300x200");
    // Nothing of the dial left or right of the square; its track touches the square's sides.
    const QColor track = image.pixelColor(55, 100);
    EXPECT_LT(testing::colorDistance(track, VEQ::surface2()), 12);
    for (int y = 0; y < 200; y += 4) {
        EXPECT_LT(testing::colorDistance(image.pixelColor(45, y), VEQ::background()), 20) << y;
        EXPECT_LT(testing::colorDistance(image.pixelColor(254, y), VEQ::background()), 20) << y;
    }
}

TEST(CircularGaugeView, NeedleStartsAt135DegreesAndSweeps270) {
    for (const double fraction : {0.0, 0.1, 0.25, 0.5, 0.6, 0.75, 0.9, 1.0}) {
        auto g = gauge(fraction * 100);
        g.showValue = false; // the readout is as white as the needle
        const QImage image = shot(g);
        const auto angle = testing::needleAngle(image, centre, 0.3 * side / 2, 0.75 * side / 2, testing::isNearWhite);
        ASSERT_TRUE(angle.has_value()) << fraction;
        EXPECT_LT(testing::angleDifference(*angle, testing::dialAngle(fraction)), 1.0)
            << "fraction " << fraction << " measured " << *angle;
    }
}

TEST(CircularGaugeView, PicturesAtZeroHalfAndFullScale) {
    const GaugeScale speed = GaugeScale::defaultFor(0x0D);
    struct Case { double value; const char* name; };
    static const Case cases[] = {{0, "gauge-speed-0"}, {130, "gauge-speed-50"}, {260, "gauge-speed-100"}};
    for (const auto& c : cases) {
        const CircularGauge g{.value = c.value, .scale = speed, .title = QStringLiteral("Vitesse"), .unit = QStringLiteral("km/h")};
        const QImage image = shot(g);
        EXPECT_TRUE(testing::saveScreen(image, c.name));
        EXPECT_GT(testing::countNear(image, titleBox, VEQ::textSecondary(), 8), 10) << c.name;
        // The value in white under the centre.
        EXPECT_GT(testing::countNear(image, QRect(130, 200, 140, 90), VEQ::textPrimary(), 8), 30) << c.name;
    }
}

TEST(CircularGaugeView, ArcAndUnitTakeTheZoneColour) {
    const GaugeScale rpm = GaugeScale::defaultFor(0x0C);
    struct Case {
        const char* name;
        double value;
        bool night;
        const QColor& (*expected)();
    };
    static const Case cases[] = {
        {"gauge-rpm-nominal-day", 3000, false, VEQ::accent},
        {"gauge-rpm-nominal-night", 3000, true, VEQ::warning},
        {"gauge-rpm-warning", 6200, false, VEQ::warning},
        {"gauge-rpm-critical", 6800, false, VEQ::critical},
        {"gauge-rpm-critical-night", 6800, true, VEQ::critical},
    };
    for (const auto& c : cases) {
        const CircularGauge g{.value = c.value, .scale = rpm, .title = QStringLiteral("Régime"), .unit = QStringLiteral("tr/min"), .night = c.night};
        const QImage image = shot(g, {side, side}, 1000.0);
        testing::saveScreen(image, c.name);
        EXPECT_LT(testing::colorDistance(arcStart(image), c.expected()), 3) << c.name;
        EXPECT_GT(testing::countNear(image, QRect(120, 250, 160, 50), c.expected(), 10), 10) << c.name;
    }
}

TEST(CircularGaugeView, AbsentValueReadsADashAndNonPublieInGrey) {
    const QImage absent = shot(gauge(std::nullopt));
    testing::saveScreen(absent, "gauge-absent");
    EXPECT_LT(testing::colorDistance(arcStart(absent), VEQ::surface2()), 3); // no value arc
    const auto angle = testing::needleAngle(absent, centre, 0.3 * side / 2, 0.75 * side / 2, testing::isNearWhite,
                                            QRect(0, 200, 200, 200));
    ASSERT_TRUE(angle.has_value());
    EXPECT_LT(testing::angleDifference(*angle, 135), 1.0);
    EXPECT_EQ(testing::countNear(absent, readoutBox, VEQ::textPrimary(), 40), 0);
    EXPECT_GT(testing::countNear(absent, readoutBox, VEQ::textSecondary(), 8), 10);
    EXPECT_GT(testing::countNear(absent, unitBox, VEQ::textSecondary(), 8), 10); // "non publié"

    const QImage present = shot(gauge(0));
    EXPECT_GT(testing::countNear(present, readoutBox, VEQ::textPrimary(), 8), 10);
    EXPECT_GT(testing::countNear(present, unitBox, VEQ::accent(), 8), 10); // "tr/min"
    EXPECT_EQ(testing::countNear(present, unitBox, VEQ::textSecondary(), 8), 0);
    EXPECT_NE(absent, present);
}

TEST(CircularGaugeView, WithoutTheValueOnlyTheTitleIsWritten) {
    auto g = gauge(0);
    g.showValue = false;
    const QImage image = shot(g);
    testing::saveScreen(image, "gauge-no-value");
    EXPECT_GT(testing::countNear(image, titleBox, VEQ::textSecondary(), 8), 10);
    EXPECT_EQ(testing::countNear(image, readoutBox, VEQ::textPrimary(), 40), 0);
    EXPECT_EQ(testing::countNear(image, readoutBox, VEQ::accent(), 40), 0);
}

TEST(CircularGaugeView, BigValueTextIsLarger) {
    auto small = gauge(88);
    auto big = small;
    big.big = true;
    const auto whiteRows = [](const QImage& image) {
        int rows = 0;
        for (int y = 170; y < 320; ++y) rows += testing::countNear(image, QRect(100, y, 200, 1), VEQ::textPrimary(), 8) > 0;
        return rows;
    };
    EXPECT_GT(whiteRows(shot(big)), whiteRows(shot(small)));
}

TEST(CircularGaugeView, TheVectorDialIgnoresThePeak) {
    auto g = gauge(40);
    const QImage without = shot(g);
    g.peak = 90;
    EXPECT_EQ(shot(g), without);
}

TEST(CircularGaugeView, NeedleSpringsToANewValueWithoutOvershoot) {
    CircularGaugeView view(gauge(0));
    EXPECT_EQ(view.displayedFraction(), 0.0);
    view.setGauge(gauge(100));
    view.advanceFrame();
    const double first = view.displayedFraction();
    EXPECT_GT(first, 0.0);
    EXPECT_LT(first, 0.5);
    double previous = first;
    for (int frame = 2; frame <= 60; ++frame) {
        view.advanceFrame();
        ASSERT_GE(view.displayedFraction(), previous);
        ASSERT_LE(view.displayedFraction(), 1.0);
        previous = view.displayedFraction();
    }
    EXPECT_EQ(view.displayedFraction(), 1.0);

    // Left to its own timer, it gets there too.
    view.setGauge(gauge(30));
    EXPECT_TRUE(testing::waitUntil([&] { return view.displayedFraction() == 0.3; }));

    view.setAnimated(false);
    view.setGauge(gauge(80));
    EXPECT_EQ(view.displayedFraction(), 0.8);
}

TEST(CircularGauge, HandsTheGPUDialItsValues) {
    const GaugeScale rpm = GaugeScale::defaultFor(0x0C);
    const RGBA day{0.0f, 0.8980392f, 1.0f, 1.0f};
    const RGBA night{1.0f, 0.6901961f, 0.1254902f, 1.0f};
    const RGBA slate{0.22745098f, 0.25882354f, 0.29803923f, 1.0f};
    const RGBA warning{1.0f, 0.6901961f, 0.1254902f, 1.0f};
    const RGBA critical{1.0f, 0.23137255f, 0.30588236f, 1.0f};
    struct Case {
        const char* name;
        std::optional<double> value;
        bool night;
        std::optional<double> peak;
        double fraction, glow;
        RGBA color;
        double peakFraction;
    };
    const Case cases[] = {
        {"day",      3500,         false, std::nullopt, 0.5,        0.0, day,      0.0},
        {"night",    3500,         true,  std::nullopt, 0.5,        0.0, night,    0.0},
        {"warning",  6000,         false, 7000.0,       6.0 / 7,    0.6 / 1.1, warning, 1.0},
        {"critical", 6500,         true,  3500.0,       6.5 / 7,    1.0, critical, 0.5},
        {"absent",   std::nullopt, false, 6000.0,       0.0,        0.0, slate,    6.0 / 7},
        {"absent at night", std::nullopt, true, std::nullopt, 0.0,  0.0, slate,    0.0},
    };
    for (const auto& c : cases) {
        const auto values = CircularGauge{c.value, rpm, QStringLiteral("Régime"), QStringLiteral("tr/min"), false,
                                          c.night, true, c.peak}
                                .gpuValues();
        EXPECT_NEAR(values.fraction, c.fraction, 1e-9) << c.name;
        EXPECT_NEAR(values.glow, c.glow, 1e-9) << c.name;
        EXPECT_EQ(values.valueColor, c.color) << c.name;
        EXPECT_NEAR(values.redlineStart, 6.5 / 7, 1e-9) << c.name;
        EXPECT_EQ(values.majorTicks, 7.0) << c.name;
        EXPECT_NEAR(values.peakFraction, c.peakFraction, 1e-9) << c.name;
    }
}

} // namespace
} // namespace veq
