#include "VEQUI/Views/Kit/CentredColumn.hpp"

#include "VEQUI/Model/VEQTheme.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace veq {

ScreenWidget::ScreenWidget(QWidget* parent) : QWidget(parent) {}

void ScreenWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::background());
}

QScrollArea* makeVerticalScrollArea(QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    scroll->setWidget(content);
    return scroll;
}

void contentSizeChanged(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w)) QCoreApplication::postEvent(area, new QEvent(QEvent::LayoutRequest));
    }
}

QVBoxLayout* installCentredColumn(QWidget* screen, int spacing) {
    auto* outer = new QVBoxLayout(screen);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = makeVerticalScrollArea(screen);
    outer->addWidget(scroll);

    QWidget* content = scroll->widget();
    auto* centring = new QVBoxLayout(content);
    centring->setContentsMargins(24, 24, 24, 24);
    centring->addStretch(1);
    auto* column = new QVBoxLayout;
    column->setSpacing(spacing);
    column->setAlignment(Qt::AlignHCenter);
    centring->addLayout(column);
    centring->addStretch(1);
    return column;
}

} // namespace veq
