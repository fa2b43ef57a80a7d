#pragma once

#include <QRectF>
#include <QStringList>
#include <QWidget>

#include <cstddef>
#include <span>
#include <vector>

class QPainter;

namespace veq {

// A table painted in one widget as tall as its rows (the screen scrolls it): a header row of the
// column titles, then one row per item over a faint line, the first column taking the room the
// fixed columns leave. Only the rows in view are painted.
class PaintedTable : public QWidget {
public:
    static constexpr int rowHeight = 26;

    struct Columns {
        std::span<const char* const> titles;
        int firstMinimum = 0;
        std::span<const int> fixedWidths; // after the first, left to right
    };

    const QStringList& columnTitles() const { return titles_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    // `columns` must outlive the table (static tables).
    PaintedTable(const Columns& columns, const QString& name, QWidget* parent);

    virtual std::size_t rowCount() const = 0;
    // Paints row `row` (from 0, under the header) into its cells.
    virtual void paintRowAt(QPainter& painter, std::size_t row, const std::vector<QRectF>& cells) const = 0;
    // The rows were replaced: `resized` when their number changed.
    void rowsReplaced(bool resized);

    void paintEvent(QPaintEvent* event) override;

private:
    Columns columns_;
    QStringList titles_;
};

// A painted table of `Row` values, kept until a different set arrives.
template <typename Row>
class PaintedRows : public PaintedTable {
public:
    void setRows(std::vector<Row> rows) {
        if (rows == rows_) return;
        const bool resized = rows.size() != rows_.size();
        rows_ = std::move(rows);
        rowsReplaced(resized);
    }
    const std::vector<Row>& rows() const { return rows_; }

protected:
    using PaintedTable::PaintedTable;

    // Paints `row` into its cells.
    virtual void paintRow(QPainter& painter, const Row& row, const std::vector<QRectF>& cells) const = 0;

private:
    std::size_t rowCount() const final { return rows_.size(); }
    void paintRowAt(QPainter& painter, std::size_t row, const std::vector<QRectF>& cells) const final {
        paintRow(painter, rows_[row], cells);
    }

    std::vector<Row> rows_;
};

} // namespace veq
