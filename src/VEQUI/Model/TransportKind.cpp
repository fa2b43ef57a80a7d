#include "VEQUI/Model/TransportKind.hpp"

#include <algorithm>

namespace veq {

namespace {

struct TransportRow {
    TransportKind kind;
    std::string_view title;
    std::string_view subtitle;
    std::string_view icon;
};

// clang-format off
constexpr std::array<TransportRow, 3> transportRows{{
    // kind                      title          subtitle                                                 icon
    {TransportKind::simulator,  "Simulateur",  "CLS 450 2019 \u00E9mul\u00E9e \u2014 aucune voiture requise", "cpu"},
    {TransportKind::bluetooth,  "Bluetooth",   "Adaptateur ELM327 BLE (FFF0/FFE0/18F0)",                  "dot.radiowaves.left.and.right"},
    {TransportKind::wifi,       "WiFi",        "Adaptateur ELM327 WiFi en TCP",                           "wifi"},
}};
// clang-format on

const TransportRow& row(TransportKind kind) {
    return *std::find_if(transportRows.begin(), transportRows.end(),
                         [kind](const TransportRow& r) { return r.kind == kind; });
}

} // namespace

std::string_view title(TransportKind kind) { return row(kind).title; }
std::string_view subtitle(TransportKind kind) { return row(kind).subtitle; }
std::string_view icon(TransportKind kind) { return row(kind).icon; }

} // namespace veq
