#include "VEQUI/Views/Kit/FlowingText.hpp"

#include "VEQUI/Views/Kit/Labels.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

namespace veq {

QLabel* makeFlowingLabel(const QString& text, const QFont& font, const QColor& colour, const QString& objectName,
                         QWidget* parent) {
    auto* label = makeLabel(text, font, colour, objectName, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

ElidedLabel::ElidedLabel(const QString& text, const QFont& font, const QColor& colour, const QString& objectName,
                         QWidget* parent)
    : QLabel(text, parent) {
    setObjectName(objectName);
    setFont(font);
    setTextFormat(Qt::PlainText);
    setTextColour(this, colour);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize ElidedLabel::minimumSizeHint() const {
    // As narrow as the ellipsis alone: the line gives way before the layout around it does.
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("\u2026")), metrics.height()};
}

QString ElidedLabel::shownText() const {
    return QFontMetrics(font()).elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), static_cast<int>(alignment()), shownText());
}

} // namespace veq
