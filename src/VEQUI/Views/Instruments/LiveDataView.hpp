#pragma once

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Kit/CachedTexts.hpp"
#include "VEQUI/Views/Kit/ComponentView.hpp"
#include "VEQUI/Views/Instruments/RepaintCoalescer.hpp"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <map>
#include <vector>

class QScrollArea;
class QStackedLayout;
class QVBoxLayout;

namespace veq {

class HeaderBar;

// One row of the live-data list: the parameter's name, its current value, minimum, maximum and
// average with its unit, and a sparkline of its recent values; drawn centred across the list,
// with a divider line along its bottom over the list's full width.
struct LiveDataRow {
    QString name;
    std::array<QString, 4> values; // current, minimum, maximum, average
    QString unit;
    std::vector<double> history;   // in the unit shown
    QColor sparkColor;

    static constexpr double contentWidth = 868; // columns, spacings and insets
    static constexpr double nameWidth = 280;    // the name's column in a row at full width
    // A list narrower than a row takes the difference from the name, down to this; the list is
    // never narrower than the row is then.
    static constexpr double narrowestName = 200;
    static constexpr double narrowestWidth = contentWidth - nameWidth + narrowestName;

    // The row of a parameter as the store holds it now.
    static LiveDataRow of(const TelemetryStore& store, std::uint8_t pid, UnitSystem system, const QColor& sparkColor);

    void paint(QPainter& painter, const QRectF& area) const;
    // What stays while values arrive (the name, the units, the divider); then the figures and
    // the sparkline.
    void paintFixed(QPainter& painter, const QRectF& area) const;
    void paintFigures(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const;
    bool operator==(const LiveDataRow&) const = default;
};

// One row in the list, updated in place. Its fixed part is kept as an image for its size, name
// and unit, so that a new sample repaints only the figures and the line.
class LiveDataRowView : public QWidget, public CachedTexts {
public:
    explicit LiveDataRowView(LiveDataRow row, QWidget* parent = nullptr);

    const LiveDataRow& component() const { return row_; }
    void set(LiveDataRow row);

    QSize sizeHint() const override;
    void paintCachedTexts(QPainter& painter) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LiveDataRow row_;
    QImage fixed_;
    QString fixedName_;
    QString fixedUnit_;
};

// The section "Live Data": every parameter that has delivered a value since the store was last
// reset, one row each in ascending parameter order, under a header counting them with the
// request rate; "Aucune donnée" while there are none. Rows are kept and updated in place: a
// parameter's first value adds its row, later values only change its texts and line.
class LiveDataView : public QWidget {
public:
    explicit LiveDataView(AppModel& model, QWidget* parent = nullptr);

    RepaintCoalescer& coalescer() { return coalescer_; }
    // The header's right-hand text, for example "23 paramètres · 42 req/s".
    static QString headerText(std::size_t rows, double requestsPerSecond);

    // The row of a parameter, or null while it has none.
    LiveDataRowView* row(std::uint8_t pid) const;
    // The parameters listed, top to bottom.
    std::vector<std::uint8_t> listedPIDs() const;
    bool showsEmptyState() const;

private:
    void refresh();

    AppModel& model_;
    RepaintCoalescer coalescer_;
    HeaderBar* header_;
    QStackedLayout* stack_;
    QWidget* emptyState_;
    QScrollArea* scroll_;
    QVBoxLayout* rowsLayout_;
    std::map<std::uint8_t, LiveDataRowView*> rows_;
    QString headerText_; // the summary shown
};

} // namespace veq
