#include "VEQUI/Views/Kit/SeverityColor.hpp"

#include "VEQUI/Model/VEQTheme.hpp"

namespace veq {

namespace {

struct SeverityStyle {
    DTCInfo::Severity severity;
    const QColor& (*color)();
};

// clang-format off
const SeverityStyle severityStyles[] = {
    {DTCInfo::Severity::low,    VEQ::confirm},
    {DTCInfo::Severity::medium, VEQ::warning},
    {DTCInfo::Severity::high,   VEQ::critical},
};
// clang-format on

} // namespace

QColor severityColor(DTCInfo::Severity severity) {
    for (const SeverityStyle& style : severityStyles) {
        if (style.severity == severity) return style.color();
    }
    return VEQ::warning();
}

} // namespace veq
