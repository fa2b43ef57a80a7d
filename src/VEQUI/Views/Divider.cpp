#include "VEQUI/Views/Divider.hpp"

#include "VEQUI/Model/VEQTheme.hpp"

#include <QPainter>

namespace veq {

Divider::Divider(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::stroke());
}

} // namespace veq
