#include "VEQUI/Views/Diagnostics/ToolSymbols.hpp"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace veq {

namespace {

// Shapes in a unit square; cut-outs are drawn with the clear composition mode.
void drawTrash(QPainter& p) {
    QPen pen(p.brush().color(), 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(0.15, 0.24), QPointF(0.85, 0.24));
    p.drawLine(QPointF(0.38, 0.24), QPointF(0.42, 0.1));
    p.drawLine(QPointF(0.42, 0.1), QPointF(0.58, 0.1));
    p.drawLine(QPointF(0.58, 0.1), QPointF(0.62, 0.24));
    QPainterPath bin;
    bin.moveTo(0.24, 0.3);
    bin.lineTo(0.3, 0.9);
    bin.lineTo(0.7, 0.9);
    bin.lineTo(0.76, 0.3);
    p.drawPath(bin);
    p.drawLine(QPointF(0.43, 0.42), QPointF(0.44, 0.78));
    p.drawLine(QPointF(0.57, 0.42), QPointF(0.56, 0.78));
}

void drawRecord(QPainter& p, bool filled) {
    const QColor colour = p.brush().color();
    if (filled) {
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(0.05, 0.05, 0.9, 0.9));
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(colour, 0.07));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(0.22, 0.22, 0.56, 0.56));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        return;
    }
    p.setPen(QPen(colour, 0.08));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(0.08, 0.08, 0.84, 0.84));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(0.3, 0.3, 0.4, 0.4));
}

void drawShare(QPainter& p) {
    p.setPen(QPen(p.brush().color(), 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath box;
    box.moveTo(0.36, 0.38);
    box.lineTo(0.2, 0.38);
    box.lineTo(0.2, 0.92);
    box.lineTo(0.8, 0.92);
    box.lineTo(0.8, 0.38);
    box.lineTo(0.64, 0.38);
    p.drawPath(box);
    p.drawLine(QPointF(0.5, 0.06), QPointF(0.5, 0.62));
    p.drawLine(QPointF(0.34, 0.22), QPointF(0.5, 0.06));
    p.drawLine(QPointF(0.66, 0.22), QPointF(0.5, 0.06));
}

void drawArrowUpCircle(QPainter& p) {
    const QColor colour = p.brush().color();
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(0.02, 0.02, 0.96, 0.96));
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setPen(QPen(colour, 0.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(0.5, 0.25), QPointF(0.5, 0.76));
    p.drawLine(QPointF(0.3, 0.45), QPointF(0.5, 0.25));
    p.drawLine(QPointF(0.7, 0.45), QPointF(0.5, 0.25));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void drawRadiowaves(QPainter& p) {
    const QColor colour = p.brush().color();
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(0.42, 0.42, 0.16, 0.16));
    p.setPen(QPen(colour, 0.07, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (const double r : {0.2, 0.36}) {
        const QRectF circle(0.5 - r, 0.5 - r, 2 * r, 2 * r);
        p.drawArc(circle, 135 * 16, 90 * 16);  // left
        p.drawArc(circle, -45 * 16, 90 * 16);  // right
    }
}

} // namespace

void paintToolSymbol(QPainter& painter, const QRectF& area, ToolSymbol symbol, const QColor& colour) {
    const double side = std::min(area.width(), area.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(area.center().x() - side / 2, area.center().y() - side / 2);
    painter.scale(side, side);
    painter.setBrush(colour);
    switch (symbol) {
    case ToolSymbol::trash: drawTrash(painter); break;
    case ToolSymbol::recordCircle: drawRecord(painter, false); break;
    case ToolSymbol::recordCircleFill: drawRecord(painter, true); break;
    case ToolSymbol::squareAndArrowUp: drawShare(painter); break;
    case ToolSymbol::arrowUpCircleFill: drawArrowUpCircle(painter); break;
    case ToolSymbol::radiowaves: drawRadiowaves(painter); break;
    }
    painter.restore();
}

ToolButton::ToolButton(const QString& text, std::optional<ToolSymbol> symbol, const QFont& font, const QColor& colour,
                       int symbolSize, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), colour_(colour), symbolSize_(symbolSize) {
    setText(text);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ToolButton::setLook(const QString& text, std::optional<ToolSymbol> symbol, const QColor& colour) {
    if (text == this->text() && symbol == symbol_ && colour == colour_) return;
    symbol_ = symbol;
    colour_ = colour;
    setText(text);
    updateGeometry();
    update();
}

QSize ToolButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const int textWidth = text().isEmpty() ? 0 : metrics.horizontalAdvance(text());
    const int symbolWidth = symbol_ ? symbolSize_ : 0;
    const int gap = symbol_ && textWidth > 0 ? spacing : 0;
    return {symbolWidth + gap + textWidth, std::max(symbol_ ? symbolSize_ : 0, metrics.height())};
}

void ToolButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(0.4);
    double x = 0;
    if (symbol_) {
        paintToolSymbol(painter, QRectF(0, (height() - symbolSize_) / 2.0, symbolSize_, symbolSize_), *symbol_, colour_);
        x = symbolSize_ + spacing;
    }
    if (text().isEmpty()) return;
    painter.setFont(font());
    painter.setPen(colour_);
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace veq
