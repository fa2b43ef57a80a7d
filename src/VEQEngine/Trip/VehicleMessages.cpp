#include "VEQEngine/Trip/VehicleMessages.hpp"

#include <algorithm>

#include <fmt/format.h>

namespace veq {

using Level = VehicleMessage::Level;
using Availability = VehicleMessage::Availability;

// clang-format off
const std::array<VehicleMessageCenter::ProprietaryItem, 5> VehicleMessageCenter::proprietaryItems{{
    {"washer-fluid",  "Niveau de lave-glace",
     "Non publié par l'OBD-II normalisé. Le capteur de niveau est géré par le SAM avant, sur le bus CAN-B.",
     "Niveau du réservoir de lave-glace.",
     "SAM avant",     "Cherchez un DID booléen (00/01) qui bascule quand vous videz le réservoir.",
     "drop.triangle.fill",            "%",   10.0,         std::nullopt},
    {"service-due",   "Prochain entretien (ASSYST)",
     "Non publié par l'OBD-II normalisé. Le compteur ASSYST PLUS vit dans le combiné d'instruments.",
     "Distance restante avant le prochain entretien.",
     "Combiné (IC)",  "Cherchez un DID sur 2 octets valant quelques milliers (km restants).",
     "wrench.and.screwdriver.fill",   "km",  1500.0,       std::nullopt},
    {"brake-pads",    "Usure des plaquettes de frein",
     "Non publié par l'OBD-II normalisé. Les témoins d'usure sont lus par le SAM avant.",
     "État des témoins d'usure de plaquettes.",
     "SAM avant",     "Cherchez un DID à drapeaux, un bit par roue équipée d'un témoin.",
     "brake.signal",                  "",    std::nullopt, 1.0},
    {"oil-level",     "Niveau d'huile moteur",
     "Non publié par l'OBD-II normalisé. La jauge électronique est lue par le calculateur moteur via un DID propriétaire.",
     "Niveau d'huile mesuré par la jauge électronique.",
     "ME/CDI moteur", "Cherchez un DID qui varie lentement, moteur chaud et véhicule à plat.",
     "oilcan.fill",                   "%",   15.0,         std::nullopt},
    {"tire-pressure", "Pression des pneus",
     "Non publié par l'OBD-II normalisé. Le système TPMS possède son propre calculateur.",
     "Pressions relevées par le système TPMS.",
     "TPMS",          "Cherchez un DID de 4 à 8 octets dont les valeurs tournent autour de 2,2–2,6 bar.",
     "car.top.radiowaves.rear.right", "bar", 2.0,          std::nullopt},
}};
// clang-format on

namespace {

std::optional<double> valueOf(const std::map<std::uint8_t, double>& values, std::uint8_t pid) {
    const auto it = values.find(pid);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

VehicleMessage warningLamp(int dtcCount, const std::optional<MonitorStatus>& monitorStatus) {
    const bool lit = monitorStatus ? monitorStatus->milOn : dtcCount >= 1;
    VehicleMessage m;
    m.id = "mil";
    m.availability = Availability::readable(0x01);
    m.icon = "engine.combustion.fill";
    if (dtcCount >= 1) m.value = fmt::format("{}", dtcCount);
    if (lit) {
        m.title = "Témoin moteur allumé";
        m.detail = fmt::format("{} code(s) défaut mémorisé(s). Consultez l'onglet Diagnostic.", dtcCount);
        m.level = Level::critical;
    } else {
        m.title = "Témoin moteur éteint";
        m.detail = "Aucun défaut moteur signalé.";
        m.level = Level::ok;
    }
    return m;
}

VehicleMessage coolant(double v) {
    VehicleMessage m;
    m.id = "coolant";
    m.title = "Température moteur";
    m.value = fmt::format("{:.0f} °C", v);
    m.icon = "thermometer.high";
    m.availability = Availability::readable(0x05);
    m.level = v >= 120 ? Level::critical : v >= 112 ? Level::warning : v < 60 ? Level::info : Level::ok;
    m.detail = v >= 112 ? "Surchauffe — arrêtez-vous dès que possible."
               : v < 60 ? "Moteur en montée en température."
                        : "Température normale.";
    return m;
}

VehicleMessage oilTemperature(double v) {
    VehicleMessage m;
    m.id = "oil-temp";
    m.title = "Température d'huile moteur";
    m.value = fmt::format("{:.0f} °C", v);
    m.icon = "drop.fill";
    m.availability = Availability::readable(0x5C);
    m.level = v >= 135 ? Level::critical : v >= 125 ? Level::warning : Level::ok;
    m.detail = v >= 125 ? "Huile très chaude — levez le pied." : "Température d'huile normale.";
    return m;
}

VehicleMessage battery(double v) {
    VehicleMessage m;
    m.id = "battery";
    m.title = "Tension de bord";
    m.value = fmt::format("{:.2f} V", v);
    m.icon = "minus.plus.batteryblock.fill";
    m.availability = Availability::readable(0x42);
    m.level = v < 11.8 ? Level::critical : v < 12.2 ? Level::warning : v > 15.0 ? Level::warning : Level::ok;
    m.detail = v < 12.2   ? "Tension faible : batterie en fin de vie ou alternateur défaillant."
               : v > 15.0 ? "Tension élevée : régulateur d'alternateur suspect."
                          : "Charge normale.";
    return m;
}

VehicleMessage fuelLevel(double v) {
    VehicleMessage m;
    m.id = "fuel";
    m.title = "Niveau de carburant";
    m.value = fmt::format("{:.0f} %", v);
    m.icon = "fuelpump.fill";
    m.availability = Availability::readable(0x2F);
    m.level = v < 8 ? Level::critical : v < 15 ? Level::warning : Level::ok;
    m.detail = v < 15 ? "Réserve — pensez à faire le plein." : "Niveau suffisant.";
    return m;
}

VehicleMessage readiness(const MonitorStatus& status) {
    VehicleMessage m;
    m.id = "readiness";
    m.icon = "checkmark.seal.fill";
    m.availability = Availability::readable(0x01);
    if (status.isReady()) {
        m.title = "Moniteurs prêts";
        m.detail = "Tous les tests embarqués ont terminé leur cycle : le véhicule est prêt pour un contrôle technique.";
        m.level = Level::ok;
    } else {
        m.title = "Moniteurs incomplets";
        m.detail = "Certains tests embarqués n'ont pas terminé leur cycle. Roulez encore avant un contrôle technique.";
        m.level = Level::attention;
    }
    return m;
}

VehicleMessage distanceWithLampOn(double v) {
    VehicleMessage m;
    m.id = "mil-distance";
    m.title = "Distance avec le témoin allumé";
    m.detail = "Distance parcourue depuis l'allumage du témoin moteur.";
    m.level = Level::attention;
    m.value = fmt::format("{:.0f} km", v);
    m.icon = "road.lanes";
    m.availability = Availability::readable(0x21);
    return m;
}

VehicleMessage proprietary(const VehicleMessageCenter::ProprietaryItem& item,
                           const std::map<std::string, VehicleMessageCenter::MappedDID>& mappedDIDs) {
    VehicleMessage m;
    m.id = std::string(item.id);
    m.title = std::string(item.title);
    m.icon = std::string(item.icon);
    const auto entry = mappedDIDs.find(m.id);
    if (entry == mappedDIDs.end()) {
        m.detail = std::string(item.detail);
        m.level = Level::info;
        m.availability = Availability::requiresDID(std::string(item.ecu), std::string(item.hint));
        return m;
    }
    const VehicleMessageCenter::MappedDID& mapped = entry->second;
    m.detail = std::string(item.mappedDetail);
    m.availability = Availability::mapped(mapped.ecu, mapped.did);
    if (!mapped.value) {
        m.value = "—";
        m.level = Level::info;
        return m;
    }
    const double v = *mapped.value;
    m.value = item.unit.empty() ? fmt::format("{:.0f}", v) : fmt::format("{:.0f} {}", v, item.unit);
    const bool low = item.warnBelow && v <= *item.warnBelow;
    const bool high = item.warnAbove && v >= *item.warnAbove;
    m.level = low || high ? Level::warning : Level::ok;
    return m;
}

} // namespace

std::vector<VehicleMessage> VehicleMessageCenter::evaluate(const std::map<std::uint8_t, double>& values,
                                                           int dtcCount,
                                                           const std::optional<MonitorStatus>& monitorStatus,
                                                           const std::map<std::string, MappedDID>& mappedDIDs) {
    std::vector<VehicleMessage> messages;
    messages.push_back(warningLamp(dtcCount, monitorStatus));
    if (const auto v = valueOf(values, 0x05)) messages.push_back(coolant(*v));
    if (const auto v = valueOf(values, 0x5C)) messages.push_back(oilTemperature(*v));
    if (const auto v = valueOf(values, 0x42)) messages.push_back(battery(*v));
    if (const auto v = valueOf(values, 0x2F)) messages.push_back(fuelLevel(*v));
    if (monitorStatus) messages.push_back(readiness(*monitorStatus));
    if (const auto v = valueOf(values, 0x21); v && *v > 0) messages.push_back(distanceWithLampOn(*v));
    for (const ProprietaryItem& item : proprietaryItems) messages.push_back(proprietary(item, mappedDIDs));

    std::stable_sort(messages.begin(), messages.end(), [](const VehicleMessage& a, const VehicleMessage& b) {
        return rawValue(a.level) > rawValue(b.level);
    });
    return messages;
}

} // namespace veq
