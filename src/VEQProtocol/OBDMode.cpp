#include "VEQProtocol/OBDMode.hpp"

namespace veq {

std::string_view description(OBDMode m) {
    switch (m) {
    case OBDMode::currentData: return "Mode 01 — Données temps réel";
    case OBDMode::freezeFrame: return "Mode 02 — Freeze frame";
    case OBDMode::storedDTCs: return "Mode 03 — Codes confirmés";
    case OBDMode::clearDTCs: return "Mode 04 — Effacement";
    case OBDMode::oxygenSensorTest: return "Mode 05 — Test sondes lambda";
    case OBDMode::onBoardMonitorTest: return "Mode 06 — Moniteurs embarqués";
    case OBDMode::pendingDTCs: return "Mode 07 — Codes en attente";
    case OBDMode::controlOperation: return "Mode 08 — Contrôle composant";
    case OBDMode::vehicleInfo: return "Mode 09 — Informations véhicule";
    case OBDMode::permanentDTCs: return "Mode 0A — Codes permanents";
    }
    return {};
}

} // namespace veq
