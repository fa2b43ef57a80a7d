#pragma once

#include "VEQUI/Views/Expert/ExpertRules.hpp"

#include <QAbstractButton>
#include <QColor>
#include <QWidget>

#include <filesystem>
#include <functional>

// Small controls of the expert screens.
namespace veq {

// Shows a file or folder in the desktop's file manager; tests put a recorder in its place.
using RevealAction = std::function<void(const std::filesystem::path&)>;

// A capsule button in a fill with its text in capitals: the filter chips.
class CapsuleButton : public QAbstractButton {
public:
    CapsuleButton(const QString& text, QWidget* parent = nullptr);

    void setColours(const QColor& fill, const QColor& text);
    const QColor& fill() const { return fill_; }
    const QColor& textColour() const { return textColour_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
    QColor textColour_;
};

// A live reading of the expert header: a dot in the verdict's colour, the label and the value.
class LiveBadgeView : public QWidget {
public:
    explicit LiveBadgeView(const QString& objectName, QWidget* parent = nullptr);

    void set(const ExpertRules::LiveBadge& badge);
    const ExpertRules::LiveBadge& badge() const { return badge_; }
    QColor dotColour() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ExpertRules::LiveBadge badge_;
};

} // namespace veq
