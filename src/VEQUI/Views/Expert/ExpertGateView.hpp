#pragma once

#include "VEQUI/Views/Gauges/CarbonBackground.hpp"

class QCheckBox;

namespace veq {

class AppModel;
class ProminentButton;

// Stands in front of the expert screen until expert mode is accepted: five warnings on the
// carbon weave, an acknowledgement to tick and the button that accepts. Ticking alone enables
// the button; accepting (and its trace in the audit log) is the model's.
class ExpertGateView : public CarbonBackground {
public:
    static constexpr double backdropOpacity = 0.4;

    explicit ExpertGateView(AppModel& model, QWidget* parent = nullptr);

    QCheckBox* acknowledgement() const { return understood_; }
    ProminentButton* acceptButton() const { return accept_; }

private:
    void follow(bool understood);

    AppModel& model_;
    QCheckBox* understood_;
    ProminentButton* accept_;
};

} // namespace veq
