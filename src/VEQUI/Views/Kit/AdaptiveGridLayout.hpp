#pragma once

#include <QLayout>
#include <QList>

namespace veq {

// A grid of as many equal columns as fit, each at least `minimumColumnWidth` wide and never
// narrower than the widest item's minimum width (always at least one column), filled row by row
// in insertion order. Every item takes its column's width and its
// own height for that width, centred vertically in its row; a row is as tall as its tallest item.
class AdaptiveGridLayout : public QLayout {
public:
    AdaptiveGridLayout(int minimumColumnWidth, int spacing, QWidget* parent = nullptr);
    ~AdaptiveGridLayout() override;

    AdaptiveGridLayout(const AdaptiveGridLayout&) = delete;
    AdaptiveGridLayout& operator=(const AdaptiveGridLayout&) = delete;

    // The number of columns for a content width.
    static int columnCount(int width, int minimumColumnWidth, int spacing);
    int columnCount(int width) const { return columnCount(width, columnMinimum(), spacing()); }
    // The narrowest a column may be: the width asked for, or more when an item cannot be that narrow.
    int columnMinimum() const;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Lays the items out in `rect` (moving them when `apply`); returns the height used.
    int arrange(const QRect& rect, bool apply) const;

    int minimumColumnWidth_;
    QList<QLayoutItem*> items_;
};

} // namespace veq
