#pragma once

#include "VEQUI/Views/Kit/CentredColumn.hpp"

#include <vector>

class QLabel;
class QLineEdit;

namespace veq {

class AdaptersDisclosure;
class AppModel;
class LabeledField;
class ProminentButton;
class SymbolView;
class TransportCard;

// The screen shown while disconnected: the three ways of reaching a car, the Wi-Fi adapter's
// address and port, the list of compatible adapters and "Se connecter". It keeps nothing of its
// own: the choice and the fields are the model's, and the button calls connect().
class ConnectionWizard : public ScreenWidget {
public:
    explicit ConnectionWizard(AppModel& model, QWidget* parent = nullptr);

private:
    // Follows the model: the chosen card, the Wi-Fi row and the accent of the moment.
    void refresh();
    void showHost();
    void showPort();

    AppModel& model_;
    SymbolView* logo_;
    std::vector<TransportCard*> cards_;
    QWidget* wifiRow_;
    QLabel* wifiWarning_;
    LabeledField* host_;
    LabeledField* port_;
    ProminentButton* connectButton_;
    AdaptersDisclosure* adapters_;
};

} // namespace veq
