#include "VEQUI/Views/Kit/PlainButton.hpp"

#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include <QFontMetrics>
#include <QPainter>

namespace veq {

PlainButton::PlainButton(const QString& title, std::string symbol, const QFont& font, QColor colour, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol)), colour_(std::move(colour)),
      iconSize_(std::max(1, font.pixelSize())) {
    setText(title);
    setFont(font);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PlainButton::setColour(const QColor& colour) {
    if (colour == colour_) return;
    colour_ = colour;
    update();
}

void PlainButton::setSymbol(std::string symbol) {
    symbol_ = std::move(symbol);
    updateGeometry();
    update();
}

void PlainButton::setPadding(const QMargins& padding) {
    padding_ = padding;
    updateGeometry();
}

void PlainButton::setIconSize(int size) {
    iconSize_ = size;
    updateGeometry();
}

QSize PlainButton::sizeHint() const {
    const QFontMetrics metrics(font());
    int width = metrics.horizontalAdvance(text());
    int height = metrics.height();
    if (!symbol_.empty()) {
        width += iconSize_ + (text().isEmpty() ? 0 : kIconSpacing);
        height = std::max(height, iconSize_);
    }
    return {width + padding_.left() + padding_.right(), height + padding_.top() + padding_.bottom()};
}

void PlainButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown()) painter.setOpacity(0.6);
    const QRect content = rect().marginsRemoved(padding_);
    int x = content.left();
    if (!symbol_.empty()) {
        const QRectF icon(x, content.center().y() + 1 - iconSize_ / 2.0, iconSize_, iconSize_);
        SymbolIcons::paint(painter, icon, symbol_, colour_);
        x += iconSize_ + kIconSpacing;
    }
    painter.setFont(font());
    painter.setPen(colour_);
    painter.drawText(QRect(x, content.top(), content.right() - x + 1, content.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace veq
