// The vector dial's frames: the arc's picture cut into pieces that put it back together exactly,
// and frames that repaint only what moved leaving on screen what a whole repaint would draw.
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Support/GaugePixels.hpp"
#include "VEQUI/Views/Gauges/CanvasDial.hpp"
#include "VEQUI/Views/Gauges/CarbonBackground.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QScreen>

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace veq {
namespace {

using testing::colorDistance;

// Pixels of `a` and `b` further apart than `tolerance` in any channel.
int differing(const QImage& a, const QImage& b, int tolerance = 0) {
    if (a.size() != b.size()) return a.width() * a.height() + 1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (colorDistance(a.pixelColor(x, y), b.pixelColor(x, y)) > tolerance) ++count;
        }
    }
    return count;
}

TEST(CanvasDial, TheArcsPiecesPutTogetherAreTheArcsPictureAtEverySizeAndRatio) {
    for (const double side : {120.0, 201.0, 400.0}) {
        for (const qreal ratio : {1.0, 2.0}) {
            const CanvasDial dial{0, VEQ::accent(), side};
            const QImage whole = dial.arcImage(ratio).convertToFormat(QImage::Format_ARGB32_Premultiplied);
            const CanvasDial::ArcPieces pieces = dial.arcPieces(ratio);
            QImage rebuilt(whole.size(), QImage::Format_ARGB32_Premultiplied);
            rebuilt.fill(Qt::transparent);
            {
                QPainter painter(&rebuilt);
                for (const auto& piece : pieces.pieces) {
                    QImage pixels = piece.image;
                    pixels.setDevicePixelRatio(1);
                    painter.drawImage(piece.offset, pixels);
                }
            }
            EXPECT_GE(pieces.pieces.size(), 30u) << "the sweep and the start's cap, 10 degrees a piece";
            // Everywhere but from the end of the sweep on (45 degrees clockwise from the right), where
            // the whole picture's end cap is never shown.
            int lost = 0;
            const QPointF centre(whole.width() / 2.0, whole.height() / 2.0);
            for (int y = 0; y < whole.height(); ++y) {
                for (int x = 0; x < whole.width(); ++x) {
                    const double degrees = std::atan2(y + 0.5 - centre.y(), x + 0.5 - centre.x()) * 180 / std::numbers::pi;
                    if (degrees > 44.9 && degrees < 100) continue;
                    if (whole.pixel(x, y) != rebuilt.pixel(x, y)) ++lost;
                }
            }
            EXPECT_EQ(lost, 0) << "side " << side << " at ratio " << ratio;
        }
    }
}

// At a fractional pixel ratio the arc's picture is placed on a whole device pixel: the piece the
// value ends in must still meet the pieces before it without a seam.
TEST(CanvasDial, TheArcUpToAValueIsWholeBehindItAtFractionalPixelRatios) {
    constexpr double rotation = 135;
    for (const qreal ratio : {1.25, 1.5, 1.75}) {
        for (const double side : {187.0, 201.0}) {
            const CanvasDial dial{0, VEQ::accent(), side};
            const CanvasDial::ArcPieces pieces = dial.arcPieces(ratio);
            const QImage endGlow = dial.endGlowImage(ratio);
            const QPointF centre(130.3, 129.6);
            const auto paint = [&](double fraction) {
                QImage image(static_cast<int>(260 * ratio), static_cast<int>(260 * ratio), QImage::Format_ARGB32_Premultiplied);
                image.setDevicePixelRatio(ratio);
                image.fill(Qt::black);
                QPainter painter(&image);
                CanvasDial at = dial;
                at.fraction = fraction;
                at.paint(painter, centre, {nullptr, &pieces, nullptr, &endGlow});
                return image;
            };
            const QImage full = paint(1.0);
            const double w = side * 0.07;
            const double radius = (side - w) / 2;
            // Values 8.5 and 9 degrees past the start of their piece (pieces start every 10
            // degrees from 30 before the sweep), so that the piece's start edge lies behind the
            // value's round end.
            for (const double degrees : {58.5, 128.5, 199.0}) {
                const double fraction = degrees / 270;
                const QImage part = paint(fraction);
                // The stroke from the start of the sweep to 6 degrees before the value, short of
                // the value's round end and out of the needle's reach.
                int missing = 0;
                for (int y = 0; y < part.height(); ++y) {
                    for (int x = 0; x < part.width(); ++x) {
                        const double dx = (x + 0.5) / ratio - centre.x();
                        const double dy = (y + 0.5) / ratio - centre.y();
                        if (std::abs(std::hypot(dx, dy) - radius) > w / 2 - 1) continue;
                        double along = std::atan2(dy, dx) * 180 / std::numbers::pi - rotation;
                        while (along < 0) along += 360;
                        if (along < 2 || along > degrees - 6) continue;
                        if (colorDistance(part.pixelColor(x, y), full.pixelColor(x, y)) > 2) ++missing;
                    }
                }
                EXPECT_EQ(missing, 0) << "ratio " << ratio << ", side " << side << ", at " << degrees << " degrees";
            }
        }
    }
}

