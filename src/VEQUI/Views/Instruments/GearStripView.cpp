#include "VEQUI/Views/Instruments/GearStripView.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Glow.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace veq {

namespace {

constexpr double springResponse = 0.22;
constexpr double springDamping = 0.7;
constexpr double separatorInset = 2;
constexpr double bandPaddingHorizontal = 20;
constexpr double bandPaddingVertical = 10;
constexpr double badgeDot = 5;
constexpr double badgeSpacing = 5;

} // namespace

// clang-format off
//                                        box  corner spacing sep  active inactive scale nearGlow farGlow band
const GearStripView::Style GearStripView::cockpit{34,  6,     9,      20,  18,    14,      1.12, 12,      24,     true};
const GearStripView::Style GearStripView::focus  {38,  7,     10,     22,  20,    15,      1.10, 14,      28,     false};
// clang-format on

GearStripView::GearStripView(Style style, QWidget* parent) : QWidget(parent), style_(style) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The glow's reach above and below the row is no content: it may lie over its neighbours.
    setContentsMargins(0, glowMargin(), 0, glowMargin());
    // Its glow margins lie over the neighbours, which keep their clicks.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

bool GearStripView::isActive(int box) const {
    if (!content_.gear) return false;
    if (box == 0) return content_.gear->isReverse();
    return content_.gear->forwardGear() == box;
}

double GearStripView::targetScale(int box) const { return isActive(box) ? style_.activeScale : 1.0; }

bool GearStripView::paintedOver(int box) const { return isActive(box) || boxScale(box) != 1.0; }

double GearStripView::boxScale(int box) const {
    if (box < 0 || box >= static_cast<int>(springs_.size())) return 1.0;
    return springs_[static_cast<std::size_t>(box)].position();
}

void GearStripView::setContent(Content content) {
    if (content == content_) return;
    const bool resized = content.gearCount != content_.gearCount;
    content_ = std::move(content);
    const std::size_t boxes = static_cast<std::size_t>(std::max(0, content_.gearCount)) + 1;
    while (springs_.size() < boxes) {
        springs_.push_back(DampedSpring::withResponse(springResponse, springDamping));
        springs_.back().reset(targetScale(static_cast<int>(springs_.size()) - 1));
    }
    springs_.resize(boxes, DampedSpring::withResponse(springResponse, springDamping));
    if (!animated_) {
        for (std::size_t i = 0; i < springs_.size(); ++i) springs_[i].reset(targetScale(static_cast<int>(i)));
    } else {
        moving_ = true;
        ticker_.wake();
    }
    if (resized) updateGeometry();
    update();
}

void GearStripView::setFrameClock(std::function<void()> wake) { ticker_.setClock(std::move(wake)); }

void GearStripView::setAnimated(bool animated) {
    animated_ = animated;
    if (animated_) return;
    ticker_.stop();
    moving_ = false;
    for (std::size_t i = 0; i < springs_.size(); ++i) springs_[i].reset(targetScale(static_cast<int>(i)));
    update();
}

void GearStripView::advanceFrame() {
    bool settled = true;
    for (std::size_t i = 0; i < springs_.size(); ++i) {
        const double target = targetScale(static_cast<int>(i));
        springs_[i].step(target, FrameTicker::interval);
        if (springs_[i].isSettled(target)) {
            springs_[i].reset(target);
        } else {
            settled = false;
        }
    }
    if (settled) {
        ticker_.stop();
        moving_ = false;
    }
    update();
}

int GearStripView::rowHeight() const {
    const double padding = style_.band ? bandPaddingVertical : 0;
    return static_cast<int>(std::ceil(style_.box * style_.activeScale + 2 * padding));
}


QSize GearStripView::sizeHint() const {
    const int boxes = std::max(0, content_.gearCount) + 1;
    const double width = boxes * style_.box + (boxes + 1) * style_.spacing + 1 + 2 * separatorInset;
    return {static_cast<int>(std::ceil(width + (style_.band ? 2 * bandPaddingHorizontal : 0))),
            rowHeight() + 2 * glowMargin()};
}

QImage GearStripView::glowImage(const QColor& color, qreal pixelRatio) const {
    const QSizeF box(style_.box, style_.box);
    return glows_.image({"gear box", box, color.rgba(), 0.55, style_.farGlow, pixelRatio}, [&] {
        const QImage near = Glow::roundedImage(box, style_.corner, color, 0.95, style_.nearGlow, pixelRatio);
        QImage image = Glow::roundedImage(box, style_.corner, color, 0.55, style_.farGlow, pixelRatio);
        const double offset = style_.farGlow - style_.nearGlow;
        QPainter(&image).drawImage(QPointF(offset, offset), near);
        return image;
    });
}

int GearStripView::glowMargin() const {
    // The glow's reach beyond the box, and the box's growth, both scaled with the lit box; less
    // the room the row leaves above and below the box.
    const double reach = style_.farGlow * style_.activeScale + style_.box * (style_.activeScale - 1) / 2;
    return std::max(0, static_cast<int>(std::ceil(reach - (rowHeight() - style_.box) / 2)));
}

