#pragma once

#include <QColor>
#include <QWidget>

namespace veq {

// A rounded rectangle filled with a palette surface and, when given a width, outlined; its
// children are laid out by whatever layout the owner sets on it.
class RoundedPanel : public QWidget {
public:
    struct Look {
        QColor fill;
        double radius = 12;
        QColor outline{};          // unused when outlineWidth is 0
        double outlineWidth = 0;

        bool operator==(const Look&) const = default;
    };

    explicit RoundedPanel(Look look, QWidget* parent = nullptr);

    const Look& look() const { return look_; }
    void setLook(Look look);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look look_;
};

// Paints `look` into `area`: the outline's stroke lies wholly inside the area.
void paintRoundedPanel(QPainter& painter, const QRectF& area, const RoundedPanel::Look& look);

} // namespace veq
