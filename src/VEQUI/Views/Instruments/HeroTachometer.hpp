#pragma once

#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"
#include "VEQUI/Views/Kit/DigitRoll.hpp"
#include "VEQUI/Views/Kit/GlowCache.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"

#include <QColor>
#include <QString>

namespace veq {

// The readout in the tachometer's centre: the shift light, the road speed, its unit and the
// engine speed, as a column centred a little below the dial's centre. Sizes are fractions of
// the dial's side; the cockpit and the focus gauge differ in a few of them.
struct HeroReadout {
    struct Style {
        double spacing;        // between the lines
        double speedSize;
        bool roundFigures;     // speed and engine speed to the nearest whole number; otherwise their whole parts
        double rpmSize;
        double spaceAboveRpm;
        double glowRadius;     // of the lit shift light, pixels
    };
    static const Style cockpit;
    static const Style focus;

    double speed = 0;
    QString speedUnit;
    double rpm = 0;
    bool shiftCue = false;
    QColor accent;
    Style style = cockpit;

    // The speed and engine-speed texts as shown ("87", "2450 tr/min").
    QString speedText() const;
    QString rpmText() const;

    // The large speed figure is drawn from `speedGlyphs`, kept between paints (without them, as
    // plain text); while `speedRoll` rolls, it gives the figure on screen. `glows` keeps the shift
    // light's glow.
    void paint(QPainter& painter, QPointF centre, double side, PaintText::GlyphImages* speedGlyphs = nullptr,
               const DigitRoll* speedRoll = nullptr, Glow::Cache* glows = nullptr) const;
    // Where the shift light is drawn, for the readout centred on `centre` in a dial of `side`.
    QRectF arrowBox(QPointF centre, double side) const;
    bool operator==(const HeroReadout& other) const;
};

// The large central tachometer: engine speed on its dial with numerals in thousands, the
// readout over it (inside the GPU dial's frame when the dial is drawn on the GPU). The speed's
// changed digits roll on the gauge's frames.
class HeroTachometer : public CircularGaugeView {
public:
    HeroTachometer(HeroReadout::Style style, QWidget* parent = nullptr);

    void setReading(const InstrumentReadings::Hero& hero, const QColor& accent);
    const HeroReadout& readout() const { return readout_; }
    // The dial's texts and the readout, the speed kept as an image included.
    void paintCachedTexts(QPainter& painter) const override;
    const Glow::Cache& glowCache() const { return glows_; }

private:
    HeroReadout readout_;
    DigitRoll speedRoll_;
    PaintText::GlyphImages speedGlyphs_;
    Glow::Cache glows_;
};

} // namespace veq
