#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <algorithm>
#include <cmath>

namespace veq {

QColor colorFromHex(std::uint32_t hex, double alpha) {
    const auto component = [hex](int shift) { return static_cast<float>(((hex >> shift) & 0xFFu) / 255.0); };
    const double opacity = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
    return QColor::fromRgbF(component(16), component(8), component(0), static_cast<float>(opacity));
}

} // namespace veq

namespace veq::VEQ {

QFont label(double size, QFont::Weight weight) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    const double pixels = std::isfinite(size) ? std::clamp(size, 1.0, 4096.0) : 1.0;
    font.setPixelSize(static_cast<int>(std::lround(pixels)));
    font.setWeight(weight);
    return font;
}

QFont numeric(double size, QFont::Weight weight) {
    // DejaVu Sans draws every digit at one advance; Qt 6.4 offers no switch for tabular figures.
    return label(size, weight);
}

} // namespace veq::VEQ
