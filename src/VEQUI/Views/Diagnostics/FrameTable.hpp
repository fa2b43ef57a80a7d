#pragma once

#include "VEQUI/Model/CANFrameTable.hpp"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace veq {

// What one row of the bus monitor's table shows, cell by cell.
struct FrameRowCells {
    struct Byte {
        QString text;
        QColor colour;
        bool operator==(const Byte&) const = default;
    };

    QString id;
    QColor idColour;
    std::vector<Byte> bytes; // "%02X" each; the warning colour where the byte changed
    QString rate;            // frames per second, no decimals
    QString count;

    bool operator==(const FrameRowCells&) const = default;
};

FrameRowCells frameRowCells(const CANFrameRow& row, const QColor& accent);

// One text of a row as it is drawn: where, in what font and colour, aligned how.
struct RowText {
    QRect rect;
    QString text;
    QFont font;
    QColor colour;
    Qt::Alignment alignment;
};

// The bus monitor's rows, ascending by identifier text. Each paint draws only the rows in view,
// straight from the model's table, so thousands of identifiers cost no more than a screenful; the
// fonts, metrics and column edges are worked out once per paint, not per row.
class FrameTable : public QAbstractScrollArea {
public:
    // Cell widths and gaps of a row; the column header lines up with them.
    static constexpr int sidePadding = 16;
    static constexpr int cellSpacing = 12;
    static constexpr int idWidth = 80;
    static constexpr int rateWidth = 48;
    static constexpr int countWidth = 60;
    static constexpr int byteSpacing = 6;
    static constexpr int verticalPadding = 7;

    // Reads the rows and the accent at each paint, so it never holds a row of its own.
    FrameTable(std::function<const CANFrameTable::Rows&()> rows, std::function<QColor()> accent,
               QWidget* parent = nullptr);

    // The height of one row with its divider.
    int rowHeight() const;
    // The texts of a row whose top is at `top` in the viewport, laid out on the viewport's width.
    // Bytes that do not fit in the data column give way to "…" at its end.
    std::vector<RowText> rowTexts(const FrameRowCells& cells, int top) const;
    // Takes the rows as they are now: the scroll range and the picture.
    void refresh();
    // The identifiers of the rows in view, top to bottom.
    std::vector<std::string> idsInView() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The fonts, metrics and column edges every row of one paint shares.
    struct Layout;
    Layout layout() const;
    // Replaces `texts` with those of a row whose top is at `top`; the paint reuses one vector.
    void rowTexts(const Layout& layout, const FrameRowCells& cells, int top, std::vector<RowText>& texts) const;
    void updateRange();
    // The first row in view and its top edge in the viewport.
    std::pair<CANFrameTable::Rows::const_iterator, int> firstInView() const;

    std::function<const CANFrameTable::Rows&()> rows_;
    std::function<QColor()> accent_;
};

} // namespace veq
