#include "VEQProtocol/DTCDatabase.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Severity = DTCInfo::Severity;
using Source = DTCInfo::Source;
using Strings = std::vector<std::string>;

TEST(DTCDatabaseTests, EveryRowIsADecodableCodeWithASCIIApostrophes) {
    for (const auto& [code, info] : DTCDatabase::table()) {
        EXPECT_EQ(info.code, code);
        ASSERT_EQ(code.size(), 5u) << code;
        EXPECT_NE(std::string("PCBU").find(code[0]), std::string::npos) << code;
        EXPECT_TRUE(code[1] >= '0' && code[1] <= '3') << code;
        EXPECT_EQ(DTCDatabase::describe(code), info);
        EXPECT_FALSE(info.title.empty() || info.causes.empty()) << code;
        EXPECT_NE(info.source, Source::structural) << code;
        for (const std::string* text : {&info.title, &info.subsystem}) EXPECT_EQ(text->find("\u2019"), std::string::npos) << code;
        for (const auto& cause : info.causes) EXPECT_EQ(cause.find("\u2019"), std::string::npos) << code;
    }
}

TEST(DTCDatabaseTests, GeneratedSeries) {
    const std::string misfire = "Système d'allumage ou ratés de combustion", injector = "Dosage air/carburant (circuit injecteur)",
                      glow = "Calculateur et signaux de sortie", lambda = "Dosage air/carburant (sondes lambda)";
    struct Case { const char* code; const char* title; const std::string& subsystem; Severity severity; const char* firstCause; };
    const Case cases[] = {
        {"P0301", "Ratés de combustion détectés \u2014 cylindre 1", misfire, Severity::high, "Bougie ou bobine d'allumage du cylindre 1"},
        {"P0316", "Ratés de combustion détectés \u2014 cylindre 16", misfire, Severity::high, "Bougie ou bobine d'allumage du cylindre 16"},
        {"P0212", "Circuit d'injecteur \u2014 cylindre 12", injector, Severity::high, "Injecteur du cylindre 12 en circuit ouvert ou court-circuit"},
        {"P0671", "Circuit de bougie de préchauffage \u2014 cylindre 1", glow, Severity::medium, "Bougie de préchauffage du cylindre 1"},
        {"P067A", "Circuit de bougie de préchauffage \u2014 cylindre 10", glow, Severity::medium, "Bougie de préchauffage du cylindre 10"},
        {"P067C", "Circuit de bougie de préchauffage \u2014 cylindre 12", glow, Severity::medium, "Bougie de préchauffage du cylindre 12"},
        {"P0131", "Tension basse du circuit de sonde lambda \u2014 banc 1, capteur 1", lambda, Severity::medium, "Sonde lambda banc 1 capteur 1 usée ou défaillante"},
        {"P013B", "Circuit de chauffage \u2014 performance de sonde lambda \u2014 banc 1, capteur 2", lambda, Severity::medium, "Sonde lambda banc 1 capteur 2 usée ou défaillante"},
        {"P0150", "Circuit de sonde lambda \u2014 banc 2, capteur 1", lambda, Severity::medium, "Sonde lambda banc 2 capteur 1 usée ou défaillante"},
        {"P0167", "Circuit de chauffage \u2014 performance de sonde lambda \u2014 banc 2, capteur 4", lambda, Severity::medium, "Sonde lambda banc 2 capteur 4 usée ou défaillante"},
    };
    for (const auto& c : cases) {
        const DTCInfo info = DTCDatabase::describe(c.code);
        EXPECT_EQ(std::tie(info.code, info.title, info.subsystem, info.system), std::tie(c.code, c.title, c.subsystem, "Groupe motopropulseur"));
        EXPECT_EQ(info.severity, c.severity) << c.code;
        ASSERT_FALSE(info.causes.empty()) << c.code;
        EXPECT_EQ(info.causes.front(), c.firstCause) << c.code;
        EXPECT_EQ(info.source, Source::generated) << c.code;
    }
    // Outside the series: the hexadecimal count stops before these.
    for (const char* code : {"P0300", "P0317", "P0213", "P0670", "P067D", "P0680", "P0148", "P0168"}) {
        EXPECT_NE(DTCDatabase::describe(code).source, Source::generated) << code;
    }
    EXPECT_EQ(DTCDatabase::describe("P0307").causes,
              (Strings{"Bougie ou bobine d'allumage du cylindre 7", "Injecteur du cylindre 7 encrassé ou défaillant",
                       "Compression insuffisante sur ce cylindre", "Prise d'air ou joint de culasse"}));
}

