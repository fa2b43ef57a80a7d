#pragma once

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Kit/CentredColumn.hpp"

#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace veq {

class PlainButton;
class ProminentButton;
class RoundedPanel;
class StepRow;
class SweepPanel;

// The screen of a connection under way and of a failed one: the adapter steps ticking off, the
// protocol sweep when one runs, and after a failure the model's diagnosis with "Réessayer" and
// "Retour". Everything it shows is the model's; the failure's own message is not shown.
class ConnectionCascadeView : public ScreenWidget {
public:
    static constexpr int kCardWidth = 380;

    explicit ConnectionCascadeView(AppModel& model, QWidget* parent = nullptr);

    // The title under "OSKAVEL CAR" for a phase.
    static QString title(const AppModel::Phase& phase);

    const std::vector<StepRow*>& stepRows() const { return stepRows_; }

private:
    void showPhase();
    void showSteps();
    void showSweep();
    void showDiagnostics();
    void showAccent();

    AppModel& model_;
    QLabel* brand_;
    QLabel* title_;
    RoundedPanel* stepsCard_;
    QVBoxLayout* steps_;
    std::vector<StepRow*> stepRows_;
    SweepPanel* sweepPanel_;
    RoundedPanel* diagnosisCard_;
    QVBoxLayout* diagnosisLines_;
    QWidget* buttons_;
    ProminentButton* retry_;
    PlainButton* back_;
};

} // namespace veq
