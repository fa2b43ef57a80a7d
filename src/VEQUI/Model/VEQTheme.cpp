#include "VEQUI/Model/VEQTheme.hpp"

namespace veq::VEQ {

namespace {

// Built from the three components as fractions of 255, as the palette is specified.
QColor fromComponents(int red, int green, int blue) {
    return QColor::fromRgbF(static_cast<float>(red / 255.0), static_cast<float>(green / 255.0),
                            static_cast<float>(blue / 255.0), 1.0F);
}

} // namespace

// clang-format off
const QColor& background()    { static const QColor c = fromComponents(  8,  10,  13); return c; }
const QColor& surface1()      { static const QColor c = fromComponents( 18,  22,  27); return c; }
const QColor& surface2()      { static const QColor c = fromComponents( 26,  32,  39); return c; }
const QColor& stroke()        { static const QColor c = fromComponents( 42,  51,  61); return c; }
const QColor& accent()        { static const QColor c = fromComponents(  0, 229, 255); return c; }
const QColor& warning()       { static const QColor c = fromComponents(255, 176,  32); return c; }
const QColor& critical()      { static const QColor c = fromComponents(255,  59,  78); return c; }
const QColor& confirm()       { static const QColor c = fromComponents(  0, 214, 143); return c; }
const QColor& textPrimary()   { static const QColor c = fromComponents(232, 237, 242); return c; }
const QColor& textSecondary() { static const QColor c = fromComponents(138, 150, 163); return c; }
// clang-format on

// Not a colour of its own: the night accent is always the warning colour.
const QColor& nightAccent() { return warning(); }

} // namespace veq::VEQ
