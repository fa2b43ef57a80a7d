#include "VEQVehicle/EngineIdentifier.hpp"

#include "VEQSupport/UnicodeText.hpp"

#include <algorithm>

namespace veq {

namespace {

constexpr std::size_t kKeyLength = 3;
constexpr std::string_view kPartNumberSource = "numéro de pièce du calculateur moteur (";
constexpr std::string_view kFuelTypeSource = "type de carburant déclaré par le véhicule (PID 0x51)";

const EngineIdentifier::Family* familyOf(std::string_view key) {
    const auto& rows = EngineIdentifier::families;
    const auto it = std::find_if(rows.begin(), rows.end(), [key](const auto& row) { return row.key == key; });
    return it == rows.end() ? nullptr : &*it;
}

} // namespace

std::optional<EngineIdentifier> EngineIdentifier::fromPartNumber(const std::optional<std::string>& partNumber) {
    if (!partNumber) return std::nullopt;
    std::string key;
    std::size_t kept = 0;
    for (std::string_view ch : unicode::characters(*partNumber)) {
        if (!unicode::isNumeric(ch)) continue;
        key += ch;
        if (++kept == kKeyLength) break;
    }
    if (kept < kKeyLength) return std::nullopt;
    const Family* row = familyOf(key);
    if (row == nullptr) return std::nullopt;

    const std::string_view name = row->displayName;
    return EngineIdentifier{
        .family = std::string(name.substr(0, name.find(' '))),
        .displayName = std::string(name),
        .isDiesel = row->isDiesel,
        .isHybrid = row->isHybrid,
        .source = std::string(kPartNumberSource) + *partNumber + ")",
    };
}

std::optional<EngineIdentifier> EngineIdentifier::fromFuelType(const std::optional<std::string>& label, bool isDiesel,
                                                               bool isHybrid) {
    if (!label) return std::nullopt;
    return EngineIdentifier{
        .family = isDiesel ? "Diesel" : "Essence",
        .displayName = *label,
        .isDiesel = isDiesel,
        .isHybrid = isHybrid,
        .source = std::string(kFuelTypeSource),
    };
}

std::optional<bool> EngineIdentifier::agrees(std::optional<bool> withDiesel) const {
    if (!withDiesel) return std::nullopt;
    return *withDiesel == isDiesel;
}

} // namespace veq
