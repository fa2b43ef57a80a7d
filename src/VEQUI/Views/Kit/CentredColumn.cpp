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

namespace {

constexpr int kScreenMargin = 24;

// A scroll area that asks for its content's height: beside stretches it takes what the content
// needs, and scrolls only when the window has less.
class ContentHighScrollArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override {
        const QSize content = widget() ? widget()->sizeHint() : QSize();
        return {QScrollArea::sizeHint().width(), content.height() + 2 * frameWidth()};
    }
    QSize minimumSizeHint() const override { return {QScrollArea::minimumSizeHint().width(), 0}; }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest) updateGeometry(); // the content's height changed
        return QScrollArea::event(event);
    }
};

void setUpVerticalScrollArea(QScrollArea* scroll) {
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    scroll->setWidget(content);
}

} // namespace

QScrollArea* makeVerticalScrollArea(QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    setUpVerticalScrollArea(scroll);
    return scroll;
}

void contentSizeChanged(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w)) QCoreApplication::postEvent(area, new QEvent(QEvent::LayoutRequest));
    }
}

QVBoxLayout* installCentredColumn(QWidget* screen, int spacing, QWidget* footer) {
    auto* outer = new QVBoxLayout(screen);
    outer->setContentsMargins(0, 0, 0, 0);
    QScrollArea* scroll = nullptr;
    if (footer) {
        // Centred as a whole: the scrolling part as high as its content allows, then the footer.
        scroll = new ContentHighScrollArea(screen);
        setUpVerticalScrollArea(scroll);
        outer->setSpacing(spacing);
        outer->setContentsMargins(0, 0, 0, kScreenMargin);
        outer->addStretch(1);
        outer->addWidget(scroll);
        outer->addWidget(footer, 0, Qt::AlignHCenter);
        outer->addStretch(1);
    } else {
        scroll = makeVerticalScrollArea(screen);
        outer->addWidget(scroll);
    }

    QWidget* content = scroll->widget();
    auto* centring = new QVBoxLayout(content);
    centring->setContentsMargins(kScreenMargin, kScreenMargin, kScreenMargin, footer ? 0 : kScreenMargin);
    centring->addStretch(1);
    auto* column = new QVBoxLayout;
    column->setSpacing(spacing);
    column->setAlignment(Qt::AlignHCenter);
    centring->addLayout(column);
    centring->addStretch(1);
    return column;
}

} // namespace veq