TEST(CanvasDial, TheArcsPiecesInWhiteTintedToAZoneColourAreThePiecesMadeInIt) {
    CanvasDial white{0, Qt::white, 201};
    const CanvasDial::ArcPieces shape = white.arcPieces(1.0);
    for (const QColor& color : {VEQ::accent(), VEQ::warning(), VEQ::critical()}) {
        CanvasDial coloured = white;
        coloured.color = color;
        const CanvasDial::ArcPieces made = coloured.arcPieces(1.0);
        const CanvasDial::ArcPieces tinted = shape.inColour(color);
        ASSERT_EQ(tinted.pieces.size(), made.pieces.size());
        int apart = 0;
        for (std::size_t i = 0; i < made.pieces.size(); ++i) {
            EXPECT_EQ(tinted.pieces[i].offset, made.pieces[i].offset);
            const QImage& a = tinted.pieces[i].image;
            const QImage& b = made.pieces[i].image;
            for (int y = 0; y < a.height(); ++y) {
                for (int x = 0; x < a.width(); ++x) {
                    const QRgb p = a.pixel(x, y);
                    const QRgb q = b.pixel(x, y);
                    if (std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                  std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))}) > 2) {
                        ++apart;
                    }
                }
            }
        }
        EXPECT_EQ(apart, 0) << color.name().toStdString();
    }
}

const GaugeScale scale{0, 100, 70.0, 90.0, 10};

CircularGauge at(std::optional<double> value) {
    return {.value = value, .scale = scale, .title = QStringLiteral("Régime"), .unit = QStringLiteral("km/h")};
}

// What the window shows, read from its backing store: grab() would paint the widget anew.
QImage onScreen(QWidget& window) {
    QApplication::processEvents();
    return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// A gauge on the plain screen colour (the replay, which paints every pixel itself) and one on the
// carbon backdrop (the instruments, which leave the rest to their parent).
struct Stage {
    CarbonBackground host{0.5};
    CircularGaugeView* view;
    explicit Stage(bool backdrop, std::optional<double> value) : view(new CircularGaugeView(at(value), &host)) {
        host.resize(263, 301); // odd: the square and its centre fall between pixels
        view->setGeometry(host.rect());
        if (backdrop) view->setBackdrop(VEQ::background());
        view->setFrameClock([] {});
    }
};

TEST(CircularGaugeView, FramesRepaintingOnlyWhatMovedLeaveWhatAWholeRepaintDraws) {
    // Up and down the sweep, through the warning and critical colours, to nothing and back,
    // settling between some values and not others.
    const std::vector<std::optional<double>> values{12.0, 55.5, 54.0, 80.0, 95.5, 100.0, 3.0, 0.0,
                                                    std::nullopt, 40.0, 41.5, 88.0, 10.0};
    for (const bool backdrop : {true, false}) {
        Stage moving(backdrop, 30.0);
        moving.host.show();
        onScreen(moving.host);
        int step = 0;
        for (const auto& value : values) {
            moving.view->setGauge(at(value));
            const int frames = step++ % 2 == 0 ? 40 : 7;
            for (int i = 0; i < frames; ++i) {
                moving.view->advanceFrame();
                onScreen(moving.host);
            }
            if (frames == 40) {
                Stage whole(backdrop, value);
                whole.view->setAnimated(false);
                const QImage shown = onScreen(moving.host);
                whole.host.show(); // read from the screen as the moving one is, at any pixel ratio
                const QImage drawn = onScreen(whole.host);
                EXPECT_EQ(differing(shown, drawn, 2), 0)
                    << (backdrop ? "on the screen colour" : "on carbon") << ", settled at "
                    << (value ? *value : -1.0);
                if (HasFailure()) {
                    testing::saveScreen(shown, QStringLiteral("dial-frames-shown"));
                    testing::saveScreen(drawn, QStringLiteral("dial-frames-whole"));
                    return;
                }
            }
        }
    }
}

} // namespace
} // namespace veq
