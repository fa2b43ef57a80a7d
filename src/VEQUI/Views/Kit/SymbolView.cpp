#include "VEQUI/Views/Kit/SymbolView.hpp"

#include "VEQUI/Views/Kit/SymbolIcons.hpp"

#include <QPainter>

namespace veq {

SymbolView::SymbolView(std::string symbol, int size, QColor tint, QWidget* parent)
    : QWidget(parent), symbol_(std::move(symbol)), size_(size), tint_(std::move(tint)) {
    setFixedSize(size_, size_);
}

void SymbolView::setSymbol(std::string symbol) {
    if (symbol == symbol_) return;
    symbol_ = std::move(symbol);
    update();
}

void SymbolView::setTint(const QColor& tint) {
    if (tint == tint_) return;
    tint_ = tint;
    update();
}

void SymbolView::setFrameWidth(int width) { setFixedSize(std::max(width, size_), size_); }

QSize SymbolView::sizeHint() const { return {std::max(width(), size_), size_}; }

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF square(QPointF((width() - size_) / 2.0, (height() - size_) / 2.0), QSizeF(size_, size_));
    SymbolIcons::paint(painter, square, symbol_, tint_);
}

} // namespace veq
