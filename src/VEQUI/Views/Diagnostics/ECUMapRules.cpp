#include "VEQUI/Views/Diagnostics/ECUMapRules.hpp"

#include "VEQUI/Model/VEQTheme.hpp"

#include <algorithm>

namespace veq::ECUMap {

const std::vector<UDSDTC>& codesOf(const DiscoveredECU& ecu, const CodesByHeader& codes) {
    static const std::vector<UDSDTC> none;
    const auto it = codes.find(ecu.txHeader);
    return it == codes.end() || !it->second ? none : *it->second;
}

bool codesUnread(const DiscoveredECU& ecu, const CodesByHeader& codes) {
    const auto it = codes.find(ecu.txHeader);
    return it != codes.end() && !it->second;
}

QColor color(const DiscoveredECU& ecu, const CodesByHeader& codes) {
    if (!ecu.responded) return VEQ::stroke();
    if (codesUnread(ecu, codes)) return VEQ::warning();
    return codesOf(ecu, codes).empty() ? VEQ::confirm() : VEQ::critical();
}

int respondingCount(const std::vector<DiscoveredECU>& ecus) {
    return static_cast<int>(std::count_if(ecus.begin(), ecus.end(), [](const DiscoveredECU& e) { return e.responded; }));
}

const DiscoveredECU* selectedECU(const std::vector<DiscoveredECU>& ecus, const std::optional<std::string>& selected) {
    if (!selected) return nullptr;
    const auto it = std::find_if(ecus.begin(), ecus.end(), [&](const DiscoveredECU& e) { return e.txHeader == *selected; });
    return it == ecus.end() ? nullptr : &*it;
}

QString statusLine(const DiscoveredECU& ecu) {
    if (!ecu.responded) return QStringLiteral("aucune r\u00E9ponse");
    return ecu.partNumber ? QString::fromStdString(*ecu.partNumber) : QStringLiteral("pr\u00E9sent");
}

} // namespace veq::ECUMap
