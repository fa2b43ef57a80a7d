#pragma once

#include <QColor>
#include <QWidget>

#include <string>

namespace veq {

// One icon of the screens, drawn in its tint in a fixed square (or a wider frame, centred).
class SymbolView : public QWidget {
public:
    SymbolView(std::string symbol, int size, QColor tint, QWidget* parent = nullptr);

    void setSymbol(std::string symbol);
    void setTint(const QColor& tint);
    // The frame may be wider than the icon ("in a frame 20 points wide").
    void setFrameWidth(int width);

    const std::string& symbol() const { return symbol_; }
    const QColor& tint() const { return tint_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string symbol_;
    int size_;
    QColor tint_;
};

} // namespace veq
