#pragma once

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Kit/ComponentView.hpp"

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>
#include <string_view>
#include <vector>

namespace veq {

class EventLogControl;
class PaintedButton;

}

class QVariantAnimation;

namespace veq {

// "OSKAVEL CAR" in the accent, with a short red bar beside it.
struct BrandMark {
    QColor accent;
    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const;
    bool operator==(const BrandMark&) const = default;
};

// One status chip: an icon and a text on a capsule, in colour when on, grey when off.
struct StatusChip {
    std::string_view icon;
    QString text;
    bool on = false;
    QColor color;
    bool operator==(const StatusChip&) const = default;
};

// The chips of the top bar, left to right.
struct StatusChips {
    std::vector<StatusChip> chips;

    static StatusChips of(const AppModel& model);
    // The chips that a bar `width` wide shows, in their order. When not all fit, they give way
    // by importance: the trouble codes stay longest, then the contact, then the others in order.
    std::vector<std::size_t> fitting(double width) const;
    // Paints the chips that fit, against the area's right edge.
    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const;
    bool operator==(const StatusChips&) const = default;
};

// The car's name over its engine family, fuel, VIN and calibration mark, aligned right.
struct VehicleIdentity {
    QString label;
    bool matchedFromVIN = false;
    QString family;
    QString fuel;
    QString vin;
    bool calibrated = false;

    static VehicleIdentity of(const AppModel& model);
    void paint(QPainter& painter, const QRectF& area) const;
    QSizeF sizeHint() const;
    bool operator==(const VehicleIdentity&) const = default;
};

// The cockpit's top bar: brand, the five layout tabs, the event-log control, the status chips
// and the vehicle's identity.
class CockpitTopBar : public QWidget {
public:
    static constexpr int barHeight = 52;

    explicit CockpitTopBar(AppModel& model, QWidget* parent = nullptr);

    // Reads the model again; the cockpit calls it once per display tick.
    void refresh();

    EventLogControl* logControl() const { return logControl_; }
    // The tab's highlight follows a layout change over 0.15 s by default; off, at once.
    void setAnimated(bool animated);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void placeChildren();
    void layoutChanged();
    void paintTab(QPainter& painter, const QRectF& area, std::size_t index) const;

    AppModel& model_;
    ComponentView<BrandMark>* brand_;
    std::vector<PaintedButton*> tabs_;
    EventLogControl* logControl_;
    ComponentView<StatusChips>* chips_;
    ComponentView<VehicleIdentity>* identity_;
    std::vector<double> highlight_; // per tab: 1 on the active layout's, 0 elsewhere
    QColor tabAccent_;
    QVariantAnimation* tabAnimation_ = nullptr;
    bool animated_ = true;
};

} // namespace veq
