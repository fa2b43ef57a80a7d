#pragma once

#include "VEQUI/Model/TransportKind.hpp"

#include <QAbstractButton>
#include <QColor>

namespace veq {

// One way of reaching the car on the connection wizard: its icon, title and subtitle on a
// rounded card, outlined and checked in the accent when it is the chosen one.
class TransportCard : public QAbstractButton {
public:
    static constexpr int kWidth = 460;

    explicit TransportCard(TransportKind kind, QWidget* parent = nullptr);

    TransportKind kind() const { return kind_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    void setAccent(const QColor& accent);
    const QColor& accent() const { return accent_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kInset = 14;
    static constexpr int kSpacing = 14;
    static constexpr int kIconFrame = 30;
    static constexpr int kIconSize = 20;
    static constexpr int kCheckSize = 15;

    TransportKind kind_;
    bool selected_ = false;
    QColor accent_;
};

} // namespace veq
