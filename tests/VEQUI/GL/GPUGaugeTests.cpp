// The GPU dial on a real OpenGL context, alone and inside the instrument screens.
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Model/ModelFixtures.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Gauges/CanvasDial.hpp"
#include "VEQUI/Views/Gauges/CarbonBackground.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/CockpitView.hpp"
#include "VEQUI/Views/Gauges/GPUGaugeProbe.hpp"
#include "VEQUI/Views/Gauges/GPUGaugeView.hpp"
#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"
#include "VEQUI/Views/Gauges/GaugeNumbers.hpp"
#include "VEQUI/Views/Gauges/GaugeRenderer.hpp"
#include "VEQUI/Views/Instruments/HeroTachometer.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cmath>
#include <numbers>
#include <string>

namespace veq {
namespace {

using namespace veq::testing;


// A current 3.3 core context of the gauge's format, for the renderer on its own.
class GLContext {
public:
    GLContext() {
        context_.setFormat(GPUGaugeView::surfaceFormat());
        surface_.setFormat(GPUGaugeView::surfaceFormat());
        surface_.create();
        current_ = context_.create() && context_.makeCurrent(&surface_);
    }
    ~GLContext() { context_.doneCurrent(); }
    bool current() const { return current_; }

private:
    QOpenGLContext context_;
    QOffscreenSurface surface_;
    bool current_ = false;
};

TEST(GPUGauge, TheProbeAnswersTrueUnderXAndTheBundlesShadersCompileWithTheUniformBlocksLayout) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    EXPECT_TRUE(gpuGaugeSupported());
    EXPECT_TRUE(VEQDiagnostics::gpuGaugeAvailable());
    GLContext gl;
    ASSERT_TRUE(gl.current());
    EXPECT_NE(GaugeRenderer::create(), nullptr);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(GPUGauge, ShadersThatDoNotFitAreRefused) {
    GLContext gl;
    ASSERT_TRUE(gl.current());
    const auto source = GaugeShaderSource::loadFromBundle();
    ASSERT_TRUE(source.has_value());
    struct Case { const char* name; GaugeShaderSource source; };
    const Case cases[] = {
        // Two members swapped: the bytes we upload would land in the wrong fields.
        {"block members reordered",
         {source->vertex, replaced(source->fragment, "    float fraction;\n    float glow;\n",
                                   "    float glow;\n    float fraction;\n")}},
        {"block grown", {source->vertex, replaced(source->fragment, "    vec4 redlineColor;\n",
                                                  "    vec4 redlineColor;\n    vec4 extra;\n")}},
        {"fragment does not compile", {source->vertex, source->fragment + "\nnot glsl\n"}},
        {"vertex does not compile", {source->vertex + "\nnot glsl\n", source->fragment}},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.source.fragment + c.source.vertex, source->fragment + source->vertex) << c.name;
        EXPECT_EQ(GaugeRenderer::create(c.source), nullptr) << c.name;
    }
}

TEST(GPUGauge, EachFrameStepsTheSpringThenDrawsATransparentDial) {
    GLContext gl;
    ASSERT_TRUE(gl.current());
    auto renderer = GaugeRenderer::create();
    ASSERT_NE(renderer, nullptr);
    QOpenGLFramebufferObject target(200, 200);
    ASSERT_TRUE(target.bind());
    // As the view does: a transparent clear, then the dial.
    const auto frame = [&] {
        auto* f = QOpenGLContext::currentContext()->functions();
        f->glClearColor(0, 0, 0, 0);
        f->glClear(GL_COLOR_BUFFER_BIT);
        renderer->draw(target.size());
    };
    renderer->uniforms.fraction = 1.0f;
    frame();
    EXPECT_NEAR(renderer->currentFraction(), 0.49, 1e-9); // one step of the needle's spring per frame
    for (int n = 2; n <= 30; ++n) frame();
    EXPECT_LE(renderer->currentFraction(), 1.0);
    EXPECT_GT(renderer->currentFraction(), 0.999);

    const QImage image = target.toImage();
    testing::saveScreen(image, "gpu-dial-fbo-full-scale");
    EXPECT_EQ(qAlpha(image.pixel(2, 2)), 0); // outside the dial nothing is drawn
    EXPECT_EQ(qAlpha(image.pixel(100, 198)), 0); // the gap at the bottom of the sweep
    const auto angle = testing::needleAngle(image, {100, 100}, 30, 75, testing::isNearWhite);
    ASSERT_TRUE(angle.has_value());
    EXPECT_LT(testing::angleDifference(*angle, 45.0), 2.0) << *angle;
}

// The gauge's window as a screen holds it: carbon behind a GPU dial, captured from the X server.
struct GaugeWindow {
    static constexpr int side = 400;
    static constexpr int margin = 20;
    CarbonBackground window{1.0};
    CircularGaugeView* gauge;

    explicit GaugeWindow(const CircularGauge& g) {
        window.resize(side + 2 * margin, side + 2 * margin);
        gauge = new CircularGaugeView(g, &window);
        gauge->setGeometry(margin, margin, side, side);
    }
    QPointF centre() const { return {margin + side / 2.0, margin + side / 2.0}; }

