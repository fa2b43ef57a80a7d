#pragma once

#include <QAbstractButton>
#include <QColor>

#include <string>

namespace veq {

// The filled, tinted button of a screen's main action ("Se connecter", "Réessayer"): a rounded
// fill in the tint, the icon (when it has one) and the title centred in the background colour.
class ProminentButton : public QAbstractButton {
public:
    ProminentButton(const QString& title, std::string symbol, const QFont& font, QColor tint, QWidget* parent = nullptr);

    void setTint(const QColor& tint);
    // The label's frame: at least `width` wide, with `vertical` pixels added above and below.
    void setLabelFrame(int width, int vertical);

    const QColor& tint() const { return tint_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kIconSpacing = 7;
    static constexpr int kInsetX = 12;
    static constexpr int kInsetY = 5;

    std::string symbol_;
    QColor tint_;
    int labelWidth_ = 0;
    int labelVertical_ = 0;
};

} // namespace veq
