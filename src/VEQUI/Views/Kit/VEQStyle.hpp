#pragma once

#include <QColor>
#include <QFont>

#include <cstdint>

namespace veq {

// A colour from a 24-bit value laid out 0xRRGGBB (bits 24-31 are ignored), sRGB, with `alpha` as
// its opacity.
QColor colorFromHex(std::uint32_t hex, double alpha = 1.0);

} // namespace veq

// The two text styles of the interface. Sizes are pixels (the screens' geometry is in pixels);
// fractional sizes round to the nearest pixel so that text never outgrows a fixed frame.
namespace veq::VEQ {

// Interface text: DejaVu Sans at that size and weight.
QFont label(double size, QFont::Weight weight);

// Figures: the same face, whose digits all have one width, so changing values do not jitter.
QFont numeric(double size, QFont::Weight weight);

} // namespace veq::VEQ
