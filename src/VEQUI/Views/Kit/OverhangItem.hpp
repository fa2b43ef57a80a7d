#pragma once

#include <QWidgetItem>

namespace veq {

// A widget that takes its row in a vertical layout but reaches `overhang` beyond it above and
// below, over its neighbours (a glow that must not be cut at the row's edges). The layout sees
// only the row; the widget, taller by both overhangs, is to be raised above the neighbours.
class OverhangItem : public QWidgetItem {
public:
    OverhangItem(QWidget* widget, int overhang);

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    QSize maximumSize() const override;
    void setGeometry(const QRect& row) override;
    QRect geometry() const override;

private:
    QSize row(QSize whole) const;

    int overhang_;
};

} // namespace veq
