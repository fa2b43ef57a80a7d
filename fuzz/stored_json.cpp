#include "VEQEngine/Coding/AuditLog.hpp"
#include "VEQEngine/Coding/ECUBackup.hpp"
#include "VEQVehicle/VehicleCalibration.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

// The JSON the system reads back from files it does not control alone: an ECU backup file, an
// audit entry, the user's calibration. The first byte picks the reader, the rest is the file.
// Each reader either refuses the text or gives a value that survives its own round trip.
namespace {

void backupFile(std::string_view text) {
    const auto backup = veq::ECUBackup::decode(text);
    if (!backup) return;
    const auto again = veq::ECUBackup::decode(backup->encoded());
    if (!again || *again != *backup) __builtin_trap();
    (void)backup->isIntact();
}

void auditEntry(std::string_view text) {
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded()) return;
    veq::AuditEntry entry;
    try {
        entry = json.get<veq::AuditEntry>();
    } catch (const nlohmann::json::exception&) {
        return;
    }
    // The stored time may carry more digits than are written back: stable after one trip.
    const auto once = nlohmann::json(entry).get<veq::AuditEntry>();
    if (nlohmann::json(once).get<veq::AuditEntry>() != once) __builtin_trap();
    const std::string line = entry.logLine();
    if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    if (std::count(line.begin(), line.end(), '\t') != 7) __builtin_trap();
}

void calibration(std::string_view text) {
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded()) return;
    veq::VehicleCalibration decoded;
    try {
        decoded = json.get<veq::VehicleCalibration>();
    } catch (const std::exception&) {
        return; // nlohmann's errors and the calibration's own
    }
    // A number beyond the double range reads as an infinity, which JSON cannot write back.
    const bool finite = std::isfinite(decoded.speedFactor) && std::isfinite(decoded.fuelLevelFactor) &&
                        std::isfinite(decoded.temperatureOffsetC) &&
                        (!decoded.tankCapacityL || std::isfinite(*decoded.tankCapacityL));
    if (finite && nlohmann::json(decoded).get<veq::VehicleCalibration>() != decoded) __builtin_trap();
    (void)decoded.apply(50.0, 0x0D);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
    case 0: backupFile(text); break;
    case 1: auditEntry(text); break;
    default: calibration(text); break;
    }
    return 0;
}
