#include "VEQUI/Views/Kit/PaintedButton.hpp"

#include <QPainter>

#include <cmath>

namespace veq {

namespace {
constexpr double pressedOpacity = 0.6;
} // namespace

PaintedButton::PaintedButton(QSizeF size, Look look, QWidget* parent)
    : QAbstractButton(parent), size_(size), look_(std::move(look)) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PaintedButton::setLook(QSizeF size, Look look) {
    look_ = std::move(look);
    if (size != size_) {
        size_ = size;
        updateGeometry();
    }
    update();
}

QSize PaintedButton::sizeHint() const {
    return {static_cast<int>(std::ceil(size_.width())), static_cast<int>(std::ceil(size_.height()))};
}

void PaintedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (isDown()) painter.setOpacity(pressedOpacity);
    if (look_) look_(painter, QRectF(rect()));
}

} // namespace veq
