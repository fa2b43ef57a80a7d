#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

class QWidget;

// Texts of the screens: labels in a palette font and colour, found by tests through their names.
namespace veq {

// The font with `spacing` pixels added after every character (the interface's tracked capitals).
QFont tracked(QFont font, double spacing);

// Sets the colour a label draws its text in (opacity included).
void setTextColor(QLabel& label, const QColor& color);

// A label that lays out on one line and wraps nowhere.
QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, const QString& objectName,
                  QWidget* parent = nullptr);

// A label that wraps onto as many lines as its width needs and is never cut.
QLabel* makeWrappingLabel(const QString& text, const QFont& font, const QColor& color, const QString& objectName,
                          QWidget* parent = nullptr);

// One line of text that ends in "…" when its width is too short; text() keeps the whole text.
class ElidedLabel : public QLabel {
public:
    ElidedLabel(const QString& text, const QFont& font, const QColor& color, const QString& objectName,
                QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace veq
