#include "VEQProtocol/PIDCatalog.hpp"

#include "VEQProtocol/ReadinessMonitors.hpp"
#include "VEQProtocol/StatusEnums.hpp"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace veq {

namespace {

using U = MeasurementUnit;
using R = ClosedRange;
using Bytes = std::span<const std::uint8_t>;
using Operands = std::span<const double>;

// Formulas over the data bytes A, B, C, ... (as doubles 0...255). Each is evaluated exactly in
// the order it is written, so that the same bytes give the same double in every export.
double aPlain(Operands x) { return x[0]; }
double aPercent(Operands x) { return x[0] * 100 / 255; }
double aMinus40(Operands x) { return x[0] - 40; }
double aTrim(Operands x) { return x[0] * 100 / 128 - 100; }
double aTimes3(Operands x) { return x[0] * 3; }
double aHalvesMinus64(Operands x) { return x[0] * 0.5 - 64; }
double abPlain(Operands x) { return 256 * x[0] + x[1]; }
double abQuarters(Operands x) { return (256 * x[0] + x[1]) * 0.25; }
double abFifths(Operands x) { return (256 * x[0] + x[1]) / 5; }
double abTwentieths(Operands x) { return (256 * x[0] + x[1]) / 20; }
double abHundredths(Operands x) { return (256 * x[0] + x[1]) / 100; }
double abThousandths(Operands x) { return (256 * x[0] + x[1]) / 1000; }
double abLambda(Operands x) { return (256 * x[0] + x[1]) / 32768; }
double abPercent(Operands x) { return (256 * x[0] + x[1]) * 100 / 255; }
double abTimes0079(Operands x) { return (256 * x[0] + x[1]) * 0.079; }
double abTimes10(Operands x) { return (256 * x[0] + x[1]) * 10; }
double abTimes60(Operands x) { return (256 * x[0] + x[1]) * 60; }
double abTenthsMinus40(Operands x) { return (256 * x[0] + x[1]) / 10 - 40; }
double bMinus40(Operands x) { return x[1] - 40; }
double bcThirtySeconds(Operands x) { return (256 * x[1] + x[2]) / 32; }
double bcOver128(Operands x) { return (256 * x[1] + x[2]) / 128; }
double bcTenthsMinus40(Operands x) { return (256 * x[1] + x[2]) / 10 - 40; }
double deThirtySeconds(Operands x) { return (256 * x[3] + x[4]) / 32; }
double abcdTenths(Operands x) { return (16777216 * x[0] + 65536 * x[1] + 256 * x[2] + x[3]) / 10; }
double bLowNibble(Operands x) { return std::fmod(x[1], 16); }

// Decoders of the rows that are not one formula. None checks the row's byte count beyond
// what it reads; each gives nothing for an empty reply.
std::optional<PIDReading> monitorFlags(Bytes data) {
    const auto status = MonitorStatus::decode(data);
    if (!status) return std::nullopt;
    return PIDReading::flags(status->flags());
}

std::optional<PIDReading> fuelSystemFlags(Bytes data) {
    if (data.empty()) return std::nullopt;
    std::vector<PIDReading::Flag> flags{{"Système 1 : " + describe<FuelSystemStatus>(data[0]), true}};
    if (data.size() >= 2 && data[1] != 0)
        flags.push_back({"Système 2 : " + describe<FuelSystemStatus>(data[1]), true});
    return PIDReading::flags(std::move(flags));
}

std::optional<PIDReading> secondaryAirFlag(Bytes data) {
    if (data.empty()) return std::nullopt;
    return PIDReading::flags({{describe<SecondaryAirStatus>(data[0]), true}});
}

// Bit i of A is sensor i % 4 + 1 of bank i / 4 + 1, least significant bit first.
constexpr std::array<std::string_view, 8> kOxygenSensorNames{
    "O2 1-1", "O2 1-2", "O2 1-3", "O2 1-4", "O2 2-1", "O2 2-2", "O2 2-3", "O2 2-4",
};

std::optional<PIDReading> oxygenSensorFlags(Bytes data) {
    if (data.empty()) return std::nullopt;
    std::vector<PIDReading::Flag> flags;
    for (std::size_t i = 0; i < kOxygenSensorNames.size(); ++i)
        flags.push_back({std::string(kOxygenSensorNames[i]), ((data[0] >> i) & 1) != 0});
    return PIDReading::flags(std::move(flags));
}

std::optional<PIDReading> obdStandardText(Bytes data) {
    if (data.empty()) return std::nullopt;
    return PIDReading::text(describe<OBDStandard>(data[0]));
}

std::optional<PIDReading> fuelTypeText(Bytes data) {
    if (data.empty()) return std::nullopt;
    return PIDReading::text(describe<FuelType>(data[0]));
}

PIDDefinition scalar(std::uint8_t pid, std::string name, int bytes, const MeasurementUnit& unit,
                     std::optional<ClosedRange> range, std::optional<ClosedRange> plausible,
                     double (*formula)(Operands)) {
    return PIDDefinition::scalar(pid, std::move(name), bytes, unit, range, plausible, formula);
}

PIDDefinition coded(std::uint8_t pid, std::string name, int bytes, const MeasurementUnit& unit,
                    std::optional<ClosedRange> range, std::optional<ClosedRange> plausible,
                    std::optional<PIDReading> (*decode)(Bytes)) {
    return {OBDMode::currentData, pid, std::move(name), bytes, unit, range, plausible, decode};
}

std::vector<PIDDefinition> buildAll() {
    using PIDCatalog::supportBitmap;
    return {
        supportBitmap(0x00),
        supportBitmap(0x20),
        supportBitmap(0x40),
        coded (0x01, "Statut moniteurs depuis effacement",           4, U::none,              {},                      {},              monitorFlags),
        coded (0x03, "Statut système carburant",                     2, U::none,              {},                      {},              fuelSystemFlags),
        scalar(0x04, "Charge moteur calculée",                       1, U::percent,           R{0, 100},               {},              aPercent),
        scalar(0x05, "Température liquide de refroidissement",       1, U::celsius,           R{-40, 215},             {},              aMinus40),
        scalar(0x06, "Correction court terme banc 1",                1, U::percent,           R{-100, 99.2},           {},              aTrim),
        scalar(0x07, "Correction long terme banc 1",                 1, U::percent,           R{-100, 99.2},           {},              aTrim),
        scalar(0x08, "Correction court terme banc 2",                1, U::percent,           R{-100, 99.2},           {},              aTrim),
        scalar(0x09, "Correction long terme banc 2",                 1, U::percent,           R{-100, 99.2},           {},              aTrim),
        scalar(0x0A, "Pression carburant",                           1, U::kilopascals,       R{0, 765},               {},              aTimes3),
        scalar(0x0B, "Pression absolue collecteur d'admission",      1, U::kilopascals,       R{0, 255},               {},              aPlain),
        scalar(0x0C, "Régime moteur",                                2, U::rpm,               R{0, 8000},              {},              abQuarters),
        scalar(0x0D, "Vitesse véhicule",                             1, U::kilometersPerHour, R{0, 255},               {},              aPlain),
        scalar(0x0E, "Avance à l'allumage",                          1, U::degrees,           R{-64, 63.5},            {},              aHalvesMinus64),
        scalar(0x0F, "Température air d'admission",                  1, U::celsius,           R{-40, 215},             {},              aMinus40),
        scalar(0x10, "Débit d'air massique (MAF)",                   2, U::gramsPerSecond,    R{0, 655.35},            {},              abHundredths),
        scalar(0x11, "Position papillon",                            1, U::percent,           R{0, 100},               {},              aPercent),
        coded (0x12, "Statut air secondaire",                        1, U::none,              {},                      {},              secondaryAirFlag),
        coded (0x13, "Sondes lambda présentes (2 bancs)",            1, U::none,              {},                      {},              oxygenSensorFlags),
        coded (0x1C, "Norme OBD supportée",                          1, U::none,              {},                      {},              obdStandardText),
        scalar(0x1F, "Temps depuis démarrage moteur",                2, U::seconds,           R{0, 65535},             {},              abPlain),
        scalar(0x21, "Distance parcourue témoin allumé",             2, U::kilometers,        R{0, 65535},             {},              abPlain),
        scalar(0x22, "Pression rampe carburant (rel. collecteur)",   2, U::kilopascals,       R{0, 5177.265},          {},              abTimes0079),
        scalar(0x23, "Pression rampe carburant (haute pression)",    2, U::kilopascals,       R{0, 655350},            {},              abTimes10),
        scalar(0x2C, "EGR commandée",                                1, U::percent,           R{0, 100},               {},              aPercent),
        scalar(0x2D, "Erreur EGR",                                   1, U::percent,           R{-100, 99.2},           {},              aTrim),
        scalar(0x2F, "Niveau réservoir carburant",                   1, U::percent,           R{0, 100},               {},              aPercent),
        scalar(0x30, "Réchauffages depuis effacement",               1, U::count,             R{0, 255},               {},              aPlain),
        scalar(0x31, "Distance depuis effacement codes",             2, U::kilometers,        R{0, 65535},             {},              abPlain),
        scalar(0x33, "Pression barométrique absolue",                1, U::kilopascals,       R{0, 255},               {},              aPlain),
        scalar(0x3C, "Température catalyseur B1S1",                  2, U::celsius,           R{-40, 6513.5},          {},              abTenthsMinus40),
        coded (0x41, "Statut moniteurs cycle courant",               4, U::none,              {},                      {},              monitorFlags),
        scalar(0x42, "Tension calculateur",                          2, U::volts,             R{0, 65.535},            {},              abThousandths),
        scalar(0x43, "Charge absolue",                               2, U::percent,           R{0, 25700},             {},              abPercent),
        scalar(0x44, "Ratio d'équivalence commandé (lambda)",        2, U::ratio,             R{0, 2},                 {},              abLambda),
        scalar(0x45, "Position papillon relative",                   1, U::percent,           R{0, 100},               {},              aPercent),
        scalar(0x46, "Température air ambiant",                      1, U::celsius,           R{-40, 215},             {},              aMinus40),
        scalar(0x47, "Position papillon absolue B",                  1, U::percent,           R{0, 100},               {},              aPercent),
        scalar(0x49, "Position pédale accélérateur D",               1, U::percent,           R{0, 100},               {},              aPercent),
        scalar(0x4A, "Position pédale accélérateur E",               1, U::percent,           R{0, 100},               {},              aPercent),
        scalar(0x4C, "Actionneur papillon commandé",                 1, U::percent,           R{0, 100},               {},              aPercent),
        scalar(0x4D, "Temps de fonctionnement témoin allumé",        2, U::seconds,           R{0, 65535},             {},              abTimes60),
        scalar(0x4E, "Temps depuis effacement codes",                2, U::seconds,           R{0, 65535},             {},              abTimes60),
        coded (0x51, "Type de carburant",                            1, U::none,              {},                      {},              fuelTypeText),
        scalar(0x52, "Taux d'éthanol",                               1, U::percent,           R{0, 100},               {},              aPercent),
        scalar(0x5C, "Température huile moteur",                     1, U::celsius,           R{-40, 215},             {},              aMinus40),
        scalar(0x5E, "Débit carburant moteur",                       2, U::litersPerHour,     R{0, 3276.75},           {},              abTwentieths),
        scalar(0x66, "Débit d'air capteur A",                        5, U::gramsPerSecond,    R{0, 2047},              R{0, 700},       bcThirtySeconds),
        scalar(0x67, "Température liquide capteur 1",                3, U::celsius,           R{-40, 215},             R{-40, 215},     bMinus40),
        scalar(0x68, "Température air admission capteur 1",          3, U::celsius,           R{-40, 215},             R{-40, 215},     bMinus40),
        scalar(0x6B, "Température EGR",                              3, U::celsius,           R{-40, 215},             R{-40, 900},     bMinus40),
        scalar(0x70, "Pression de suralimentation",                  5, U::kilopascals,       R{0, 300},               R{0, 500},       deThirtySeconds),
        scalar(0x73, "Pression d'échappement",                       5, U::kilopascals,       R{0, 500},               R{0, 500},       bcOver128),
        scalar(0x75, "Température turbo A",                          7, U::celsius,           R{-40, 1200},            R{-40, 1200},    bMinus40),
        scalar(0x77, "Température échangeur d'air",                  5, U::celsius,           R{-40, 215},             R{-40, 215},     bMinus40),
        scalar(0x78, "Température gaz d'échappement B1",             9, U::celsius,           R{-40, 1400},            R{-40, 1400},    bcTenthsMinus40),
        scalar(0x79, "Température gaz d'échappement B2",             9, U::celsius,           R{-40, 1400},            R{-40, 1400},    bcTenthsMinus40),
        scalar(0x7C, "Température FAP",                              9, U::celsius,           R{-40, 1400},            R{-40, 1400},    bcTenthsMinus40),
        scalar(0x87, "Pression collecteur absolue A",                5, U::kilopascals,       R{0, 300},               R{0, 500},       bcThirtySeconds),
        scalar(0x9E, "Débit des gaz d'échappement",                  2, U::kilogramsPerHour,  R{0, 4000},              R{0, 4000},      abFifths),
        scalar(0xA6, "Compteur kilométrique",                        4, U::kilometers,        R{0, 429496729.5},       R{0, 2000000},   abcdTenths),
        supportBitmap(0x60),
        supportBitmap(0x80),
        supportBitmap(0xA0),
        scalar(0xA4, "Rapport engagé",                               4, U::none,              R{0, 15},                {},              bLowNibble),
    };
}

std::unordered_map<std::uint8_t, const PIDDefinition*> buildIndex() {
    std::unordered_map<std::uint8_t, const PIDDefinition*> index;
    for (const PIDDefinition& d : PIDCatalog::all()) {
        if (!index.emplace(d.pid, &d).second)
            throw std::logic_error(fmt::format("PID 0x{:02X} figure deux fois au catalogue", d.pid));
    }
    return index;
}

} // namespace

