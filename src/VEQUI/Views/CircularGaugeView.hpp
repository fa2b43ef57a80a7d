#pragma once

#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Views/DampedSpring.hpp"
#include "VEQUI/Views/GPUGaugeView.hpp"

#include <QColor>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <optional>

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
// probe allows, otherwise with vector shapes whose needle springs to each new value.
class CircularGaugeView : public QWidget {
public:
    explicit CircularGaugeView(CircularGauge gauge, QWidget* parent = nullptr);

    const CircularGauge& gauge() const { return gauge_; }
    void setGauge(CircularGauge gauge);

    // Numerals around the dial, divided by `unitDivisor`, or none. They are drawn in the dial's
    // own layer, since nothing can be stacked over a GPU dial.
    void setNumerals(std::optional<double> unitDivisor);

    bool drawsOnGPU() const { return gpuDial_ != nullptr; }
    GPUGaugeView* gpuDial() const { return gpuDial_; }
    // The square the dial occupies, in this widget's coordinates.
    QRectF dialSquare() const;

    // The vector needle's spring: on by default; off, the needle jumps to each new value.
    void setAnimated(bool animated);
    // Where the vector needle stands now, and one 1/60 s step of its spring.
    double displayedFraction() const { return needle_.position(); }
    void advanceFrame();

    QSize sizeHint() const override { return {240, 240}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Title, readout and numerals over the dial of `side` centred on `centre`.
    void paintTexts(QPainter& painter, const QPointF& centre, double side) const;
    void placeGPUDial();

    CircularGauge gauge_;
    std::optional<double> numeralDivisor_;
    QImage track_; // the vector dial's track at the current size
    GPUGaugeView* gpuDial_ = nullptr;
    DampedSpring needle_;
    QTimer frameTimer_;
    bool animated_ = true;
};

} // namespace veq
