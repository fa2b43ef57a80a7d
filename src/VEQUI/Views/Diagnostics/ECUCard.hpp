#pragma once

#include "VEQEngine/UDS/ECUScanner.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"

#include <QAbstractButton>
#include <QColor>

namespace veq {

// One probed ECU on the map: a dot in its colour, its name and request header, its status line
// and, when it holds trouble codes, their count. A flat button: clicking it toggles the
// selection; the selected card is outlined in the accent. A silent ECU's card is dimmed; one
// whose codes could not be read says so.
class ECUCard : public QAbstractButton {
public:
    struct Look {
        QColor color;       // the ECU colour
        int codeCount = 0;  // UDS trouble codes held for it
        bool selected = false;
        QColor accent;      // the selected outline
        bool codesUnread = false; // its codes could not be read
    };

    static constexpr double silentOpacity = 0.55;

    ECUCard(const DiscoveredECU& ecu, const Look& look, QWidget* parent = nullptr);

    const std::string& txHeader() const { return txHeader_; }
    bool isSelectedCard() const { return selected_; }
    void setSelectedCard(bool selected, const QColor& accent);
    // 1 for an ECU that answered, less for a silent one.
    double opacity() const { return opacity_; }

protected:
    // The card draws nothing itself: its panel and texts do.
    void paintEvent(QPaintEvent*) override {}

private:
    void outline();

    RoundedPanel* panel_;
    std::string txHeader_;
    bool selected_;
    QColor accent_;
    double opacity_;
};

} // namespace veq
