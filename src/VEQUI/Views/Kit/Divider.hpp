#pragma once

#include <QColor>
#include <QWidget>

namespace veq {

// A one-pixel line in the stroke colour, across (horizontal) or down (vertical) its space.
class Divider : public QWidget {
public:
    explicit Divider(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace veq