namespace PIDCatalog {

const std::vector<PIDDefinition>& all() {
    static const std::vector<PIDDefinition> rows = buildAll();
    return rows;
}

const std::unordered_map<std::uint8_t, const PIDDefinition*>& byPID() {
    static const auto index = buildIndex();
    return index;
}

const PIDDefinition* definition(std::uint8_t pid) {
    const auto& index = byPID();
    const auto it = index.find(pid);
    return it == index.end() ? nullptr : it->second;
}

PIDDefinition supportBitmap(std::uint8_t base) {
    // Computed in int: for a base of 0xE0 the range ends at 0x100, which no parameter number
    // can hold, so that bit is left out rather than wrapped round to 0x00.
    const int first = base + 1;
    const int last = base + 32;
    std::string name = fmt::format("PIDs supportés [0x{:02X}\u20130x{:02X}]", first, last);
    auto decode = [base](Bytes data) -> std::optional<PIDReading> {
        if (data.size() < 4) return std::nullopt;
        const std::uint32_t word = (std::uint32_t{data[0]} << 24) | (std::uint32_t{data[1]} << 16) |
                                   (std::uint32_t{data[2]} << 8) | std::uint32_t{data[3]};
        std::set<std::uint8_t> supported;
        for (int i = 0; i < 32; ++i) {
            const int pid = base + i + 1;
            if (pid <= 0xFF && ((word >> (31 - i)) & 1) != 0) supported.insert(static_cast<std::uint8_t>(pid));
        }
        return PIDReading::supportBitmap(base, std::move(supported));
    };
    return {OBDMode::currentData, base, std::move(name), 4, MeasurementUnit::none, std::nullopt, std::nullopt,
            std::move(decode)};
}

} // namespace PIDCatalog

} // namespace veq
