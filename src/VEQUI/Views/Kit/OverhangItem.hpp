#pragma once

#include <QMargins>
#include <QWidgetItem>

namespace veq {

// A widget that takes its row in a vertical layout but reaches beyond it above and below by its
// top and bottom contents margins, over its neighbours (a glow that must not be cut at the row's
// edges). The layout sees only the row; the widget, taller by both margins, is to be raised
// above the neighbours.
class OverhangItem : public QWidgetItem {
public:
    explicit OverhangItem(QWidget* widget) : QWidgetItem(widget) {}

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    QSize maximumSize() const override;
    void setGeometry(const QRect& row) override;
    QRect geometry() const override;

private:
    QSize row(QSize whole) const;
    // The widget's reach above and below its row.
    QMargins overhang() const;
};

} // namespace veq
