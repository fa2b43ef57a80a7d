#include "VEQStore/Catalog/SessionRecord.hpp"

namespace veq {

SessionRecord::SessionRecord(Date startDate, std::optional<std::string> vin, std::optional<std::string> profileID,
                             std::optional<std::string> profileName, std::string fileName)
    : startDate(startDate), vin(std::move(vin)), profileID(std::move(profileID)),
      profileName(std::move(profileName)), fileName(std::move(fileName)) {}

double SessionRecord::duration() const {
    const Date end = endDate.value_or(std::chrono::system_clock::now());
    return std::chrono::duration<double>(end - startDate).count();
}

double SessionRecord::consumptionL100() const { return distanceKm > 0.1 ? fuelLiters / distanceKm * 100.0 : 0.0; }

std::filesystem::path SessionRecord::fileURL(const std::filesystem::path& folder) const { return folder / fileName; }

} // namespace veq