void GearStripView::paintBox(QPainter& painter, const QRectF& frame, const QString& label, bool active,
                             const QColor& color, double scale) const {
    painter.save();
    painter.translate(frame.center());
    painter.scale(scale, scale);
    const QRectF box(-frame.width() / 2, -frame.height() / 2, frame.width(), frame.height());
    QPainterPath shape;
    shape.addRoundedRect(box, style_.corner, style_.corner);
    if (active) {
        const QImage glow = glowImage(color, devicePixelRatioF());
        painter.drawImage(QPointF(box.left() - style_.farGlow, box.top() - style_.farGlow), glow);
        painter.fillPath(shape, color);
    } else {
        painter.fillPath(shape, VEQ::surface2());
        painter.setPen(QPen(VEQ::stroke(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }
    const QFont font =
        active ? VEQ::numeric(style_.activeLabel, QFont::Bold) : VEQ::numeric(style_.inactiveLabel, QFont::Medium);
    PaintText::drawCentred(painter, font, active ? VEQ::background() : VEQ::textSecondary(), label, {0, 0});
    painter.restore();
}

QString GearStripView::label(int box) { return box == 0 ? QStringLiteral("R") : QString::number(box); }

QRectF GearStripView::boxFrame(int box) const {
    const int forward = std::max(0, content_.gearCount);
    const double rowWidth = (forward + 1) * style_.box + (forward + 1) * style_.spacing + 1 + 2 * separatorInset;
    double x = width() / 2.0 - rowWidth / 2;
    if (box > 0) x += style_.box + style_.spacing + separatorInset + 1 + separatorInset + style_.spacing +
                      (box - 1) * (style_.box + style_.spacing);
    return QRectF(x, height() / 2.0 - style_.box / 2, style_.box, style_.box);
}

void GearStripView::paintUnlit(QPainter& painter) {
    const qreal ratio = devicePixelRatioF();
    if (unlit_.isNull() || unlit_.deviceIndependentSize() != QSizeF(size()) || unlit_.devicePixelRatio() != ratio ||
        unlitGears_ != content_.gearCount) {
        unlit_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        unlit_.setDevicePixelRatio(ratio);
        unlit_.fill(Qt::transparent);
        QPainter layer(&unlit_);
        paintUnlitLayer(layer, false);
        unlitGears_ = content_.gearCount;
    }
    painter.drawImage(QPointF(0, 0), unlit_);
}

void GearStripView::paintUnlitLayer(QPainter& layer, bool shownOnly) const {
    layer.setRenderHint(QPainter::Antialiasing);
    layer.setRenderHint(QPainter::TextAntialiasing);
    const QRectF area(contentsRect()); // the row, between the glow's margins
    const double centreY = area.center().y();
    if (style_.band) {
        QColor fill = VEQ::surface1();
        fill.setAlphaF(0.45f);
        layer.fillRect(area, fill);
        QColor line = VEQ::stroke();
        line.setAlphaF(0.6f);
        layer.fillRect(QRectF(area.left(), area.top(), area.width(), 1), line);
        const QFont caption = tracked(VEQ::label(9, QFont::DemiBold), 1.5);
        PaintText::drawLeft(layer, caption, VEQ::textSecondary(), QStringLiteral("RAPPORT"),
                            area.left() + bandPaddingHorizontal, centreY);
    }
    const QRectF reverse = boxFrame(0);
    layer.fillRect(QRectF(reverse.right() + style_.spacing + separatorInset, centreY - style_.separatorHeight / 2, 1,
                          style_.separatorHeight),
                   VEQ::stroke());
    for (int k = 0; k <= std::max(0, content_.gearCount); ++k) {
        const bool hidden = shownOnly && paintedOver(k);
        paintBox(layer, boxFrame(k), hidden ? QString() : label(k), false, {}, 1.0);
    }
}

void GearStripView::paintCachedTexts(QPainter& painter) const { paintUnlitLayer(painter, true); }

void GearStripView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paintUnlit(painter);

    // Over the unlit strip: the lit box, and any box still springing back to its size.
    for (int k = 0; k <= std::max(0, content_.gearCount); ++k) {
        if (!paintedOver(k)) continue;
        paintBox(painter, boxFrame(k), label(k), isActive(k), k == 0 ? VEQ::warning() : content_.accent, boxScale(k));
    }

    if (!style_.band) return;
    const QRectF area(contentsRect());
    const double centreY = area.center().y();
    const double right = area.right() + 1 - bandPaddingHorizontal;
    const QFont badgeFont = tracked(VEQ::label(8, QFont::DemiBold), 0.5);
    const QString badge = InstrumentReadings::sourceBadgeText(content_.source);
    const QColor badgeColor = InstrumentReadings::sourceBadgeColor(content_.source);
    QColor textColor = badgeColor;
    textColor.setAlphaF(0.9f);
    const double textWidth = PaintText::width(badgeFont, badge);
    PaintText::drawRight(painter, badgeFont, textColor, badge, right, centreY);
    painter.setPen(Qt::NoPen);
    painter.setBrush(badgeColor);
    painter.drawEllipse(QPointF(right - textWidth - badgeSpacing - badgeDot / 2, centreY), badgeDot / 2, badgeDot / 2);
}

} // namespace veq
