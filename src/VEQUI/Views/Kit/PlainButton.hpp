#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QMargins>

#include <string>

namespace veq {

// A borderless button: its icon (when it has one) and its title in one colour, no chrome. The
// sidebar's footer actions, "Retour", the settings' quick choices.
class PlainButton : public QAbstractButton {
public:
    // An empty `symbol` gives a title-only button.
    PlainButton(const QString& title, std::string symbol, const QFont& font, QColor colour, QWidget* parent = nullptr);

    void setColour(const QColor& colour);
    void setSymbol(std::string symbol);
    void setPadding(const QMargins& padding);
    void setIconSize(int size);

    const QColor& colour() const { return colour_; }
    const std::string& symbol() const { return symbol_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kIconSpacing = 6;

    std::string symbol_;
    QColor colour_;
    QMargins padding_;
    int iconSize_;
};

} // namespace veq
