#pragma once

#include <QAbstractButton>

#include <functional>

namespace veq {

// A plain-style button: no frame of the platform's, its look painted by the screen that owns
// it (a capsule tab, the log button, a round stop button). Pressed, it dims.
class PaintedButton : public QAbstractButton {
public:
    using Look = std::function<void(QPainter&, const QRectF&)>;

    PaintedButton(QSizeF size, Look look, QWidget* parent = nullptr);

    // A new look (and size); repaints only when told that it differs.
    void setLook(QSizeF size, Look look);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSizeF size_;
    Look look_;
};

} // namespace veq
