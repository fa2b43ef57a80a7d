#include "VEQVehicle/VehicleProfile.hpp"

#include "VEQVehicle/JSONDecoding.hpp"
#include "VEQSupport/UnicodeText.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <string_view>

namespace veq {

namespace {

constexpr std::string_view kEnDash = "\u2013";
constexpr std::string_view kHybridPrefix = "hybrid";

std::string yearsText(const std::vector<std::int64_t>& years) {
    if (years.empty()) return {};
    const auto [low, high] = std::minmax_element(years.begin(), years.end());
    if (*low == *high) return fmt::format("{}", *low);
    return fmt::format("{}{}{}", *low, kEnDash, *high);
}

std::vector<VehicleBus> bussesWhere(const std::vector<VehicleBus>& busses, bool reachable) {
    std::vector<VehicleBus> out;
    std::copy_if(busses.begin(), busses.end(), std::back_inserter(out),
                 [reachable](const VehicleBus& b) { return b.reachable == reachable; });
    return out;
}

std::vector<std::int64_t> integers(const nlohmann::json& object, std::string_view key, const std::string& path) {
    return jsonfield::asList<std::int64_t>(jsonfield::require(object, key, path), jsonfield::member(path, key),
                                           [](const nlohmann::json& v, const std::string& p) {
                                               return jsonfield::asInteger(v, p);
                                           });
}

} // namespace

std::string VehicleBus::speedLabel() const {
    if (speed < 1'000'000) return fmt::format("{} kbit/s", speed / 1000);
    return fmt::format("{} Mbit/s", speed / 1'000'000);
}

std::string VehicleProfile::displayName() const {
    return fmt::format("{} {} ({}) {}", manufacturer, model, chassis, yearsText(years));
}

std::string normalisedFuel(const std::string& fuel) {
    if (!fuel.starts_with(kHybridPrefix)) return fuel;
    return unicode::lowercased(std::string_view(fuel).substr(kHybridPrefix.size()));
}

std::optional<bool> VehicleProfile::matchesFuel(const std::optional<std::string>& fuel) const {
    if (!fuelType || !fuel) return std::nullopt;
    return normalisedFuel(*fuelType) == normalisedFuel(*fuel);
}

std::vector<VehicleBus> VehicleProfile::reachableBusses() const { return bussesWhere(busses, true); }

std::vector<VehicleBus> VehicleProfile::unreachableBusses() const { return bussesWhere(busses, false); }

bool VehicleProfile::isReachable(const VehicleECU& ecu) const {
    const auto it = std::find_if(busses.begin(), busses.end(), [&](const VehicleBus& b) { return b.name == ecu.bus; });
    return it != busses.end() && it->reachable;
}

// ---- decoding

VehicleBus decodeVehicleBus(const nlohmann::json& value, const std::string& path) {
    using namespace jsonfield;
    requireObject(value, path);
    VehicleBus bus;
    bus.name = text(value, "name", path);
    bus.speed = integer(value, "speed", path);
    bus.obdPins = integers(value, "obdPins", path);
    bus.reachable = boolean(value, "reachable", path);
    bus.note = optionalText(value, "note", path);
    return bus;
}

VehicleECU decodeVehicleECU(const nlohmann::json& value, const std::string& path) {
    using namespace jsonfield;
    requireObject(value, path);
    VehicleECU ecu;
    ecu.name = text(value, "name", path);
    ecu.txId = text(value, "txId", path);
    ecu.rxId = text(value, "rxId", path);
    ecu.bus = text(value, "bus", path);
    return ecu;
}

GaugeRange decodeGaugeRange(const nlohmann::json& value, const std::string& path) {
    using namespace jsonfield;
    requireObject(value, path);
    GaugeRange range;
    range.min = number(value, "min", path);
    if (const auto* nominal = find(value, "nominal")) {
        range.nominal = asList<double>(*nominal, member(path, "nominal"),
                                       [](const nlohmann::json& v, const std::string& p) { return asNumber(v, p); });
    }
    range.warn = optionalNumber(value, "warn", path);
    range.critical = optionalNumber(value, "critical", path);
    range.max = optionalNumber(value, "max", path);
    return range;
}

VehicleProfile decodeVehicleProfile(const nlohmann::json& value, const std::string& path) {
    using namespace jsonfield;
    requireObject(value, path);
    VehicleProfile p;
    p.id = text(value, "id", path);
    p.manufacturer = text(value, "manufacturer", path);
    p.model = text(value, "model", path);
    p.chassis = text(value, "chassis", path);
    p.years = integers(value, "years", path);
    p.platform = text(value, "platform", path);
    p.headUnit = optionalText(value, "headUnit", path);
    p.engine = optionalText(value, "engine", path);
    p.busses = asList<VehicleBus>(require(value, "busses", path), member(path, "busses"),
                                  [](const nlohmann::json& v, const std::string& at) { return decodeVehicleBus(v, at); });
    p.ecus = asList<VehicleECU>(require(value, "ecus", path), member(path, "ecus"),
                                [](const nlohmann::json& v, const std::string& at) { return decodeVehicleECU(v, at); });
    if (const auto* ranges = find(value, "gaugeRanges")) {
        const std::string at = member(path, "gaugeRanges");
        requireObject(*ranges, at);
        std::map<std::string, GaugeRange> decoded;
        for (const auto& [name, range] : ranges->items()) decoded.emplace(name, decodeGaugeRange(range, member(at, name)));
        p.gaugeRanges = std::move(decoded);
    }
    p.fuelType = optionalText(value, "fuelType", path);
    p.tankCapacityL = optionalNumber(value, "tankCapacityL", path);
    p.redlineRPM = optionalNumber(value, "redlineRPM", path);
    p.maxRPM = optionalNumber(value, "maxRPM", path);
    return p;
}

void from_json(const nlohmann::json& in, VehicleBus& bus) { bus = decodeVehicleBus(in); }
void from_json(const nlohmann::json& in, VehicleECU& ecu) { ecu = decodeVehicleECU(in); }
void from_json(const nlohmann::json& in, GaugeRange& range) { range = decodeGaugeRange(in); }
void from_json(const nlohmann::json& in, VehicleProfile& profile) { profile = decodeVehicleProfile(in); }

// ---- encoding

namespace {

template <class T>
void putOptional(nlohmann::json& out, const char* key, const std::optional<T>& value) {
    if (value) out[key] = *value;
}

} // namespace

void to_json(nlohmann::json& out, const VehicleBus& bus) {
    out = nlohmann::json::object();
    out["name"] = bus.name;
    out["speed"] = bus.speed;
    out["obdPins"] = bus.obdPins;
    out["reachable"] = bus.reachable;
    putOptional(out, "note", bus.note);
}

void to_json(nlohmann::json& out, const VehicleECU& ecu) {
    out = nlohmann::json{{"name", ecu.name}, {"txId", ecu.txId}, {"rxId", ecu.rxId}, {"bus", ecu.bus}};
}

void to_json(nlohmann::json& out, const GaugeRange& range) {
    out = nlohmann::json::object();
    out["min"] = range.min;
    putOptional(out, "nominal", range.nominal);
    putOptional(out, "warn", range.warn);
    putOptional(out, "critical", range.critical);
    putOptional(out, "max", range.max);
}

void to_json(nlohmann::json& out, const VehicleProfile& p) {
    out = nlohmann::json::object();
    out["id"] = p.id;
    out["manufacturer"] = p.manufacturer;
    out["model"] = p.model;
    out["chassis"] = p.chassis;
    out["years"] = p.years;
    out["platform"] = p.platform;
    putOptional(out, "headUnit", p.headUnit);
    putOptional(out, "engine", p.engine);
    out["busses"] = p.busses;
    out["ecus"] = p.ecus;
    putOptional(out, "gaugeRanges", p.gaugeRanges);
    putOptional(out, "fuelType", p.fuelType);
    putOptional(out, "tankCapacityL", p.tankCapacityL);
    putOptional(out, "redlineRPM", p.redlineRPM);
    putOptional(out, "maxRPM", p.maxRPM);
}

} // namespace veq