    // Shows the window and lets the dial draw at least `frames` frames with its needle at rest.
    bool showFor(int frames) {
        window.show();
        if (!gauge->drawsOnGPU()) return false;
        auto* dial = gauge->gpuDial();
        const double target = dial->values().fraction;
        return testing::waitUntil([&] {
            return dial->framesDrawn() >= frames && std::abs(dial->drawnFraction() - target) < 1e-4;
        }, std::chrono::seconds(20));
    }
    QImage capture() const {
        return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    }
};

// The vector dial's needle for the same fraction, measured the same way.
double vectorNeedleAngle(double fraction) {
    QImage image(400, 400, QImage::Format_RGB32);
    image.fill(VEQ::background());
    QPainter painter(&image);
    CanvasDial{fraction, VEQ::accent(), 400}.paint(painter, {200, 200});
    painter.end();
    return testing::needleAngle(image, {200, 200}, 60, 150, testing::isNearWhite).value_or(-1000);
}

bool looksLikeCarbon(QColor c) {
    return c.red() >= 8 && c.red() <= 30 && c.green() >= 10 && c.green() <= 33 && c.blue() >= 12 && c.blue() <= 40 &&
           c.red() <= c.green() && c.green() <= c.blue();
}

TEST(GPUGauge, AScreenCaptureShowsTheNeedleOverCarbonWithTitleAndValue) {
    const GaugeScale rpm = GaugeScale::defaultFor(0x0C);
    const double value = 1750; // a quarter of the sweep: the needle points up-left, clear of the texts
    CircularGauge g{.value = value, .scale = rpm, .title = QStringLiteral("Régime"), .unit = QStringLiteral("tr/min")};
    g.peak = 5250; // three quarters
    GaugeWindow shown(g);
    ASSERT_TRUE(shown.showFor(20));
    const QImage image = shown.capture();
    testing::saveScreen(image, "gpu-gauge-rpm");
    const double side = GaugeWindow::side;
    const QPointF c = shown.centre();

    // The needle, read from the upper half where the texts are not white.
    const auto angle = testing::needleAngle(image, c, 0.3 * side / 2, 0.75 * side / 2, testing::isNearWhite,
                                            QRect(0, 0, image.width(), static_cast<int>(c.y())));
    ASSERT_TRUE(angle.has_value());
    const double fraction = rpm.fraction(value);
    EXPECT_LT(testing::angleDifference(*angle, vectorNeedleAngle(fraction)), 2.0) << *angle;
    EXPECT_LT(testing::angleDifference(*angle, testing::dialAngle(fraction)), 2.0) << *angle;

    // Carbon shows around the dial, inside the dial's square corners too (the dial is see-through).
    const QPoint outside[] = {{3, 3}, {30, 30}, {410, 30}, {30, 410}, {410, 410}, {image.width() - 4, 200}};
    int distinct = 0;
    QRgb previous = 0;
    for (const QPoint& p : outside) {
        const QColor colour = image.pixelColor(p);
        EXPECT_TRUE(looksLikeCarbon(colour)) << p.x() << "," << p.y() << " " << colour.name().toStdString();
        distinct += colour.rgb() != previous;
        previous = colour.rgb();
    }
    EXPECT_GT(distinct, 1); // a weave, not a flat fill

    // Title in grey above the centre, value in white under it, unit in the accent.
    const QRect title(static_cast<int>(c.x() - 90), static_cast<int>(c.y() - side * 0.24 - 16), 180, 32);
    const QRect readout(static_cast<int>(c.x() - 80), static_cast<int>(c.y()), 160, static_cast<int>(side * 0.26));
    EXPECT_GT(testing::countNear(image, title, VEQ::textSecondary(), 10), 10);
    EXPECT_GT(testing::countNear(image, readout, VEQ::textPrimary(), 10), 30);
    EXPECT_GT(testing::countNear(image, readout, VEQ::accent(), 12), 5);

    // Only the GPU dial draws the red band and the peak mark.
    const auto onDial = [&](double at, double radius) {
        const double a = (135.0 + 270.0 * at) * std::numbers::pi / 180.0;
        return image.pixelColor(static_cast<int>(c.x() + radius * std::cos(a)), static_cast<int>(c.y() + radius * std::sin(a)));
    };
    const double band = side / 2 - 0.35 * 0.07 * side / 2;
    EXPECT_LT(testing::colorDistance(onDial(0.97, band), QColor(255, 59, 77)), 25);
    EXPECT_GT(testing::colorDistance(onDial(0.85, band), QColor(255, 59, 77)), 60);
    const double track = side / 2 - 0.07 * side / 2;
    EXPECT_TRUE(testing::isNearWhite(onDial(0.75, track)));
    EXPECT_FALSE(testing::isNearWhite(onDial(0.70, track)));
}

TEST(GPUGauge, NightAndAbsentValuePictures) {
    const GaugeScale coolant = GaugeScale::defaultFor(0x05);
    struct Case { const char* name; std::optional<double> value; bool night; };
    static const Case cases[] = {{"gpu-gauge-coolant-night", 95, true},
                                 {"gpu-gauge-coolant-critical", 125, false},
                                 {"gpu-gauge-absent", std::nullopt, false}};
    for (const auto& c : cases) {
        GaugeWindow shown({.value = c.value, .scale = coolant, .title = QStringLiteral("Liquide"), .unit = QStringLiteral("°C"), .big = true, .night = c.night});
        ASSERT_TRUE(shown.showFor(20)) << c.name;
        const QImage image = shown.capture();
        EXPECT_TRUE(testing::saveScreen(image, c.name));
        const QPointF centre = shown.centre();
        const QRect readout(static_cast<int>(centre.x() - 80), static_cast<int>(centre.y()), 160, 110);
        if (c.value) {
            EXPECT_GT(testing::countNear(image, readout, VEQ::textPrimary(), 10), 30) << c.name;
        } else {
            EXPECT_EQ(testing::countNear(image, QRect(static_cast<int>(centre.x()) + 5, readout.y(), 75, 110),
                                         VEQ::textPrimary(), 30), 0) << c.name;
            EXPECT_GT(testing::countNear(image, readout, VEQ::textSecondary(), 10), 10) << c.name;
        }
    }
}

// Every GPU dial of the screen has drawn a few frames with its needle at rest.
bool dialsSettled(QWidget& screen) {
    return waitUntil([&] {
        for (auto* dial : screen.findChildren<GPUGaugeView*>()) {
            if (dial->framesDrawn() < 10 || std::abs(dial->drawnFraction() - dial->values().fraction) > 1e-4) return false;
        }
        return true;
    }, std::chrono::seconds(20));
}

QImage capture(QWidget& screen) {
    return screen.screen()->grabWindow(screen.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

void feedCar(AppModel& model) {
    model.setSelectedProfile(std::nullopt);
    for (const auto& [pid, value] : {std::pair<std::uint8_t, double>{0x0C, 6200}, {0x0D, 87}, {0x05, 92}, {0x5C, 104}, {0xA4, 4}}) {
        model.store().ingest(measured(pid, value, at(0)));
    }
}

// Nothing may lie over a GPU dial: the tachometer's numerals and readout are drawn in its frames.
TEST(InstrumentScreensOnTheGPU, TheCockpitTachometerDrawsItsReadoutInsideTheDial) {
    ModelRig rig;
    AppModel& model = *rig.model;
    feedCar(model);
    CockpitView cockpit(model);
    cockpit.setAnimated(false);
    cockpit.resize(1000, 740); // within the virtual screen of 1024 x 768
    cockpit.show();
    HeroTachometer& hero = *cockpit.hero();
    ASSERT_TRUE(hero.drawsOnGPU());
    ASSERT_TRUE(cockpit.leftFlank()->drawsOnGPU());
    ASSERT_TRUE(dialsSettled(cockpit));
    const QImage image = capture(cockpit);
    saveScreen(image, QStringLiteral("gpu-cockpit"));

    const QRectF square = hero.dialSquare().translated(hero.mapTo(&cockpit, QPoint(0, 0)));
    const double side = square.width();
    const QPointF c = square.center();
    // The speed in white under the centre, the shift light and the engine-speed line in red.
    const QRect speed(static_cast<int>(c.x() - side * 0.15), static_cast<int>(c.y() - side * 0.1),
                      static_cast<int>(side * 0.3), static_cast<int>(side * 0.2));
    EXPECT_GT(countNear(image, speed, VEQ::textPrimary(), 12), 200);
    const QRect readout(static_cast<int>(c.x() - side * 0.2), static_cast<int>(c.y() - side * 0.25),
                        static_cast<int>(side * 0.4), static_cast<int>(side * 0.55));
    EXPECT_GT(countNear(image, readout, VEQ::critical(), 20), 40);
    // A numeral: "0" at the start of the sweep, lower left.
    const GaugeNumbers numbers{model.scale(0x0C), 1000, side};
    const QPointF zero = c + numbers.numeral(0).offset;
    EXPECT_GT(countNear(image, QRect(static_cast<int>(zero.x() - 12), static_cast<int>(zero.y() - 12), 24, 24),
                        VEQ::textPrimary(), 12), 10);
}

TEST(InstrumentScreensOnTheGPU, TheFocusGaugePicture) {
    ModelRig rig;
    AppModel& model = *rig.model;
    feedCar(model);
    GaugeFocusView focus(model);
    focus.setAnimated(false);
    focus.resize(1000, 700);
    focus.show();
    ASSERT_TRUE(focus.hero()->drawsOnGPU());
    ASSERT_TRUE(dialsSettled(focus));
    const QImage image = capture(focus);
    saveScreen(image, QStringLiteral("gpu-focus"));
    // The hint lies clear of every dial, so it shows.
    const QRect hint = focus.hintRect().toAlignedRect();
    EXPECT_GT(countNear(image, hint, VEQ::textSecondary(), 20), 20);
}

} // namespace
} // namespace veq
