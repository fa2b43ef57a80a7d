#include "VEQUI/Views/Kit/SymbolCapsule.hpp"

#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace veq {

namespace {

QFont capsuleFont(const SymbolCapsule& capsule) {
    return tracked(VEQ::label(capsule.fontSize, capsule.weight), capsule.tracking);
}

double contentWidth(const SymbolCapsule& capsule) {
    const double text = QFontMetricsF(capsuleFont(capsule)).horizontalAdvance(capsule.text);
    return capsule.symbol.empty() ? text : capsule.symbolSize + capsule.spacing + text;
}

} // namespace

void SymbolCapsule::paint(QPainter& painter, const QRectF& area) const {
    const QSizeF size = sizeHint();
    const QRectF capsule(area.left(), area.center().y() - size.height() / 2, std::min(size.width(), area.width()),
                         size.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = fillColor.isValid() ? fillColor : color;
    fill.setAlphaF(static_cast<float>(fillOpacity * fill.alphaF()));
    QPainterPath path;
    path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.fillPath(path, fill);
    double x = capsule.left() + paddingHorizontal;
    if (!symbol.empty()) {
        SymbolIcons::paint(painter, QRectF(x, capsule.center().y() - symbolSize / 2, symbolSize, symbolSize), symbol,
                           color);
        x += symbolSize + spacing;
    }
    painter.setFont(capsuleFont(*this));
    painter.setPen(color);
    painter.drawText(QRectF(x, capsule.top(), capsule.right() - x, capsule.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text);
    painter.restore();
}

QSizeF SymbolCapsule::sizeHint() const {
    const QFontMetricsF metrics(capsuleFont(*this));
    const double content = std::max(metrics.height(), symbol.empty() ? 0.0 : symbolSize);
    return {std::ceil(contentWidth(*this) + 2 * paddingHorizontal + 1), std::ceil(content + 2 * paddingVertical)};
}

SymbolCapsuleView::SymbolCapsuleView(SymbolCapsule capsule, const QString& objectName, QWidget* parent)
    : ComponentView<SymbolCapsule>(std::move(capsule), parent) {
    if (!objectName.isEmpty()) setObjectName(objectName);
    setFixedSize(sizeHint());
}

void SymbolCapsuleView::set(SymbolCapsule capsule) {
    ComponentView<SymbolCapsule>::set(std::move(capsule));
    setFixedSize(sizeHint());
}

} // namespace veq
