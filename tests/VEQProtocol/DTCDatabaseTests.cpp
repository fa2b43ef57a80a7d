#include "VEQProtocol/DTCDatabase.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <map>

using namespace veq;
using Severity = DTCInfo::Severity;
using Source = DTCInfo::Source;

namespace {
const std::string kLambdaSubsystem = "Dosage air/carburant (sondes lambda)";
const std::string kDash = "\u2014";
} // namespace

TEST(DTCDatabaseTests, TableCountsAndConsistency) {
    EXPECT_EQ(DTCDatabase::describedCount(), 126u);
    std::map<Source, int> bySource;
    for (const auto& [code, info] : DTCDatabase::table()) {
        ++bySource[info.source];
        EXPECT_EQ(info.code, code);
        ASSERT_EQ(code.size(), 5u) << code;
        // Every row is a code the two-byte decoder can produce.
        const std::string letters = "PCBU";
        EXPECT_NE(letters.find(code[0]), std::string::npos) << code;
        EXPECT_TRUE(code[1] >= '0' && code[1] <= '3') << code;
        EXPECT_EQ(DTCDatabase::describe(code), info);
        EXPECT_FALSE(info.title.empty()) << code;
        EXPECT_FALSE(info.causes.empty()) << code;
        EXPECT_NE(info.system, "Inconnu") << code;
        // Apostrophes are ASCII throughout.
        for (const std::string* text : {&info.title, &info.subsystem}) {
            EXPECT_EQ(text->find("\u2019"), std::string::npos) << code << ": " << *text;
        }
        for (const auto& cause : info.causes) EXPECT_EQ(cause.find("\u2019"), std::string::npos) << code;
    }
    EXPECT_EQ(bySource[Source::standard], 38);
    EXPECT_EQ(bySource[Source::generated], 88);
    EXPECT_EQ(bySource[Source::structural], 0);
}

TEST(DTCDatabaseTests, GeneratedSeries) {
    struct Case { const char* code; std::string title; const char* subsystem; Severity severity; std::string firstCause; };
    const Case cases[] = {
        {"P0301", "Ratés de combustion détectés " + kDash + " cylindre 1", "Système d'allumage ou ratés de combustion",
         Severity::high, "Bougie ou bobine d'allumage du cylindre 1"},
        {"P0310", "Ratés de combustion détectés " + kDash + " cylindre 10", "Système d'allumage ou ratés de combustion",
         Severity::high, "Bougie ou bobine d'allumage du cylindre 10"},
        {"P0316", "Ratés de combustion détectés " + kDash + " cylindre 16", "Système d'allumage ou ratés de combustion",
         Severity::high, "Bougie ou bobine d'allumage du cylindre 16"},
        {"P0201", "Circuit d'injecteur " + kDash + " cylindre 1", "Dosage air/carburant (circuit injecteur)",
         Severity::high, "Injecteur du cylindre 1 en circuit ouvert ou court-circuit"},
        {"P0212", "Circuit d'injecteur " + kDash + " cylindre 12", "Dosage air/carburant (circuit injecteur)",
         Severity::high, "Injecteur du cylindre 12 en circuit ouvert ou court-circuit"},
        {"P0671", "Circuit de bougie de préchauffage " + kDash + " cylindre 1", "Calculateur et signaux de sortie",
         Severity::medium, "Bougie de préchauffage du cylindre 1"},
        {"P067A", "Circuit de bougie de préchauffage " + kDash + " cylindre 10", "Calculateur et signaux de sortie",
         Severity::medium, "Bougie de préchauffage du cylindre 10"},
        {"P067C", "Circuit de bougie de préchauffage " + kDash + " cylindre 12", "Calculateur et signaux de sortie",
         Severity::medium, "Bougie de préchauffage du cylindre 12"},
        {"P0131", "Tension basse du circuit de sonde lambda " + kDash + " banc 1, capteur 1", kLambdaSubsystem.c_str(),
         Severity::medium, "Sonde lambda banc 1 capteur 1 usée ou défaillante"},
        {"P013B", "Circuit de chauffage " + kDash + " performance de sonde lambda " + kDash + " banc 1, capteur 2",
         kLambdaSubsystem.c_str(), Severity::medium, "Sonde lambda banc 1 capteur 2 usée ou défaillante"},
        {"P013C", "Circuit de sonde lambda " + kDash + " banc 1, capteur 3", kLambdaSubsystem.c_str(), Severity::medium,
         "Sonde lambda banc 1 capteur 3 usée ou défaillante"},
        {"P0140", "Circuit de chauffage de sonde lambda " + kDash + " banc 1, capteur 3", kLambdaSubsystem.c_str(),
         Severity::medium, "Sonde lambda banc 1 capteur 3 usée ou défaillante"},
        {"P0150", "Circuit de sonde lambda " + kDash + " banc 2, capteur 1", kLambdaSubsystem.c_str(), Severity::medium,
         "Sonde lambda banc 2 capteur 1 usée ou défaillante"},
        {"P0167", "Circuit de chauffage " + kDash + " performance de sonde lambda " + kDash + " banc 2, capteur 4",
         kLambdaSubsystem.c_str(), Severity::medium, "Sonde lambda banc 2 capteur 4 usée ou défaillante"},
    };
    for (const auto& c : cases) {
        const DTCInfo info = DTCDatabase::describe(c.code);
        EXPECT_EQ(info.code, c.code);
        EXPECT_EQ(info.title, c.title) << c.code;
        EXPECT_EQ(info.subsystem, c.subsystem) << c.code;
        EXPECT_EQ(info.system, "Groupe motopropulseur") << c.code;
        EXPECT_EQ(info.severity, c.severity) << c.code;
        ASSERT_FALSE(info.causes.empty()) << c.code;
        EXPECT_EQ(info.causes.front(), c.firstCause) << c.code;
        EXPECT_EQ(info.source, Source::generated) << c.code;
    }
    // Outside the series: the hexadecimal count stops before these.
    for (const char* code : {"P0300", "P0317", "P0213", "P0670", "P067D", "P0680", "P0148", "P0168"}) {
        EXPECT_NE(DTCDatabase::describe(code).source, Source::generated) << code;
    }
}

