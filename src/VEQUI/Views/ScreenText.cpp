#include "VEQUI/Views/ScreenText.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

namespace veq {

QFont tracked(QFont font, double spacing) {
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return font;
}

void setTextColor(QLabel& label, const QColor& color) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, color);
    label.setPalette(palette);
}

namespace {

void applyLook(QLabel& label, const QFont& font, const QColor& color, const QString& objectName) {
    label.setObjectName(objectName);
    label.setFont(font);
    setTextColor(label, color);
    label.setTextFormat(Qt::PlainText);
    // Inside a button a label would otherwise take the button's text role, not this colour.
    label.setForegroundRole(QPalette::WindowText);
    // The screens' texts are read, never selected: clicks go to the card or button beneath.
    label.setAttribute(Qt::WA_TransparentForMouseEvents);
}

} // namespace

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, const QString& objectName,
                  QWidget* parent) {
    auto* label = new QLabel(text, parent);
    applyLook(*label, font, color, objectName);
    return label;
}

QLabel* makeWrappingLabel(const QString& text, const QFont& font, const QColor& color, const QString& objectName,
                          QWidget* parent) {
    auto* label = makeLabel(text, font, color, objectName, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

ElidedLabel::ElidedLabel(const QString& text, const QFont& font, const QColor& color, const QString& objectName,
                         QWidget* parent)
    : QLabel(text, parent) {
    applyLook(*this, font, color, objectName);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize ElidedLabel::minimumSizeHint() const {
    // As narrow as the ellipsis alone: the line gives way before the layout around it does.
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("\u2026")), metrics.height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QString shown = metrics.elidedText(text(), Qt::ElideRight, contentsRect().width());
    painter.drawText(contentsRect(), static_cast<int>(alignment()), shown);
}

} // namespace veq
