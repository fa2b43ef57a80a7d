#pragma once

#include <QWidget>

namespace veq {

// A full-width rule one pixel high in the palette's stroke colour.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace veq
