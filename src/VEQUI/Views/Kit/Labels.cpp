#include "VEQUI/Views/Kit/Labels.hpp"

#include <QFontMetricsF>
#include <QLabel>
#include <QPalette>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>

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

void holdWholeGlyphs(QLabel* label) {
    const QFontMetricsF metrics(label->font());
    const QRectF ink = metrics.tightBoundingRect(label->text());
    const auto beyond = [](double overshoot) { return std::max(0, static_cast<int>(std::ceil(overshoot))); };
    label->setContentsMargins(0, beyond(-ink.top() - metrics.ascent()), 0, beyond(ink.bottom() - metrics.descent()));
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

namespace {

bool isNumber(QStringView word) {
    return !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); });
}

// Wrapped at `width`: where the first line that ends with a number (and is not the last) starts
// that number, in pixels from the line's start; nothing when no line does.
std::optional<double> numberEndingALine(const QString& text, const QFont& font, int width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    std::optional<double> found;
    for (QTextLine line = layout.createLine(); line.isValid() && !found; line = layout.createLine()) {
        line.setLineWidth(width);
        const qsizetype start = line.textStart();
        qsizetype end = start + line.textLength();
        if (end >= text.size()) break; // the last line
        while (end > start && text.at(end - 1).isSpace()) --end;
        const qsizetype wordStart = text.lastIndexOf(QLatin1Char(' '), end - 1) + 1;
        if (wordStart > start && isNumber(QStringView(text).mid(wordStart, end - wordStart))) {
            found = line.cursorToX(static_cast<int>(wordStart));
        }
    }
    layout.endLayout();
    return found;
}

} // namespace

int widthKeepingNumbersWithUnits(const QString& text, const QFont& font, int width) {
    // Each narrowing sends one more number down to its unit; the width only shrinks.
    while (const std::optional<double> numberAt = numberEndingALine(text, font, width)) {
        const int narrower = static_cast<int>(std::floor(*numberAt));
        if (narrower >= width || narrower <= 0) break;
        width = narrower;
    }
    return width;
}

QFont tracked(QFont font, double spacing) {
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return font;
}

} // namespace veq
