#pragma once

#include "VEQUI/Views/Recording/FactView.hpp"

#include <QTimer>
#include <QWidget>

#include <array>

class QLabel;

namespace veq {

class AppModel;
class CurrentTripTiles;
class HeaderBar;
class ParameterTable;

// The section "Rapport": the drive under way (vehicle profile, VIN, start, the trip figures) and
// one row per parameter of the live-value store with its unit, current, minimum, mean and maximum
// values and its sample count. It only shows; it exports nothing.
class ReportView : public QWidget {
public:
    // The store changes with every sample: the screen follows it at most this often.
    static constexpr int refreshMilliseconds = 500;

    explicit ReportView(AppModel& model, QWidget* parent = nullptr);

    ParameterTable& table() const { return *table_; }
    CurrentTripTiles& tripTiles() const { return *tiles_; }
    // The facts in order: profile, VIN, start.
    const std::array<FactView*, 3>& facts() const { return facts_; }
    // Applies every change now (the throttle's work).
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void changed();

    AppModel& model_;
    HeaderBar* header_;
    std::array<FactView*, 3> facts_{};
    CurrentTripTiles* tiles_;
    ParameterTable* table_;
    QLabel* noParameters_;
    QTimer throttle_;
    bool pending_ = false;
};

} // namespace veq
