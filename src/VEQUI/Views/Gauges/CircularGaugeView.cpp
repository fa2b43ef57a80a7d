#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/CanvasDial.hpp"
#include "VEQUI/Views/Gauges/GPUGaugeProbe.hpp"
#include "VEQUI/Views/Gauges/GaugeNumbers.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Kit/RollingFigure.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <string_view>

namespace veq {

namespace {

constexpr GaugeScale::RGBA dayNominal{0.0f, 0.8980392f, 1.0f, 1.0f};        // #00E5FF
constexpr GaugeScale::RGBA nightNominal{1.0f, 0.6901961f, 0.1254902f, 1.0f}; // #FFB020
constexpr GaugeScale::RGBA absentColor{0.22745098f, 0.25882354f, 0.29803923f, 1.0f}; // #3A424C
constexpr double sweep = 0.75;
constexpr double rotation = 135;
// The vector needle's spring: settles in about 0.22 s without overshoot.
constexpr double needleResponse = 0.22;
constexpr double needleDamping = 1.0;

void drawCentred(QPainter& painter, const QFont& font, const QString& text, double centreX, double top) {
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.drawText(QPointF(centreX - metrics.horizontalAdvance(text) / 2, top + metrics.ascent()), text);
}

// The readout's value text and its colour.
QString readoutText(const CircularGauge& gauge) {
    return gauge.value ? GaugeReadout::formatted(*gauge.value) : QStringLiteral("—");
}

QColor readoutInk(const CircularGauge& gauge) { return gauge.value ? VEQ::textPrimary() : VEQ::textSecondary(); }

} // namespace

double CircularGauge::fraction() const { return value ? scale.fraction(*value) : 0.0; }

QColor CircularGauge::zoneColor() const { return GaugeReadout::zoneColor(value, scale, night); }

GPUGaugeView::Values CircularGauge::gpuValues() const {
    GPUGaugeView::Values values;
    values.fraction = fraction();
    values.glow = value ? scale.glow(*value) : 0.0;
    values.valueColor = value ? scale.rgbaColor(*value, night ? nightNominal : dayNominal) : absentColor;
    values.redlineStart = scale.redlineFraction();
    values.majorTicks = static_cast<double>(scale.majorTicks);
    values.peakFraction = peak ? scale.fraction(*peak) : 0.0;
    return values;
}

CircularGaugeView::CircularGaugeView(CircularGauge gauge, QWidget* parent)
    : QWidget(parent), gauge_(std::move(gauge)), needle_(DampedSpring::withResponse(needleResponse, needleDamping)),
      readoutRoll_(readoutText(gauge_), readoutInk(gauge_)) {
    needle_.reset(gauge_.fraction());
    if (gpuGaugeSupported()) {
        gpuDial_ = new GPUGaugeView(this);
        gpuDial_->setObjectName(QStringLiteral("gpuDial"));
        gpuDial_->setValues(gauge_.gpuValues());
        gpuDial_->setOverlay([this](QPainter& painter, const QRectF& square) {
            paintTexts(painter, square.center(), std::min(square.width(), square.height()));
        });
        placeGPUDial();
    }
}

void CircularGaugeView::setGauge(CircularGauge gauge) {
    if (gauge == gauge_) return;
    // Another parameter (a new layout) shows its value at once; the same one rolls to it.
    const bool sameParameter = gauge.title == gauge_.title && gauge.showValue;
    gauge_ = std::move(gauge);
    if (sameParameter) {
        rollTo(readoutRoll_, readoutText(gauge_), readoutInk(gauge_));
    } else {
        readoutRoll_.show(readoutText(gauge_), readoutInk(gauge_));
    }
    if (gpuDial_) {
        gpuDial_->setValues(gauge_.gpuValues());
        return;
    }
    if (!animated_) {
        needle_.reset(gauge_.fraction());
    } else if (!needle_.isSettled(gauge_.fraction())) {
        ticker_.wake();
    }
    update();
}

void CircularGaugeView::addRoll(DigitRoll& roll) { rolls_.push_back(&roll); }

void CircularGaugeView::rollTo(DigitRoll& roll, const QString& text, const QColor& ink) {
    if (!animated_) {
        roll.show(text, ink);
        return;
    }
    roll.rollTo(text, ink);
    if (roll.rolling()) ticker_.wake();
}

void CircularGaugeView::setFrameClock(std::function<void()> wake) { ticker_.setClock(std::move(wake)); }

bool CircularGaugeView::needleMoving() const {
    return !gpuDial_ && animated_ && !needle_.isSettled(gauge_.fraction());
}

bool CircularGaugeView::isMoving() const {
    return needleMoving() ||
           std::any_of(rolls_.begin(), rolls_.end(), [](const DigitRoll* roll) { return roll->rolling(); });
}

void CircularGaugeView::setNumerals(std::optional<double> unitDivisor) {
    numeralDivisor_ = unitDivisor;
    update();
}

void CircularGaugeView::setOverlay(Overlay overlay) {
    overlay_ = std::move(overlay);
    updateOverlay();
}

void CircularGaugeView::updateOverlay() {
    if (gpuDial_) {
        gpuDial_->update();
    } else {
        update();
    }
}

void CircularGaugeView::setAnimated(bool animated) {
    animated_ = animated;
    if (!animated_) {
        ticker_.stop();
        needle_.reset(gauge_.fraction());
        for (DigitRoll* roll : rolls_) roll->finish();
        updateOverlay();
    }
}

void CircularGaugeView::advanceFrame() {
    for (DigitRoll* roll : rolls_) roll->advance(FrameTicker::interval);
    if (!gpuDial_) { // the GPU dial springs in its own frames
        const double target = gauge_.fraction();
        needle_.step(target, FrameTicker::interval);
        if (needle_.isSettled(target)) needle_.reset(target);
    }
    if (!isMoving()) ticker_.stop();
    updateOverlay();
}

QRectF CircularGaugeView::dialSquare() const {
    // On whole pixels (centred to within half a pixel), so the cached track lands on pixels too.
    const int side = std::min(width(), height());
    return QRect((width() - side) / 2, (height() - side) / 2, side, side);
}

void CircularGaugeView::placeGPUDial() {
    if (gpuDial_) gpuDial_->setGeometry(dialSquare().toRect());
}

void CircularGaugeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeGPUDial();
}

