#include "VEQUI/Model/CockpitLayout.hpp"

#include <algorithm>

namespace veq {

namespace {

struct LayoutRow {
    CockpitLayout layout;
    std::string_view title;
    std::uint8_t leftFlank;
    std::uint8_t rightFlank;
};

// clang-format off
constexpr std::array<LayoutRow, 5> layoutRows{{
    // layout                       title              left  right
    {CockpitLayout::road,          "Route",           0x05, 0x5C},  // coolant, oil temperature
    {CockpitLayout::track,         "Circuit",         0x0B, 0x5C},  // manifold pressure, oil temperature
    {CockpitLayout::economy,       "\u00C9conomie",   0x10, 0x5E},  // air flow, fuel rate
    {CockpitLayout::engine,        "Moteur",          0x05, 0x5C},  // coolant, oil temperature
    {CockpitLayout::transmission,  "Transmission",    0x5C, 0x42},  // oil temperature, module voltage
}};
// clang-format on

const LayoutRow& row(CockpitLayout layout) {
    return *std::find_if(layoutRows.begin(), layoutRows.end(),
                         [layout](const LayoutRow& r) { return r.layout == layout; });
}

} // namespace

std::string_view title(CockpitLayout layout) { return row(layout).title; }

QString tabText(CockpitLayout layout) {
    const auto text = title(layout);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUpper();
}

std::array<std::uint8_t, 2> layoutFlankPIDs(CockpitLayout layout) {
    const auto& r = row(layout);
    return {r.leftFlank, r.rightFlank};
}

} // namespace veq
