#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QRectF>

#include <optional>

class QPainter;

namespace veq {

// The symbols of the terminal and the bus monitor, drawn in one colour in a square.
enum class ToolSymbol {
    trash,              // a bin with its lid
    recordCircle,       // a ring with a dot
    recordCircleFill,   // a filled disc with a ring cut in it
    squareAndArrowUp,   // an arrow rising out of an open box
    arrowUpCircleFill,  // a disc with an arrow cut out of it
    radiowaves,         // a dot between two pairs of arcs
};

void paintToolSymbol(QPainter& painter, const QRectF& area, ToolSymbol symbol, const QColor& colour);

// A borderless button of the tool screens: an optional symbol, then its text, both in one colour;
// drawn at 40 % opacity while disabled. Without text it is the symbol alone.
class ToolButton : public QAbstractButton {
public:
    ToolButton(const QString& text, std::optional<ToolSymbol> symbol, const QFont& font, const QColor& colour,
               int symbolSize, QWidget* parent = nullptr);

    void setLook(const QString& text, std::optional<ToolSymbol> symbol, const QColor& colour);

    const QColor& colour() const { return colour_; }
    std::optional<ToolSymbol> symbol() const { return symbol_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int spacing = 5;

    std::optional<ToolSymbol> symbol_;
    QColor colour_;
    int symbolSize_;
};

} // namespace veq
