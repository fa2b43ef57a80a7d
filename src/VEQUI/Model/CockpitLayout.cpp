#include "VEQUI/Model/CockpitLayout.hpp"

#include <algorithm>

namespace veq {

namespace {

struct LayoutRow {
    CockpitLayout layout;
    std::string_view title;
    std::uint8_t leftFlank;
    std::uint8_t rightFlank;
    std::array<std::uint8_t, 6> band;
};

// clang-format off
constexpr std::array<LayoutRow, 5> layoutRows{{
    // layout                       title              left  right  band
    {CockpitLayout::road,          "Route",           0x05, 0x5C, {0x0B, 0x2F, 0x46, 0x42, 0x04, 0x0F}},
    {CockpitLayout::track,         "Circuit",         0x0B, 0x5C, {0x04, 0x0E, 0x11, 0x10, 0x05, 0x42}},
    {CockpitLayout::economy,       "\u00C9conomie",   0x10, 0x5E, {0x04, 0x0D, 0x11, 0x05, 0x2F, 0x42}},
    {CockpitLayout::engine,        "Moteur",          0x05, 0x5C, {0x04, 0x0E, 0x10, 0x5E, 0x0F, 0x42}},
    {CockpitLayout::transmission,  "Transmission",    0x5C, 0x42, {0x0C, 0x0D, 0x04, 0x11, 0x05, 0x42}},
}};
// Flanks: road and engine coolant and oil temperature; track manifold pressure and oil
// temperature; economy air flow and fuel rate; transmission oil temperature and module voltage.
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

std::array<std::uint8_t, 6> layoutBandPIDs(CockpitLayout layout) { return row(layout).band; }

} // namespace veq
