#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QString>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>

// Reading a rendered gauge back from its pixels, as a person looking at the screen would.
namespace veq::testing {

// Where the PNGs of the screen tests go: build/<flavour>/screens/.
inline QString screenPath(const QString& name) { return QStringLiteral(VEQ_SCREENS_DIR "/") + name + ".png"; }

inline bool saveScreen(const QImage& image, const QString& name) { return image.save(screenPath(name)); }

// Largest per-channel difference between two colours, alpha ignored.
inline int colorDistance(QColor a, QColor b) {
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

// The needle's direction: the centroid of the pixels that pass `isNeedle` in the ring between
// `inner` and `outer` around `centre` (and inside `area` when given), as a screen angle in
// degrees, 0 to the right and clockwise, in [0, 360). Nothing when no pixel matches.
inline std::optional<double> needleAngle(const QImage& image, QPointF centre, double inner, double outer,
                                         const std::function<bool(QColor)>& isNeedle,
                                         std::optional<QRect> area = std::nullopt) {
    double sumX = 0, sumY = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (area && !area->contains(x, y)) continue;
            const double dx = x + 0.5 - centre.x();
            const double dy = y + 0.5 - centre.y();
            const double d = std::hypot(dx, dy);
            if (d < inner || d > outer || !isNeedle(image.pixelColor(x, y))) continue;
            sumX += dx;
            sumY += dy;
            ++count;
        }
    }
    if (count == 0) return std::nullopt;
    double degrees = std::atan2(sumY, sumX) * 180.0 / std::numbers::pi;
    if (degrees < 0) degrees += 360.0;
    return degrees;
}

// The needle is the only near-white shape of a dial.
inline bool isNearWhite(QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; }

// Smallest difference between two angles in degrees.
inline double angleDifference(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

// The dial's angle for a fraction of its 270° sweep starting at 135°.
inline double dialAngle(double fraction) { return std::fmod(135.0 + 270.0 * fraction, 360.0); }

// Pixels in `area` within `tolerance` (per channel) of `color`.
inline int countNear(const QImage& image, QRect area, QColor color, int tolerance) {
    int count = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (colorDistance(image.pixelColor(x, y), color) <= tolerance) ++count;
        }
    }
    return count;
}

} // namespace veq::testing
