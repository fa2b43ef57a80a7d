#pragma once

#include <QColor>
#include <QWidget>

namespace veq {

// A rounded rectangle behind whatever layout it holds: the cards, panels and fields of the
// screens. The outline is drawn inside the bounds, on top of the fill.
class RoundedPanel : public QWidget {
public:
    explicit RoundedPanel(double cornerRadius, QColor fill, QWidget* parent = nullptr);

    void setFill(const QColor& fill);
    // No outline while `width` is 0.
    void setOutline(const QColor& colour, double width);

    const QColor& fill() const { return fill_; }
    const QColor& outlineColour() const { return outline_; }
    double outlineWidth() const { return outlineWidth_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double radius_;
    QColor fill_;
    QColor outline_;
    double outlineWidth_ = 0;
};

} // namespace veq
