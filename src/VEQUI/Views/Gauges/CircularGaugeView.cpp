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
#include <cmath>
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
    updateFrame();
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

void CircularGaugeView::setBackdrop(std::optional<QColor> color) {
    backdrop_ = color ? std::optional<QRgb>(color->rgb()) : std::nullopt;
    // The GPU dial draws its own square only: what lies around it still shows.
    setAttribute(Qt::WA_OpaquePaintEvent, backdrop_.has_value() && !gpuDial_);
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
        update(drawnArea().toAlignedRect()); // all that moves lies on the dial
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
    updateFrame();
}

void CircularGaugeView::updateFrame() {
    if (gpuDial_) {
        gpuDial_->update();
        return;
    }
    const QRectF square = dialSquare();
    QRectF area = drawnArea();
    if (onlyTheValueMoved()) {
        const CanvasDial dial{0, QColor(), square.width(), sweep, rotation};
        area = dial.movingArea(painted_->fraction, needle_.position(), square.center());
        if (painted_->rolling || readoutRoll_.rolling() || painted_->gauge.value != gauge_.value) {
            area |= readoutArea(square.center(), square.width());
        }
        area &= drawnArea();
    }
    // One rectangle holding every request since the last paint: a paint clipped to a region of
    // several would lose the raster engine's fast blits.
    pendingFrame_ |= area.toAlignedRect();
    update(pendingFrame_);
}

bool CircularGaugeView::onlyTheValueMoved() const {
    if (!painted_ || painted_->size != size() || overlay_ || rolls_.size() != 1) return false;
    CircularGauge shown = painted_->gauge;
    shown.value = gauge_.value;
    shown.peak = gauge_.peak;
    return shown == gauge_ && painted_->gauge.zoneColor() == gauge_.zoneColor() &&
           readoutInk(painted_->gauge) == readoutInk(gauge_);
}

ReadoutLayout& CircularGaugeView::readoutLayout(double side) const {
    if (!readoutLayout_ || readoutLayout_->side() != side || readoutLayout_->big() != gauge_.big) {
        readoutLayout_.emplace(side, gauge_.big);
    }
    return *readoutLayout_;
}

double CircularGaugeView::readoutWidth(double side) const {
    if (!gauge_.showValue) return 0;
    ReadoutLayout& layout = readoutLayout(side);
    double widest = layout.figureWidth(readoutText(gauge_));
    if (readoutRoll_.rolling()) {
        for (const auto& figure : readoutRoll_.frame()) widest = std::max(widest, layout.figureWidth(figure.text));
    }
    const bool present = gauge_.value.has_value();
    return std::max(widest, layout.unitWidth(present ? gauge_.unit : QStringLiteral("non publié"), present));
}

QRectF CircularGaugeView::readoutArea(const QPointF& centre, double side) const {
    const double width = std::max(painted_ ? painted_->readoutWidth : 0.0, readoutWidth(side));
    return readoutLayout(side).area(centre, width);
}

QRectF CircularGaugeView::dialSquare() const {
    // On whole pixels (centred to within half a pixel), so the cached track lands on pixels too.
    const int side = std::min(width(), height());
    return QRect((width() - side) / 2, (height() - side) / 2, side, side);
}

