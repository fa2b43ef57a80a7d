#include "VEQUI/Views/Kit/Labels.hpp"

#include <QLabel>
#include <QPalette>

namespace veq {

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& colour, const QString& objectName,
                  QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    setTextColour(label, colour);
    if (!objectName.isEmpty()) label->setObjectName(objectName);
    return label;
}

WrappedText::WrappedText(const QString& text, const QFont& font, const QColor& colour, int width,
                         const QString& objectName, QWidget* parent)
    : QLabel(text, parent) {
    setFont(font);
    setTextFormat(Qt::PlainText);
    setTextColour(this, colour);
    if (!objectName.isEmpty()) setObjectName(objectName);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFixedWidth(width);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize WrappedText::sizeHint() const { return {width(), heightForWidth(width())}; }

WrappedText* makeWrappingLabel(const QString& text, const QFont& font, const QColor& colour, int width,
                               const QString& objectName, QWidget* parent) {
    return new WrappedText(text, font, colour, width, objectName, parent);
}

QFont tracked(QFont font, double spacing) {
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return font;
}

} // namespace veq