TEST(DTCDatabaseTests, GeneratedCausesInOrder) {
    EXPECT_EQ(DTCDatabase::describe("P0307").causes,
              (std::vector<std::string>{"Bougie ou bobine d'allumage du cylindre 7",
                                        "Injecteur du cylindre 7 encrassé ou défaillant",
                                        "Compression insuffisante sur ce cylindre", "Prise d'air ou joint de culasse"}));
    EXPECT_EQ(DTCDatabase::describe("P015E").causes,
              (std::vector<std::string>{"Sonde lambda banc 2 capteur 3 usée ou défaillante",
                                        "Faisceau ou connecteur de sonde", "Fuite d'échappement en amont de la sonde"}));
}

TEST(DTCDatabaseTests, WrittenOutRows) {
    const DTCInfo p0300 = DTCDatabase::describe("P0300");
    EXPECT_EQ(p0300, (DTCInfo{"P0300", "Ratés de combustion aléatoires ou sur plusieurs cylindres", "Groupe motopropulseur",
                              "Système d'allumage ou ratés de combustion", Severity::high,
                              {"Bougies ou bobines usées", "Prise d'air à l'admission",
                               "Pression de carburant insuffisante", "Injecteurs encrassés"},
                              Source::standard}));
    EXPECT_EQ(DTCDatabase::describe("p0171").title, "Système d'alimentation trop pauvre " + kDash + " banc 1");
    EXPECT_EQ(DTCDatabase::describe("P0700").causes,
              std::vector<std::string>{"Code défaut présent dans le calculateur de boîte " + kDash + " lisez-le en UDS"});
    EXPECT_EQ(DTCDatabase::describe("P0113").severity, Severity::low);
    EXPECT_EQ(DTCDatabase::describe("P2463").title, "Filtre à particules " + kDash + " accumulation de suies");
    EXPECT_EQ(DTCDatabase::describe("P20EE").causes.front(), "Qualité d'AdBlue insuffisante");
    EXPECT_EQ(DTCDatabase::describe("P2279").subsystem, "Dosage air/carburant");

    const DTCInfo u0121 = DTCDatabase::describe("U0121");
    EXPECT_EQ(u0121.title, "Perte de communication avec le calculateur ABS/ESP");
    EXPECT_EQ(u0121.system, "Réseau / communication");
    EXPECT_EQ(u0121.subsystem, "Communication entre calculateurs");
    const DTCInfo c1000 = DTCDatabase::describe("C1000");
    EXPECT_EQ(c1000.system, "Châssis");
    EXPECT_EQ(c1000.source, Source::standard); // a maker-range code, but written out
    EXPECT_EQ(c1000.causes, std::vector<std::string>{"Consultez le calculateur ABS/ESP en UDS pour le détail"});
    const DTCInfo b1000 = DTCDatabase::describe("B1000");
    EXPECT_EQ(b1000.system, "Carrosserie");
    EXPECT_EQ(b1000.subsystem, "Carrosserie (habitacle, airbags, confort)");
    EXPECT_EQ(b1000.severity, Severity::medium);
}

