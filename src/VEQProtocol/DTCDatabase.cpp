#include "VEQProtocol/DTCDatabase.hpp"

#include "VEQSupport/UnicodeText.hpp"
#include "VEQSupport/Text.hpp"

#include <fmt/format.h>

namespace veq {

std::string_view label(DTCInfo::Severity severity) {
    switch (severity) {
    case DTCInfo::Severity::low: return "Faible";
    case DTCInfo::Severity::medium: return "Moyenne";
    case DTCInfo::Severity::high: return "Élevée";
    }
    return {};
}

namespace {

using enum DTCInfo::Severity;

struct WrittenRow {
    std::string_view code;
    std::string_view title;
    std::string_view subsystem;
    DTCInfo::Severity severity;
    std::vector<std::string_view> causes;
};

// Codes whose text is known one by one, most frequent in workshops.
const std::vector<WrittenRow>& writtenRows() {
    static const std::vector<WrittenRow> rows{
        {"P0300", "Ratés de combustion aléatoires ou sur plusieurs cylindres",          "Système d'allumage ou ratés de combustion", high,   {"Bougies ou bobines usées", "Prise d'air à l'admission", "Pression de carburant insuffisante", "Injecteurs encrassés"}},
        {"P0171", "Système d'alimentation trop pauvre — banc 1",                        "Dosage air/carburant",                      medium, {"Prise d'air après le débitmètre", "Débitmètre d'air encrassé", "Pression de carburant faible", "Sonde lambda dérivée"}},
        {"P0174", "Système d'alimentation trop pauvre — banc 2",                        "Dosage air/carburant",                      medium, {"Prise d'air après le débitmètre", "Débitmètre encrassé", "Pression de carburant faible"}},
        {"P0172", "Système d'alimentation trop riche — banc 1",                         "Dosage air/carburant",                      medium, {"Injecteur qui fuit", "Filtre à air colmaté", "Régulateur de pression carburant", "Sonde lambda défaillante"}},
        {"P0175", "Système d'alimentation trop riche — banc 2",                         "Dosage air/carburant",                      medium, {"Injecteur qui fuit", "Filtre à air colmaté"}},
        {"P0101", "Débitmètre d'air — plage ou performance",                            "Dosage air/carburant",                      medium, {"Débitmètre encrassé", "Filtre à air colmaté", "Prise d'air"}},
        {"P0102", "Débitmètre d'air — signal trop faible",                              "Dosage air/carburant",                      medium, {"Débitmètre défaillant", "Faisceau coupé"}},
        {"P0113", "Capteur de température d'air d'admission — signal haut",             "Dosage air/carburant",                      low,    {"Capteur défaillant", "Connecteur oxydé"}},
        {"P0117", "Capteur de température de liquide de refroidissement — signal bas",  "Dosage air/carburant",                      medium, {"Capteur défaillant", "Court-circuit du faisceau"}},
        {"P0118", "Capteur de température de liquide de refroidissement — signal haut", "Dosage air/carburant",                      medium, {"Capteur défaillant", "Circuit ouvert"}},
        {"P0128", "Thermostat — température de fonctionnement non atteinte",            "Contrôles auxiliaires des émissions",       medium, {"Thermostat bloqué ouvert", "Capteur de température dérivé"}},
        {"P0087", "Pression de rampe carburant trop basse",                             "Dosage air/carburant",                      high,   {"Filtre à carburant colmaté", "Pompe haute pression usée", "Injecteur qui fuit au retour", "Régulateur de pression"}},
        {"P0088", "Pression de rampe carburant trop élevée",                            "Dosage air/carburant",                      high,   {"Régulateur de pression bloqué", "Capteur de pression dérivé"}},
        {"P0190", "Capteur de pression de rampe — circuit",                             "Dosage air/carburant",                      high,   {"Capteur défaillant", "Faisceau"}},
        {"P0234", "Suralimentation excessive",                                          "Dosage air/carburant",                      high,   {"Géométrie variable bloquée", "Wastegate grippée", "Durite de commande débranchée"}},
        {"P0299", "Turbocompresseur — sous-pression de suralimentation",                "Dosage air/carburant",                      medium, {"Fuite dans le circuit d'admission", "Wastegate ou géométrie variable grippée", "Filtre à air colmaté", "Capteur de pression défaillant"}},
        {"P0401", "Débit de recirculation des gaz d'échappement insuffisant",           "Contrôles auxiliaires des émissions",       medium, {"Vanne EGR encrassée ou bloquée", "Refroidisseur EGR colmaté", "Conduits obstrués par la calamine"}},
        {"P0402", "Débit EGR excessif",                                                 "Contrôles auxiliaires des émissions",       medium, {"Vanne EGR bloquée ouverte", "Capteur de position EGR"}},
        {"P0403", "Circuit de commande EGR",                                            "Contrôles auxiliaires des émissions",       medium, {"Actionneur EGR", "Faisceau de commande"}},
        {"P0420", "Efficacité du catalyseur sous le seuil — banc 1",                    "Contrôles auxiliaires des émissions",       medium, {"Catalyseur vieilli ou endommagé", "Sonde lambda aval dérivée", "Fuite d'échappement", "Consommation d'huile excessive"}},
        {"P0430", "Efficacité du catalyseur sous le seuil — banc 2",                    "Contrôles auxiliaires des émissions",       medium, {"Catalyseur vieilli", "Sonde lambda aval dérivée"}},
        {"P0442", "Fuite détectée dans le système EVAP (petite fuite)",                 "Contrôles auxiliaires des émissions",       low,    {"Bouchon de réservoir mal serré ou joint usé", "Durite EVAP fissurée"}},
        {"P0455", "Fuite importante détectée dans le système EVAP",                     "Contrôles auxiliaires des émissions",       low,    {"Bouchon de réservoir absent ou défectueux", "Durite débranchée"}},
        {"P0505", "Système de régulation de ralenti",                                   "Régulation de vitesse et de ralenti",       medium, {"Corps papillon encrassé", "Prise d'air", "Vanne de ralenti"}},
        {"P0562", "Tension système trop basse",                                         "Calculateur et signaux de sortie",          high,   {"Batterie en fin de vie", "Alternateur défaillant", "Masse corrodée"}},
        {"P0563", "Tension système trop élevée",                                        "Calculateur et signaux de sortie",          high,   {"Régulateur d'alternateur défaillant"}},
        {"P0700", "Système de transmission — demande d'allumage du témoin",             "Transmission",                              medium, {"Code défaut présent dans le calculateur de boîte — lisez-le en UDS"}},
        {"P0715", "Capteur de régime de turbine — circuit",                             "Transmission",                              medium, {"Capteur de régime de turbine", "Faisceau", "Convertisseur de couple"}},
        {"P0730", "Rapport de démultiplication incorrect",                              "Transmission",                              high,   {"Embrayages internes usés", "Pression hydraulique insuffisante", "Huile de boîte dégradée"}},
        {"P2463", "Filtre à particules — accumulation de suies",                        "Contrôles auxiliaires des émissions",       high,   {"Régénérations incomplètes (trajets trop courts)", "Capteur de pression différentielle", "Additif FAP épuisé"}},
        {"P2002", "Efficacité du filtre à particules sous le seuil — banc 1",           "Contrôles auxiliaires des émissions",       high,   {"Filtre à particules colmaté ou endommagé"}},
        {"P20EE", "Efficacité du catalyseur SCR sous le seuil — banc 1",                "Contrôles auxiliaires des émissions",       high,   {"Qualité d'AdBlue insuffisante", "Injecteur d'AdBlue", "Catalyseur SCR vieilli"}},
        {"P2279", "Fuite d'air à l'admission",                                          "Dosage air/carburant",                      medium, {"Durite d'admission fendue", "Joint de collecteur", "Collier desserré"}},
        {"U0100", "Perte de communication avec le calculateur moteur",                  "Communication entre calculateurs",          high,   {"Bus CAN coupé ou court-circuité", "Calculateur moteur hors tension", "Connecteur corrodé"}},
        {"U0101", "Perte de communication avec le calculateur de boîte",                "Communication entre calculateurs",          high,   {"Bus CAN", "Calculateur de boîte hors tension"}},
        {"U0121", "Perte de communication avec le calculateur ABS/ESP",                 "Communication entre calculateurs",          high,   {"Bus CAN", "Calculateur ABS hors tension"}},
        {"C1000", "Défaut du système de freinage",                                      "Châssis (freinage, direction, suspension)", high,   {"Consultez le calculateur ABS/ESP en UDS pour le détail"}},
        {"B1000", "Défaut du calculateur de carrosserie",                               "Carrosserie (habitacle, airbags, confort)", medium, {"Consultez le calculateur concerné en UDS"}},
    };
    return rows;
}

// Oxygen-sensor fault kinds, k = 0 to 5, in the order the codes count within one sensor.
constexpr std::array<std::string_view, 6> kLambdaKinds{
    "Circuit",
    "Tension basse du circuit",
    "Tension haute du circuit",
    "Réponse lente du circuit",
    "Circuit de chauffage",
    "Circuit de chauffage — performance",
};

std::string systemName(std::string_view letter) {
    if (letter == "P") return "Groupe motopropulseur";
    if (letter == "C") return "Châssis";
    if (letter == "B") return "Carrosserie";
    if (letter == "U") return "Réseau / communication";
    return "Inconnu";
}

DTCInfo row(std::string code, std::string title, std::string subsystem, DTCInfo::Severity severity,
            std::vector<std::string> causes, DTCInfo::Source source) {
    std::string system = systemName(std::string_view(code).substr(0, 1));
    return {std::move(code), std::move(title), std::move(system), std::move(subsystem), severity, std::move(causes),
            source};
}

std::unordered_map<std::string, DTCInfo> buildTable() {
    std::unordered_map<std::string, DTCInfo> table;
    const auto add = [&table](DTCInfo info) {
        std::string key = info.code;
        table.insert_or_assign(std::move(key), std::move(info));
    };
    using Source = DTCInfo::Source;

    for (int n = 1; n <= 16; ++n) {
        add(row(fmt::format("P03{:02d}", n), fmt::format("Ratés de combustion détectés — cylindre {}", n),
                "Système d'allumage ou ratés de combustion", high,
                {fmt::format("Bougie ou bobine d'allumage du cylindre {}", n),
                 fmt::format("Injecteur du cylindre {} encrassé ou défaillant", n),
                 "Compression insuffisante sur ce cylindre", "Prise d'air ou joint de culasse"},
                Source::generated));
    }
    for (int n = 1; n <= 12; ++n) {
        add(row(fmt::format("P02{:02d}", n), fmt::format("Circuit d'injecteur — cylindre {}", n),
                "Dosage air/carburant (circuit injecteur)", high,
                {fmt::format("Injecteur du cylindre {} en circuit ouvert ou court-circuit", n),
                 "Faisceau ou connecteur d'injecteur", "Étage de puissance du calculateur moteur"},
                Source::generated));
    }
    // The cylinder number counts in hexadecimal here: cylinder 10 is P067A, not P0680.
    for (int n = 1; n <= 12; ++n) {
        add(row(fmt::format("P06{:02X}", 0x70 + n), fmt::format("Circuit de bougie de préchauffage — cylindre {}", n),
                "Calculateur et signaux de sortie", medium,
                {fmt::format("Bougie de préchauffage du cylindre {}", n), "Relais ou boîtier de préchauffage",
                 "Faisceau de préchauffage"},
                Source::generated));
    }
    for (int bank = 1; bank <= 2; ++bank) {
        const int base = bank == 1 ? 0x130 : 0x150;
        for (int sensor = 1; sensor <= 4; ++sensor) {
            for (int kind = 0; kind < static_cast<int>(kLambdaKinds.size()); ++kind) {
                add(row(fmt::format("P0{:03X}", base + 6 * (sensor - 1) + kind),
                        fmt::format("{} de sonde lambda — banc {}, capteur {}", kLambdaKinds[static_cast<std::size_t>(kind)],
                                    bank, sensor),
                        "Dosage air/carburant (sondes lambda)", medium,
                        {fmt::format("Sonde lambda banc {} capteur {} usée ou défaillante", bank, sensor),
                         "Faisceau ou connecteur de sonde", "Fuite d'échappement en amont de la sonde"},
                        Source::generated));
            }
        }
    }
    for (const WrittenRow& written : writtenRows()) {
        add(row(std::string(written.code), std::string(written.title), std::string(written.subsystem), written.severity,
                std::vector<std::string>(written.causes.begin(), written.causes.end()), Source::standard));
    }
    return table;
}

std::string poweredSubsystem(std::string_view digit) {
    if (digit.size() != 1 || !text::isHexDigit(digit[0])) return "Système inconnu";
    const int value = std::stoi(std::string(digit), nullptr, 16);
    switch (value) {
    case 0: return "Dosage air/carburant et contrôles auxiliaires";
    case 1:
    case 2: return "Dosage air/carburant";
    case 3: return "Système d'allumage ou ratés de combustion";
    case 4: return "Contrôles auxiliaires des émissions";
    case 5: return "Régulation de vitesse et de ralenti";
    case 6: return "Calculateur et signaux de sortie";
    case 7:
    case 8:
    case 9: return "Transmission";
    case 10:
    case 11: return "Propulsion hybride";
    default: return "Groupe motopropulseur";
    }
}

DTCInfo structural(std::string key) {
    DTCInfo info;
    info.severity = medium;
    info.source = DTCInfo::Source::structural;
    info.code = std::move(key);
    const std::vector<std::string_view> chars = unicode::characters(info.code); // views into info.code
    if (chars.size() != 5) {
        info.title = "Code non reconnu";
        info.system = "—";
        info.subsystem = "—";
        return info;
    }
    const std::string_view letter = chars[0];
    const bool standardised = chars[1] == "0" || chars[1] == "2";
    info.system = systemName(letter);
    if (letter == "P") info.subsystem = poweredSubsystem(chars[2]);
    else if (letter == "C") info.subsystem = "Châssis (freinage, direction, suspension)";
    else if (letter == "B") info.subsystem = "Carrosserie (habitacle, airbags, confort)";
    else if (letter == "U") info.subsystem = "Communication entre calculateurs";
    else info.subsystem = "Système inconnu";
    info.title = info.subsystem + " — code " + (standardised ? "normalisé" : "constructeur") + " non répertorié";
    info.causes = {"Le libellé exact de ce code n'est pas dans la base.",
                   standardised ? "Code normalisé SAE : consultez la documentation du véhicule."
                                : "Code spécifique au constructeur : nécessite la documentation Mercedes."};
    return info;
}

} // namespace

namespace DTCDatabase {

const std::unordered_map<std::string, DTCInfo>& table() {
    static const std::unordered_map<std::string, DTCInfo> built = buildTable();
    return built;
}

DTCInfo describe(std::string_view code) {
    std::string key = unicode::upperCased(code);
    const auto& rows = table();
    if (auto it = rows.find(key); it != rows.end()) return it->second;
    return structural(std::move(key));
}

DTCInfo describe(const DTC& dtc) { return describe(dtc.code); }

std::size_t describedCount() { return table().size(); }

} // namespace DTCDatabase

} // namespace veq