void CircularGaugeView::paintEvent(QPaintEvent*) {
    if (gpuDial_) return; // the GPU dial paints the dial and its texts
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF square = dialSquare();
    const CanvasDial dial{needle_.position(), gauge_.zoneColor(), square.width(), sweep, rotation};
    const qreal ratio = devicePixelRatioF();
    TrackKey key{square.size(), ratio, gauge_.title, gauge_.scale, numeralDivisor_};
    if (track_.isNull() || !(key == trackKey_)) {
        track_ = dial.trackImage(ratio);
        if (!track_.isNull()) {
            QPainter layer(&track_);
            layer.setRenderHint(QPainter::Antialiasing);
            layer.setRenderHint(QPainter::TextAntialiasing);
            paintFixedTexts(layer, QPointF(square.width() / 2, square.height() / 2), square.width());
        }
        trackKey_ = std::move(key);
    }
    const auto layerKey = [&](std::string_view shape) {
        return Glow::Key{shape, square.size(), dial.color.rgba(), CanvasDial::glowOpacity, CanvasDial::glowRadius, ratio};
    };
    const QImage arc = layers_.image(layerKey("arc"), [&] { return dial.arcImage(ratio); });
    const QImage hub = layers_.image(layerKey("hub"), [&] { return dial.hubImage(ratio); });
    const QImage endGlow = layers_.image(layerKey("arc end"), [&] { return dial.endGlowImage(ratio); });
    dial.paint(painter, square.center(), {&track_, &arc, &hub, &endGlow});
    paintReadout(painter, square.center(), square.width());
}

void CircularGaugeView::paintCachedTexts(QPainter& painter) const {
    if (gpuDial_) return; // the GPU dial keeps no image of its texts
    const QRectF square = dialSquare();
    paintFixedTexts(painter, square.center(), square.width());
}

void CircularGaugeView::paintTexts(QPainter& painter, const QPointF& centre, double side) const {
    paintFixedTexts(painter, centre, side);
    paintReadout(painter, centre, side);
}

void CircularGaugeView::paintFixedTexts(QPainter& painter, const QPointF& centre, double side) const {
    if (!(side > 0)) return;
    painter.save();
    QFont titleFont = VEQ::label(side * 0.058, QFont::DemiBold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    const QFontMetricsF titleMetrics(titleFont);
    painter.setPen(VEQ::textSecondary());
    drawCentred(painter, titleFont, gauge_.title.toUpper(), centre.x(),
                centre.y() - side * 0.24 - titleMetrics.height() / 2);
    if (numeralDivisor_) GaugeNumbers{gauge_.scale, *numeralDivisor_, side}.paint(painter, centre);
    painter.restore();
}

void CircularGaugeView::paintReadout(QPainter& painter, const QPointF& centre, double side) const {
    if (!(side > 0)) return;
    if (gauge_.showValue) {
        painter.save();
        const bool present = gauge_.value.has_value();
        const QFont valueFont = VEQ::numeric(side * (gauge_.big ? 0.2 : 0.17), QFont::Bold);
        const QFont unitFont = VEQ::label(side * (present ? 0.05 : 0.042), QFont::Medium);
        const QString unitText = present ? gauge_.unit : QStringLiteral("non publié");
        const double valueHeight = QFontMetricsF(valueFont).height();
        const double spacing = side * 0.01;
        const double stackHeight = valueHeight + spacing + QFontMetricsF(unitFont).height();
        const double top = centre.y() + side * 0.12 - stackHeight / 2;
        if (readoutRoll_.rolling()) {
            RollingFigure::paint(painter, readoutRoll_.frame(), {valueFont, top, centre.x(), true});
        } else {
            painter.setPen(readoutInk(gauge_));
            drawCentred(painter, valueFont, readoutText(gauge_), centre.x(), top);
        }
        painter.setPen(gauge_.zoneColor());
        drawCentred(painter, unitFont, unitText, centre.x(), top + valueHeight + spacing);
        painter.restore();
    }
    if (overlay_) {
        painter.save();
        overlay_(painter, centre, side);
        painter.restore();
    }
}

} // namespace veq
