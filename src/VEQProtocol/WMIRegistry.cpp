#include "VEQProtocol/WMIRegistry.hpp"

#include "VEQSupport/UnicodeText.hpp"

#include <vector>

namespace veq {

namespace {

struct MakeRow {
    std::string_view manufacturer;
    std::string_view country;
    std::string_view codes; // separated by single spaces
};

struct PrefixRow {
    std::string_view prefix;
    std::string_view manufacturer;
    std::string_view country;
};

constexpr MakeRow kMakes[] = {
    {"Mercedes-Benz",           "Allemagne",   "WDD WDC WDB WDF W1K W1N W1V 4JG 55S"},
    {"Daimler Truck",           "Allemagne",   "WDA W1A WMX"},
    {"Volkswagen",              "Allemagne",   "WVW WVG WV1 WV2 1VW 3VW 9BW AAV"},
    {"Audi",                    "Allemagne",   "WAU WA1 WUA TRU 93U"},
    {"BMW",                     "Allemagne",   "WBA WBS WBW WBY 4US 5UX 5YM"},
    {"Porsche",                 "Allemagne",   "WP0 WP1"},
    {"MINI",                    "Allemagne",   "WEB WMW SAX"},
    {"Opel",                    "Allemagne",   "W0L W0V VNE"},
    {"Ford (Europe)",           "Allemagne",   "WF0"},
    {"Renault",                 "France",      "VF1 VF2"},
    {"Peugeot",                 "France",      "VF3"},
    {"Citroën",                 "France",      "VF7"},
    {"DS",                      "France",      "VR1 VR3"},
    {"Renault Trucks",          "France",      "VF6 VG5"},
    {"Fiat",                    "Italie",      "ZFA"},
    {"Ferrari",                 "Italie",      "ZFF"},
    {"Alfa Romeo",              "Italie",      "ZAR"},
    {"Lancia",                  "Italie",      "ZLA"},
    {"Lamborghini",             "Italie",      "ZHW"},
    {"Maserati",                "Italie",      "ZAM"},
    {"SEAT",                    "Espagne",     "VSS"},
    {"Škoda",                   "Tchéquie",    "TMB"},
    {"Volvo",                   "Suède",       "YV1 YV4 YV2"},
    {"Saab",                    "Suède",       "YS3"},
    {"Land Rover",              "Royaume-Uni", "SAL"},
    {"Jaguar",                  "Royaume-Uni", "SAJ"},
    {"Bentley / Lotus",         "Royaume-Uni", "SCC SCB"},
    {"Aston Martin",            "Royaume-Uni", "SCF"},
    {"Toyota",                  "Japon",       "JTD JTH JTM JTN JTE JT2 JT3 SB1"},
    {"Honda",                   "Japon",       "JHM JHL JHG SHH 1HG 2HG"},
    {"Nissan",                  "Japon",       "JN1 JN6 JN8 SJN VSK"},
    {"Mazda",                   "Japon",       "JMZ JM1 JM3"},
    {"Subaru",                  "Japon",       "JF1 JF2"},
    {"Mitsubishi",              "Japon",       "JMB JA3 JA4"},
    {"Suzuki",                  "Japon",       "JS1 JS2 JS3 TSM"},
    {"Hyundai",                 "Corée",       "KMH KMF TMA 5NP NLH"},
    {"Kia",                     "Corée",       "KNA KNB KND KNE U5Y 5XY"},
    {"Ford",                    "États-Unis",  "1FA 1FB 1FC 1FD 1FM 1FT 3FA"},
    {"Chevrolet",               "États-Unis",  "1G1 1GC 1GB 3G1"},
    {"GMC",                     "États-Unis",  "1GT"},
    {"Chrysler / Dodge / Jeep", "États-Unis",  "1C3 1C4 1C6 2C3 3C4"},
    {"Tesla",                   "États-Unis",  "5YJ 7SA"},
};

constexpr PrefixRow kPrefixes[] = {
    {"WV", "Volkswagen",                            "Allemagne"},
    {"WA", "Audi",                                  "Allemagne"},
    {"WB", "BMW",                                   "Allemagne"},
    {"WD", "Mercedes-Benz",                         "Allemagne"},
    {"WP", "Porsche",                               "Allemagne"},
    {"VF", "Constructeur français (PSA / Renault)", "France"},
    {"ZF", "Fiat",                                  "Italie"},
    {"YV", "Volvo",                                 "Suède"},
    {"SA", "Constructeur britannique (JLR)",        "Royaume-Uni"},
    {"KL", "GM Korea / Chevrolet",                  "Corée"},
    {"KM", "Hyundai",                               "Corée"},
    {"KN", "Kia",                                   "Corée"},
    {"JT", "Toyota",                                "Japon"},
    {"JH", "Honda",                                 "Japon"},
    {"JN", "Nissan",                                "Japon"},
};

std::unordered_map<std::string, WMIRegistry::Make> buildTable() {
    std::unordered_map<std::string, WMIRegistry::Make> table;
    for (const MakeRow& row : kMakes) {
        const WMIRegistry::Make make{std::string(row.manufacturer), std::string(row.country)};
        std::string_view codes = row.codes;
        while (!codes.empty()) {
            const std::size_t space = codes.find(' ');
            table.insert_or_assign(std::string(codes.substr(0, space)), make);
            codes = space == std::string_view::npos ? std::string_view{} : codes.substr(space + 1);
        }
    }
    return table;
}

std::unordered_map<std::string, WMIRegistry::Make> buildPrefixTable() {
    std::unordered_map<std::string, WMIRegistry::Make> table;
    for (const PrefixRow& row : kPrefixes) {
        table.insert_or_assign(std::string(row.prefix),
                               WMIRegistry::Make{std::string(row.manufacturer), std::string(row.country)});
    }
    return table;
}

} // namespace

const std::unordered_map<std::string, WMIRegistry::Make>& WMIRegistry::table() {
    static const auto built = buildTable();
    return built;
}

const std::unordered_map<std::string, WMIRegistry::Make>& WMIRegistry::prefixTable() {
    static const auto built = buildPrefixTable();
    return built;
}

std::optional<WMIRegistry::Make> WMIRegistry::make(std::string_view vin) {
    const std::string upper = unicode::upperCased(vin);
    const std::vector<std::string_view> chars = unicode::characters(upper);
    if (chars.size() < 3) return std::nullopt;
    const std::string prefix = std::string(chars[0]).append(chars[1]);
    if (auto it = table().find(std::string(prefix).append(chars[2])); it != table().end()) return it->second;
    if (auto it = prefixTable().find(prefix); it != prefixTable().end()) return it->second;
    return std::nullopt;
}

} // namespace veq
