#pragma once

#include <QWidget>

class QScrollArea;
class QVBoxLayout;

namespace veq {

// A full-window screen on the background colour.
class ScreenWidget : public QWidget {
public:
    explicit ScreenWidget(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A frameless, transparent scroll area that scrolls vertically only, holding an empty content
// widget for the caller's layout.
QScrollArea* makeVerticalScrollArea(QWidget* parent = nullptr);

// Tells every scroll area around `widget` that its content's size may have changed. A scroll
// area resizes its content only when asked; a child that grows or shows more must ask.
void contentSizeChanged(QWidget* widget);

// Gives `screen` one column of children centred in both directions, `spacing` pixels apart.
// When the column is taller than the window (an unfolded list on a small window) it scrolls
// instead of forcing the window to grow. A `footer` ends the column outside the scrolling part:
// right under the column while all fits, at the window's bottom edge and always in view when
// the column scrolls. Returns the column's layout.
QVBoxLayout* installCentredColumn(QWidget* screen, int spacing, QWidget* footer = nullptr);

} // namespace veq
