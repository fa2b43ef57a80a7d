#include "VEQUI/Views/Kit/ProminentButton.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace veq {

ProminentButton::ProminentButton(const QString& title, std::string symbol, const QFont& font, QColor tint,
                                 QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol)), tint_(std::move(tint)) {
    setText(title);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ProminentButton::setTint(const QColor& tint) {
    if (tint == tint_) return;
    tint_ = tint;
    update();
}

void ProminentButton::setLabelFrame(int width, int vertical) {
    labelWidth_ = width;
    labelVertical_ = vertical;
    updateGeometry();
}

QSize ProminentButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const int iconSize = font().pixelSize();
    int content = metrics.horizontalAdvance(text());
    if (!symbol_.empty()) content += iconSize + kIconSpacing;
    const int width = std::max(content, labelWidth_) + 2 * kInsetX;
    const int height = std::max(metrics.height(), iconSize) + 2 * (kInsetY + labelVertical_);
    return {width, height};
}

void ProminentButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 7, 7);
    QColor fill = tint_;
    if (isDown()) fill = fill.darker(125);
    painter.fillPath(shape, fill);

    const QFontMetrics metrics(font());
    const int iconSize = font().pixelSize();
    const int textWidth = metrics.horizontalAdvance(text());
    const int content = textWidth + (symbol_.empty() ? 0 : iconSize + kIconSpacing);
    int x = (width() - content) / 2;
    const QColor ink = VEQ::background();
    if (!symbol_.empty()) {
        SymbolIcons::paint(painter, QRectF(x, (height() - iconSize) / 2.0, iconSize, iconSize), symbol_, ink);
        x += iconSize + kIconSpacing;
    }
    painter.setFont(font());
    painter.setPen(ink);
    painter.drawText(QRect(x, 0, textWidth + 2, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace veq
