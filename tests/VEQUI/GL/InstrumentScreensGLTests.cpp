#include "VEQUI/Model/ModelFixtures.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/CircularGaugeView.hpp"
#include "VEQUI/Views/CockpitView.hpp"
#include "VEQUI/Views/GPUGaugeView.hpp"
#include "VEQUI/Views/GaugeFocusView.hpp"
#include "VEQUI/Views/GaugeNumbers.hpp"
#include "VEQUI/Views/HeroTachometer.hpp"

#include <gtest/gtest.h>

#include <QScreen>
#include <QWindow>

namespace veq {
namespace {

using namespace veq::testing;

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