QRectF CircularGaugeView::drawnArea() const {
    // The arc's glow reaches past the square.
    const double reach = CanvasDial::glowRadius + 1;
    return dialSquare().adjusted(-reach, -reach, reach, reach) & QRectF(rect());
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
    TrackKey key{backdrop_ ? size() : QSize(), backdrop_, square.size(), ratio, gauge_.title, gauge_.scale, numeralDivisor_};
    if (track_.isNull() || !(key == trackKey_)) {
        QPointF origin; // the square's top-left in the picture
        track_ = dial.trackImage(ratio);
        if (backdrop_ && !track_.isNull()) {
            QImage opaque(size() * ratio, QImage::Format_RGB32);
            opaque.setDevicePixelRatio(ratio);
            opaque.fill(QColor::fromRgb(*backdrop_));
            QPainter layer(&opaque);
            layer.drawImage(square.topLeft(), track_);
            origin = square.topLeft();
            track_ = std::move(opaque);
        }
        if (!track_.isNull()) {
            QPainter layer(&track_);
            layer.setRenderHint(QPainter::Antialiasing);
            layer.setRenderHint(QPainter::TextAntialiasing);
            paintFixedTexts(layer, origin + QPointF(square.width() / 2, square.height() / 2), square.width());
        }
        trackKey_ = std::move(key);
    }
    if (backdrop_) {
        // At a fractional pixel ratio the rectangle's edges fall inside device pixels that the
        // picture, a whole number of pixels, may not reach: they take the backdrop too.
        if (ratio != std::floor(ratio)) {
            const QColor edge = QColor::fromRgb(*backdrop_);
            painter.fillRect(QRectF(0, 0, width(), 1), edge);
            painter.fillRect(QRectF(0, height() - 1, width(), 1), edge);
            painter.fillRect(QRectF(0, 0, 1, height()), edge);
            painter.fillRect(QRectF(width() - 1, 0, 1, height()), edge);
        }
        painter.drawImage(QPointF(0, 0), track_);
    }
    const auto layerKey = [&](std::string_view shape) {
        return Glow::Key{shape, square.size(), dial.color.rgba(), CanvasDial::glowOpacity, CanvasDial::glowRadius, ratio};
    };
    const CanvasDial::ArcPieces& arc = arcPieces_.picture(layerKey("arc"), [&] {
        const Glow::Key shape{"arc", square.size(), QColor(Qt::white).rgba(), CanvasDial::glowOpacity,
                              CanvasDial::glowRadius, ratio};
        if (!whiteArc_ || !(whiteArc_->first == shape)) {
            CanvasDial white = dial;
            white.color = Qt::white;
            whiteArc_.emplace(shape, white.arcPieces(ratio));
        }
        return whiteArc_->second.inColour(dial.color);
    });
    const QImage hub = layers_.image(layerKey("hub"), [&] { return dial.hubImage(ratio); });
    const QImage endGlow = layers_.image(layerKey("arc end"), [&] { return dial.endGlowImage(ratio); });
    dial.paint(painter, square.center(), {&track_, &arc, &hub, &endGlow, backdrop_.has_value()});
    paintReadout(painter, square.center(), square.width(), false);
    paintOverlay(painter, square.center(), square.width());
    painted_ = Painted{gauge_, needle_.position(), readoutRoll_.rolling(), readoutWidth(square.width()), size()};
    pendingFrame_ = {};
}

void CircularGaugeView::paintCachedTexts(QPainter& painter) const {
    if (gpuDial_) return; // the GPU dial keeps no image of its texts
    const QRectF square = dialSquare();
    paintFixedTexts(painter, square.center(), square.width());
    paintReadout(painter, square.center(), square.width(), true);
}

void CircularGaugeView::paintTexts(QPainter& painter, const QPointF& centre, double side) const {
    paintFixedTexts(painter, centre, side);
    paintReadout(painter, centre, side, true);
    paintOverlay(painter, centre, side);
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

void CircularGaugeView::paintReadout(QPainter& painter, const QPointF& centre, double side, bool asText) const {
    if (!(side > 0)) return;
    if (gauge_.showValue) {
        painter.save();
        const bool present = gauge_.value.has_value();
        const ReadoutLayout& layout = readoutLayout(side);
        const QFont& valueFont = layout.valueFont();
        const QFont& unitFont = layout.unitFont(present);
        const QString unitText = present ? gauge_.unit : QStringLiteral("non publié");
        const double top = layout.valueTop(centre.y(), present);
        const double unitTop = layout.unitTop(centre.y(), present);
        if (asText) {
            if (readoutRoll_.rolling()) {
                RollingFigure::paint(painter, readoutRoll_.frame(), {valueFont, top, centre.x(), true});
            } else {
                painter.setPen(readoutInk(gauge_));
                drawCentred(painter, valueFont, readoutText(gauge_), centre.x(), top);
            }
            painter.setPen(gauge_.zoneColor());
            drawCentred(painter, unitFont, unitText, centre.x(), unitTop);
        } else {
            if (readoutRoll_.rolling()) {
                const auto blit = [this, &valueFont](QPainter& p, QChar glyph, const QColor& ink, QPointF topLeft) {
                    valueGlyphs_.draw(p, valueFont, ink, glyph, topLeft);
                };
                RollingFigure::paint(painter, readoutRoll_.frame(), {valueFont, top, centre.x(), true}, blit);
            } else {
                valueGlyphs_.drawCentred(painter, valueFont, readoutInk(gauge_), readoutText(gauge_), centre.x(), top);
            }
            unitLines_.drawCentred(painter, unitFont, gauge_.zoneColor(), unitText, centre.x(), unitTop);
        }
        painter.restore();
    }
}

void CircularGaugeView::paintOverlay(QPainter& painter, const QPointF& centre, double side) const {
    if (!overlay_ || !(side > 0)) return;
    painter.save();
    overlay_(painter, centre, side);
    painter.restore();
}

} // namespace veq
