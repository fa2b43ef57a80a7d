#pragma once

#include "VEQProtocol/TransmissionGear.hpp"
#include "VEQUI/Views/Gauges/DampedSpring.hpp"
#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"
#include "VEQUI/Views/Kit/CachedTexts.hpp"
#include "VEQUI/Views/Kit/FrameTicker.hpp"
#include "VEQUI/Views/Kit/GlowCache.hpp"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace veq {

// The gear strip: a box "R", a separator and one box per forward gear; the engaged gear's box
// lit in its colour, glowing and enlarged with a spring. In the cockpit it also carries the
// caption "RAPPORT" and the badge telling where the gear comes from, on a band of its own.
class GearStripView : public QWidget, public CachedTexts {
public:
    struct Style {
        double box;           // side of a box
        double corner;
        double spacing;
        double separatorHeight;
        double activeLabel;   // bold
        double inactiveLabel; // medium
        double activeScale;
        double nearGlow;      // radius of the glow at 95 %
        double farGlow;       // radius of the glow at 55 %
        bool band;            // the cockpit's band, caption and badge
    };
    static const Style cockpit;
    static const Style focus;

    struct Content {
        int gearCount = 0;
        std::optional<TransmissionGear> gear;
        InstrumentReadings::GearSource source = InstrumentReadings::GearSource::none;
        QColor accent;
        bool operator==(const Content&) const = default;
    };

    explicit GearStripView(Style style, QWidget* parent = nullptr);

    void setContent(Content content);
    const Content& content() const { return content_; }

    // Springs on by default; off, the boxes take their size at once.
    void setAnimated(bool animated);
    // The springs' frames come from the owner's display tick (see CircularGaugeView): `wake`
    // is called when a box starts to grow or shrink; the owner then calls advanceFrame() on each
    // tick while isMoving().
    void setFrameClock(std::function<void()> wake);
    bool isMoving() const { return moving_; }
    void advanceFrame();
    // Box 0 is "R", box k the forward gear k.
    bool isActive(int box) const;
    double boxScale(int box) const;

    // The height the strip takes in a layout. The widget is taller by the lit box's glow's reach
    // beyond the row, above and below, and is laid over its neighbours (glows are not cut at the
    // row's edges); sizeHint() includes it.
    int rowHeight() const;
    int glowMargin() const;

    QSize sizeHint() const override;
    void paintCachedTexts(QPainter& painter) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double targetScale(int box) const;
    // Whether a frame paints the box again over the unlit row: lit, or springing back to its size.
    bool paintedOver(int box) const;
    static QString label(int box);
    void paintBox(QPainter& painter, const QRectF& frame, const QString& label, bool active, const QColor& color,
                  double scale) const;
    // The two glows of a lit box in `color`, made once per colour and pixel ratio.
    QImage glowImage(const QColor& color, qreal pixelRatio) const;
    // The strip with every box unlit (band, caption, separator and boxes), kept as an image for
    // the size and the number of gears it was made for: a frame draws it, then only the lit box
    // and badge.
    void paintUnlit(QPainter& painter);
    // `shownOnly`: without the labels of the boxes painted over.
    void paintUnlitLayer(QPainter& layer, bool shownOnly) const;
    QRectF boxFrame(int box) const;

    Style style_;
    Content content_;
    std::vector<DampedSpring> springs_;
    // A cache, filled by the const painting: "R"'s colour and the accent, at a pixel ratio or two.
    mutable Glow::Cache glows_{4};
    QImage unlit_;
    int unlitGears_ = -1;
    FrameTicker ticker_{[this] { advanceFrame(); }};
    bool animated_ = true;
    bool moving_ = false;
};

} // namespace veq