TEST(DTCDatabaseTests, StructuralDescriptions) {
    const std::string normalised = "Code normalisé SAE : consultez la documentation du véhicule.";
    const std::string maker = "Code spécifique au constructeur : nécessite la documentation Mercedes.";
    struct Case { std::string input; std::string code; std::string system; std::string subsystem; bool standardised; };
    const Case cases[] = {
        {"P1234", "P1234", "Groupe motopropulseur", "Dosage air/carburant", false},
        {"P0680", "P0680", "Groupe motopropulseur", "Calculateur et signaux de sortie", true},
        {"P2000", "P2000", "Groupe motopropulseur", "Dosage air/carburant et contrôles auxiliaires", true},
        {"p3399", "P3399", "Groupe motopropulseur", "Système d'allumage ou ratés de combustion", false},
        {"P0499", "P0499", "Groupe motopropulseur", "Contrôles auxiliaires des émissions", true},
        {"P0599", "P0599", "Groupe motopropulseur", "Régulation de vitesse et de ralenti", true},
        {"P0899", "P0899", "Groupe motopropulseur", "Transmission", true},
        {"P0a00", "P0A00", "Groupe motopropulseur", "Propulsion hybride", true},
        {"P0B99", "P0B99", "Groupe motopropulseur", "Propulsion hybride", true},
        {"P0C00", "P0C00", "Groupe motopropulseur", "Groupe motopropulseur", true},
        {"P0F00", "P0F00", "Groupe motopropulseur", "Groupe motopropulseur", true},
        {"P0G00", "P0G00", "Groupe motopropulseur", "Système inconnu", true},
        {"U0001", "U0001", "Réseau / communication", "Communication entre calculateurs", true},
        {"U3000", "U3000", "Réseau / communication", "Communication entre calculateurs", false},
        {"C0035", "C0035", "Châssis", "Châssis (freinage, direction, suspension)", true},
        {"B2AAA", "B2AAA", "Carrosserie", "Carrosserie (habitacle, airbags, confort)", true},
        {"X0001", "X0001", "Inconnu", "Système inconnu", true},
        {"P9999", "P9999", "Groupe motopropulseur", "Transmission", false},
        // Letters beyond ASCII count as one character each, and are upper-cased too.
        {"p03\u00e91", "P03\u00c91", "Groupe motopropulseur", "Système d'allumage ou ratés de combustion", true},
        {"P03e\u03011", "P03E\u03011", "Groupe motopropulseur", "Système d'allumage ou ratés de combustion", true},
        {"\u00e90001", "\u00c90001", "Inconnu", "Système inconnu", true},
    };
    for (const auto& c : cases) {
        const DTCInfo info = DTCDatabase::describe(c.input);
        EXPECT_EQ(info.code, c.code) << c.input;
        EXPECT_EQ(info.system, c.system) << c.input;
        EXPECT_EQ(info.subsystem, c.subsystem) << c.input;
        EXPECT_EQ(info.title, c.subsystem + " " + kDash + " code " + (c.standardised ? "normalisé" : "constructeur") +
                                  " non répertorié")
            << c.input;
        EXPECT_EQ(info.causes, (std::vector<std::string>{"Le libellé exact de ce code n'est pas dans la base.",
                                                         c.standardised ? normalised : maker}))
            << c.input;
        EXPECT_EQ(info.severity, Severity::medium) << c.input;
        EXPECT_EQ(info.source, Source::structural) << c.input;
    }
}

TEST(DTCDatabaseTests, UnrecognisedLengths) {
    for (const char* input : {"", "P030", "P03011", " P0301", "P0301 ", "\u00e9\u00e9\u00e9\u00e9"}) {
        const DTCInfo info = DTCDatabase::describe(input);
        EXPECT_EQ(info.title, "Code non reconnu") << input;
        EXPECT_EQ(info.system, kDash) << input;
        EXPECT_EQ(info.subsystem, kDash) << input;
        EXPECT_TRUE(info.causes.empty()) << input;
        EXPECT_EQ(info.severity, Severity::medium) << input;
        EXPECT_EQ(info.source, Source::structural) << input;
    }
    EXPECT_EQ(DTCDatabase::describe(" p0301").code, " P0301"); // upper-cased, never trimmed
}

TEST(DTCDatabaseTests, DescribeDecodedCode) {
    const auto dtc = DTC::decode(0x01, 0x33);
    ASSERT_TRUE(dtc);
    EXPECT_EQ(DTCDatabase::describe(*dtc), DTCDatabase::describe("P0133"));
    EXPECT_EQ(DTCDatabase::describe(*DTC::decode(0x03, 0x01)).title,
              "Ratés de combustion détectés " + kDash + " cylindre 1");
}

TEST(DTCDatabaseTests, SeverityAndSourceVocabulary) {
    veq::testing::FrenchLocale french;
    EXPECT_EQ(label(Severity::low), "Faible");
    EXPECT_EQ(label(Severity::medium), "Moyenne");
    EXPECT_EQ(label(Severity::high), "\u00c9lev\u00e9e");
    EXPECT_EQ(fromRaw<Severity>("high"), Severity::high);
    EXPECT_EQ(fromRaw<Severity>("High"), std::nullopt);
    EXPECT_EQ(rawValue(Source::structural), "structural");
    EXPECT_EQ(fromRaw<Source>("generated"), Source::generated);
    EXPECT_EQ(fromRaw<Source>("curated"), std::nullopt);
}
