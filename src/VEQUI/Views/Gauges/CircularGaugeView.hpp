#pragma once

#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Views/Gauges/CanvasDial.hpp"
#include "VEQUI/Views/Gauges/DampedSpring.hpp"
#include "VEQUI/Views/Gauges/GPUGaugeView.hpp"
#include "VEQUI/Views/Gauges/ReadoutLayout.hpp"
#include "VEQUI/Views/Kit/CachedTexts.hpp"
#include "VEQUI/Views/Kit/DigitRoll.hpp"
#include "VEQUI/Views/Kit/FrameTicker.hpp"
#include "VEQUI/Views/Kit/GlowCache.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace veq {

// What one circular instrument shows: a 270° dial for one live parameter with its title, its
// value and unit, its colour zones and (on the GPU dial) a peak mark.
struct CircularGauge {
    std::optional<double> value; // absent when the parameter has no reading
    GaugeScale scale;
    QString title;               // shown in capitals
    QString unit;
    bool big = false;            // larger value text
    bool night = false;          // amber instead of cyan
    bool showValue = true;       // value and unit under the centre
    std::optional<double> peak = std::nullopt; // highest value seen; marked on the GPU dial only

    // Needle position, 0 without a value.
    double fraction() const;
    // The vector dial's arc and the unit's colour.
    QColor zoneColor() const;
    // What the GPU dial is handed.
    GPUGaugeView::Values gpuValues() const;

    bool operator==(const CircularGauge&) const = default;
};

// Draws a CircularGauge in the largest square centred in its area: on the GPU when the process's
// probe allows, otherwise with vector shapes whose needle springs to each new value. The changed
// digits of the readout roll to a new value.
class CircularGaugeView : public QWidget, public CachedTexts {
public:
    explicit CircularGaugeView(CircularGauge gauge, QWidget* parent = nullptr);

    const CircularGauge& gauge() const { return gauge_; }
    void setGauge(CircularGauge gauge);

    // Numerals around the dial, divided by `unitDivisor`, or none. They are drawn in the dial's
    // own layer, since nothing can be stacked over a GPU dial.
    void setNumerals(std::optional<double> unitDivisor);
    std::optional<double> numerals() const { return numeralDivisor_; }

    // More drawing over the dial after its own texts, given the dial's centre and side (the
    // tachometer's readout). On the GPU dial it runs inside the dial's frames, as the texts do.
    using Overlay = std::function<void(QPainter&, const QPointF& centre, double side)>;
    void setOverlay(Overlay overlay);
    // What the overlay draws has changed.
    void updateOverlay();

    // A plain colour behind the gauge, on a screen of one colour: the gauge then paints every
    // pixel of its rectangle from one opaque picture, and its frames no longer repaint what
    // lies behind it.
    void setBackdrop(std::optional<QColor> color);

    bool drawsOnGPU() const { return gpuDial_ != nullptr; }
    GPUGaugeView* gpuDial() const { return gpuDial_; }
    // The square the dial occupies, in this widget's coordinates.
    QRectF dialSquare() const;
    // The square with what the dial draws past it: where its frames repaint.
    QRectF drawnArea() const;

    // The vector needle's spring and the rolling digits: on by default; off, the needle jumps to
    // each new value and figures change at once.
    void setAnimated(bool animated);
    // The frames come from the owner's display tick instead of the gauge's own timer: `wake` is
    // called when the needle sets off or digits start to roll, and the owner then calls
    // advanceFrame() on each tick while isMoving(), so that the needle, the digits and the
    // screen's other changes paint together.
    void setFrameClock(std::function<void()> wake);
    bool isMoving() const;
    // Where the vector needle stands now, and one 1/60 s step of its spring and of the rolls.
    double displayedFraction() const { return needle_.position(); }
    void advanceFrame();

    QSize sizeHint() const override { return {240, 240}; }
    // The vector dial's title and numerals, kept on its track's image.
    void paintCachedTexts(QPainter& painter) const override;

protected:
    // Another figure drawn by a subclass that rolls on the gauge's frames (the tachometer's speed).
    void addRoll(DigitRoll& roll);
    // Rolls `roll` to `text` from what is on screen, or shows it at once when animations are off.
    void rollTo(DigitRoll& roll, const QString& text, const QColor& ink);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Title, readout and numerals over the dial of `side` centred on `centre`.
    void paintTexts(QPainter& painter, const QPointF& centre, double side) const;
    // What never changes with the value: the title and the numerals.
    void paintFixedTexts(QPainter& painter, const QPointF& centre, double side) const;
    // The value and its unit, from the images kept for them or as text.
    void paintReadout(QPainter& painter, const QPointF& centre, double side, bool asText) const;
    // The owner's overlay.
    void paintOverlay(QPainter& painter, const QPointF& centre, double side) const;
    void placeGPUDial();
    bool needleMoving() const;
    // Asks for the next frame: on a dial that only moved its value since the last paint, the
    // needle, arc and readout between the two; otherwise the whole dial.
    void updateFrame();
    // Whether the dial differs from the last paint only by its value, so that a frame can repaint
    // part of it.
    bool onlyTheValueMoved() const;
    // The readout's lines, as wide as the widest figure shown now or at the last paint.
    QRectF readoutArea(const QPointF& centre, double side) const;
    // The widest of the figures the readout shows now.
    double readoutWidth(double side) const;
    ReadoutLayout& readoutLayout(double side) const;

    CircularGauge gauge_;
    std::optional<double> numeralDivisor_;
    std::optional<QRgb> backdrop_;
    Overlay overlay_;
    // The vector dial's track with the title and numerals on it, for the size, title, scale and
    // numerals it was made for: texts are shaped once, not on every frame.
    QImage track_;
    struct TrackKey {
        QSize widget;
        std::optional<QRgb> backdrop;
        QSizeF size;
        qreal ratio = 0;
        QString title;
        GaugeScale scale;
        std::optional<double> numerals;
        bool operator==(const TrackKey&) const = default;
    };
    TrackKey trackKey_;
    // The value arc with its glow, the glow of its end and the hub, for each size, zone colour and
    // pixel ratio (a value crossing a limit goes back and forth between colours).
    Glow::Cache layers_{12};
    Glow::PictureCache<CanvasDial::ArcPieces> arcPieces_{12};
    // The arc's pieces in white for the size, from which each colour's are tinted.
    std::optional<std::pair<Glow::Key, CanvasDial::ArcPieces>> whiteArc_;
    GPUGaugeView* gpuDial_ = nullptr;
    DampedSpring needle_;
    FrameTicker ticker_{[this] { advanceFrame(); }};
    bool animated_ = true;
    DigitRoll readoutRoll_;
    // What the last paint showed, and the part of the dial asked to repaint since.
    struct Painted {
        CircularGauge gauge;
        double fraction = 0;
        bool rolling = false;
        double readoutWidth = 0;
        QSize size;
    };
    std::optional<Painted> painted_;
    QRect pendingFrame_;
    // The readout's glyphs and unit, blitted on every frame of a roll.
    mutable PaintText::GlyphImages valueGlyphs_;
    mutable PaintText::LineImages unitLines_{3};
    mutable std::optional<ReadoutLayout> readoutLayout_;
    std::vector<DigitRoll*> rolls_{&readoutRoll_};
};

} // namespace veq