TEST(DTCDatabaseTests, WrittenOutRows) {
    EXPECT_EQ(DTCDatabase::describe("P0300"),
              (DTCInfo{"P0300", "Ratés de combustion aléatoires ou sur plusieurs cylindres", "Groupe motopropulseur",
                       "Système d'allumage ou ratés de combustion", Severity::high,
                       {"Bougies ou bobines usées", "Prise d'air à l'admission", "Pression de carburant insuffisante",
                        "Injecteurs encrassés"},
                       Source::standard}));
    EXPECT_EQ(DTCDatabase::describe("p0171").title, "Système d'alimentation trop pauvre \u2014 banc 1");
    EXPECT_EQ(DTCDatabase::describe(*DTC::decode(0x01, 0x71)), DTCDatabase::describe("P0171"));
    const DTCInfo u0121 = DTCDatabase::describe("U0121");
    EXPECT_EQ(std::tie(u0121.system, u0121.subsystem), std::tie("Réseau / communication", "Communication entre calculateurs"));
    const DTCInfo c1000 = DTCDatabase::describe("C1000");
    EXPECT_EQ(c1000.system, "Châssis");
    EXPECT_EQ(c1000.source, Source::standard); // a maker-range code, but written out
    EXPECT_EQ(DTCDatabase::describe("B1000").system, "Carrosserie");
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
        {"P0a00", "P0A00", "Groupe motopropulseur", "Propulsion hybride", true},
        {"P0C00", "P0C00", "Groupe motopropulseur", "Groupe motopropulseur", true},
        {"P0G00", "P0G00", "Groupe motopropulseur", "Système inconnu", true},
        {"P9999", "P9999", "Groupe motopropulseur", "Transmission", false},
        {"U3000", "U3000", "Réseau / communication", "Communication entre calculateurs", false},
        {"C0035", "C0035", "Châssis", "Châssis (freinage, direction, suspension)", true},
        {"B2AAA", "B2AAA", "Carrosserie", "Carrosserie (habitacle, airbags, confort)", true},
        {"X0001", "X0001", "Inconnu", "Système inconnu", true},
        // Letters beyond ASCII count as one character each, and are upper-cased too.
        {"p03\u00e91", "P03\u00c91", "Groupe motopropulseur", "Système d'allumage ou ratés de combustion", true},
        {"P03e\u03011", "P03E\u03011", "Groupe motopropulseur", "Système d'allumage ou ratés de combustion", true},
        {"\u00e90001", "\u00c90001", "Inconnu", "Système inconnu", true},
    };
    for (const auto& c : cases) {
        const DTCInfo expected{c.code, c.subsystem + " \u2014 code " + (c.standardised ? "normalisé" : "constructeur") + " non répertorié",
                               c.system, c.subsystem, Severity::medium,
                               {"Le libellé exact de ce code n'est pas dans la base.", c.standardised ? normalised : maker},
                               Source::structural};
        EXPECT_EQ(DTCDatabase::describe(c.input), expected) << c.input;
    }
    for (const char* input : {"", "P030", "P03011", " P0301", "\u00e9\u00e9\u00e9\u00e9"}) {
        const DTCInfo info = DTCDatabase::describe(input);
        EXPECT_EQ((DTCInfo{info.code, "Code non reconnu", "\u2014", "\u2014", Severity::medium, {}, Source::structural}), info) << input;
    }
    EXPECT_EQ(DTCDatabase::describe(" p0301").code, " P0301"); // upper-cased, never trimmed
}

TEST(DTCDatabaseTests, SeverityAndSourceVocabulary) {
    veq::testing::FrenchLocale french;
    EXPECT_EQ(label(Severity::low), "Faible");
    EXPECT_EQ(label(Severity::medium), "Moyenne");
    EXPECT_EQ(label(Severity::high), "\u00c9lev\u00e9e");
    EXPECT_EQ(fromRaw<Severity>("high"), Severity::high);
    EXPECT_EQ(fromRaw<Severity>("High"), std::nullopt);
    EXPECT_EQ(fromRaw<Source>("generated"), Source::generated);
    EXPECT_EQ(fromRaw<Source>("curated"), std::nullopt);
}
