#pragma once

#include "VEQVehicle/VehicleProfile.hpp"
#include "VEQUI/Views/Kit/CentredColumn.hpp"

#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QVBoxLayout;

namespace veq {

class AppModel;
class PlainButton;
class SymbolView;

// The settings' texts built from the model's values.
namespace SettingsText {

// "platform · engine (or —) · n calculateurs déclarés".
std::string profileDetail(const VehicleProfile& profile);
// "name (speed) — note", or "— non routé vers l'OBD" for a bus without a note.
std::string unreachableBus(const VehicleBus& bus);
// "×1.060".
std::string speedFactor(double factor);
// "66 L", or "inconnu".
std::string tankCapacity(std::optional<double> litres);
// Markdown-style **emphasis** as rich text, everything else escaped.
QString emphasised(const QString& text);

} // namespace SettingsText

// The "Réglages" section: the vehicle profile, position recording, calibration against the
// instrument cluster, night look and units. Every control writes a model property at once; the
// screen keeps and saves nothing.
class SettingsView : public ScreenWidget {
public:
    // The speed factor's slider covers this range continuously.
    static constexpr double kMinSpeedFactor = 0.9;
    static constexpr double kMaxSpeedFactor = 1.15;
    // Slider positions per unit of factor: fine enough to be continuous to the eye.
    static constexpr int kSliderSteps = 100000;
    // The tank capacities offered, in litres.
    static constexpr std::array<double, 2> kTankChoices{66, 80};

    explicit SettingsView(AppModel& model, QWidget* parent = nullptr);

private:
    QWidget* profileCard();
    QWidget* locationCard();
    QWidget* calibrationCard();
    QWidget* unitsPicker();

    void showProfile();
    void showLocation();
    void showCalibration();
    void showAccent();
    void showUnits();

    AppModel& model_;
    QWidget* badge_ = nullptr;
    QComboBox* profilePicker_ = nullptr;
    QLabel* profileDetail_ = nullptr;
    QVBoxLayout* busRows_ = nullptr;
    QCheckBox* recordLocation_ = nullptr;
    SymbolView* locationIcon_ = nullptr;
    QLabel* locationSummary_ = nullptr;
    QSlider* speedSlider_ = nullptr;
    QLabel* speedFactor_ = nullptr;
    QLabel* tankCapacity_ = nullptr;
    std::vector<PlainButton*> accentButtons_;
    QCheckBox* nightMode_ = nullptr;
    QButtonGroup* units_ = nullptr;
};

} // namespace veq