// ---- hashing, over every property in declaration order

namespace {

template <class T>
void combine(std::size_t& seed, const T& value);
template <class T>
void combine(std::size_t& seed, const std::optional<T>& value);
template <class T>
void combine(std::size_t& seed, const std::vector<T>& values);
template <class K, class V>
void combine(std::size_t& seed, const std::map<K, V>& values);

template <class T>
void combine(std::size_t& seed, const T& value) {
    seed ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

template <class T>
void combine(std::size_t& seed, const std::optional<T>& value) {
    combine(seed, value.has_value());
    if (value) combine(seed, *value);
}

template <class T>
void combine(std::size_t& seed, const std::vector<T>& values) {
    combine(seed, values.size());
    for (const auto& v : values) combine(seed, v);
}

template <class K, class V>
void combine(std::size_t& seed, const std::map<K, V>& values) {
    combine(seed, values.size());
    for (const auto& [k, v] : values) {
        combine(seed, k);
        combine(seed, v);
    }
}

// The hash of a value's properties, combined in the order given.
template <class... Fields>
std::size_t hashOf(const Fields&... fields) {
    std::size_t seed = 0;
    (combine(seed, fields), ...);
    return seed;
}

} // namespace

std::size_t std::hash<veq::VehicleBus>::operator()(const veq::VehicleBus& b) const noexcept {
    return hashOf(b.name, b.speed, b.obdPins, b.reachable, b.note);
}

std::size_t std::hash<veq::VehicleECU>::operator()(const veq::VehicleECU& e) const noexcept {
    return hashOf(e.name, e.txId, e.rxId, e.bus);
}

std::size_t std::hash<veq::GaugeRange>::operator()(const veq::GaugeRange& r) const noexcept {
    return hashOf(r.min, r.nominal, r.warn, r.critical, r.max);
}

std::size_t std::hash<veq::VehicleProfile>::operator()(const veq::VehicleProfile& p) const noexcept {
    return hashOf(p.id, p.manufacturer, p.model, p.chassis, p.years, p.platform, p.headUnit, p.engine, p.busses,
                  p.ecus, p.gaugeRanges, p.fuelType, p.tankCapacityL, p.redlineRPM, p.maxRPM);
}
