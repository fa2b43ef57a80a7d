#include "VEQUI/Views/Gauges/ParameterGauge.hpp"

#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQUI/Model/DisplayUnits.hpp"

#include <algorithm>
#include <array>

namespace veq::ParameterGauge {

namespace {

struct Caption {
    std::uint8_t pid;
    const char* text;
};

// clang-format off
constexpr std::array<Caption, 14> cockpitCaptions{{
    {0x04, "Charge"},    {0x05, "Eau"},       {0x0B, "Suralim."},  {0x0C, "R\u00E9gime"},
    {0x0D, "Vitesse"},   {0x0E, "Avance"},    {0x0F, "Adm."},      {0x10, "D\u00E9bit air"},
    {0x11, "Papillon"},  {0x2F, "R\u00E9servoir"}, {0x42, "Tension"}, {0x46, "Ambiant"},
    {0x5C, "Huile"},     {0x5E, "Conso"},
}};

constexpr std::array<Caption, 7> focusCaptions{{
    {0x05, "Eau"},       {0x0B, "Suralim."},  {0x0D, "Vitesse"},   {0x10, "D\u00E9bit air"},
    {0x42, "Tension"},   {0x5C, "Huile"},     {0x5E, "Conso"},
}};
// clang-format on

template <std::size_t N>
QString caption(const std::array<Caption, N>& table, std::uint8_t pid) {
    const auto it = std::find_if(table.begin(), table.end(), [pid](const Caption& c) { return c.pid == pid; });
    if (it != table.end()) return QString::fromUtf8(it->text);
    if (const auto* definition = PIDCatalog::definition(pid)) return QString::fromStdString(definition->name);
    return QStringLiteral("PID");
}

} // namespace

QString shortName(std::uint8_t pid) { return caption(cockpitCaptions, pid); }

QString focusShortName(std::uint8_t pid) { return caption(focusCaptions, pid); }

CircularGauge make(std::uint8_t pid, std::optional<double> calibrated, const GaugeScale& metricScale, UnitSystem system,
                   bool night, const QString& title, std::optional<double> peak) {
    return CircularGauge{.value = DisplayUnits::inDisplayUnit(pid, calibrated, system),
                         .scale = DisplayUnits::inDisplayUnit(pid, metricScale, system),
                         .title = title,
                         .unit = DisplayUnits::unitSymbol(pid, system),
                         .big = false,
                         .night = night,
                         .showValue = true,
                         .peak = DisplayUnits::inDisplayUnit(pid, peak, system)};
}

} // namespace veq::ParameterGauge
