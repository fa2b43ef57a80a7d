#pragma once

#include "VEQEngine/UDS/ECUScanner.hpp"
#include "VEQProtocol/UDSDTC.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"

#include <optional>
#include <vector>

namespace veq {

// The selected ECU in detail: its name, addresses, part number and software version, and its
// UDS trouble codes with their French titles ("confirmé" for a confirmed one), or "Codes non lus"
// when they could not be read (`codes` is nothing).
class ECUDetailPanel : public RoundedPanel {
public:
    ECUDetailPanel(const DiscoveredECU& ecu, const std::optional<std::vector<UDSDTC>>& codes, QWidget* parent = nullptr);
};

} // namespace veq
