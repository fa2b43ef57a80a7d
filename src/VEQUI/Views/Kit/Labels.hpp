#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

class QWidget;

namespace veq {

// A text of a screen in one font and colour (a colour with alpha draws the text translucent).
// `objectName` lets tests find it.
QLabel* makeLabel(const QString& text, const QFont& font, const QColor& colour, const QString& objectName = {},
                  QWidget* parent = nullptr);

// A text wrapping inside a fixed width onto as many lines as it needs (never truncated). Its
// height is known to its layout up front, so that a column inside a scroll area never squeezes it.
class WrappedText : public QLabel {
public:
    WrappedText(const QString& text, const QFont& font, const QColor& colour, int width,
                const QString& objectName = {}, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
};

WrappedText* makeWrappingLabel(const QString& text, const QFont& font, const QColor& colour, int width,
                               const QString& objectName = {}, QWidget* parent = nullptr);

// The widest width up to `width` at which `text`, wrapped at its spaces in `font` as a label
// wraps it, ends no line but the last with a number: a number stays on the line of its unit.
int widthKeepingNumbersWithUnits(const QString& text, const QFont& font, int width);

// Pads a label above and below by as much as its glyphs reach past the font's ascent and descent
// (an accent on a capital at a small bold size does), so that its box holds them whole; a wrapped
// label's inner lines have the leading between them.
void holdWholeGlyphs(QLabel* label);

// Sets the colour a label, a check box or any plain widget draws its text in.
void setTextColour(QWidget* widget, const QColor& colour);

// The font with `spacing` pixels added between letters.
QFont tracked(QFont font, double spacing);

} // namespace veq
