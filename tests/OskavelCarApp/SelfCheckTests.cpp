// The self-check's rows, thresholds and report, from given counts.
#include "OskavelCarApp/SelfCheck.hpp"

#include <gtest/gtest.h>

namespace veq::SelfCheck {
namespace {

const Inputs kComplete{true, 30, 8, 40, 100};

TEST(SelfCheck, TheSwitchCountsOnlyAsAWholeArgumentAnywhere) {
    struct Case {
        std::vector<std::string> arguments;
        bool requested;
    };
    const Case cases[] = {
        {{"oskavel-car", "--self-check"}, true},
        {{"oskavel-car", "-platform", "offscreen", "--self-check"}, true},
        {{"--self-check"}, true}, // the program path counts too
        {{"oskavel-car", "--self-check", "extra"}, true},
        {{"oskavel-car"}, false},
        {{"oskavel-car", "--self-checks"}, false},
        {{"oskavel-car", "--self-check=1"}, false},
        {{"oskavel-car", "-self-check"}, false},
        {{"oskavel-car", "--Self-Check"}, false},
        {{"oskavel-car", " --self-check"}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(requested(c.arguments), c.requested) << ::testing::PrintToString(c.arguments);
    }
}

TEST(SelfCheck, EachRowNeedsItsMinimum) {
    struct Case {
        const char* name;
        Inputs inputs;
        std::size_t row;
        bool ok;
    };
    const Case cases[] = {
        {"no GPU",          {false, 30, 8, 40, 100}, 0, false},
        {"29 recipes",      {true, 29, 8, 40, 100},  1, false},
        {"30 recipes",      {true, 30, 8, 40, 100},  1, true},
        {"7 profiles",      {true, 30, 7, 40, 100},  2, false},
        {"8 profiles",      {true, 30, 8, 40, 100},  2, true},
        {"39 parameters",   {true, 30, 8, 39, 100},  3, false},
        {"40 parameters",   {true, 30, 8, 40, 100},  3, true},
        {"99 codes",        {true, 30, 8, 40, 99},   4, false},
        {"100 codes",       {true, 30, 8, 40, 100},  4, true},
        {"nothing loaded",  {true, 0, 0, 0, 0},      1, false},
    };
    for (const auto& c : cases) {
        const auto rows = results(c.inputs);
        ASSERT_EQ(rows.size(), 5u);
        EXPECT_EQ(rows[c.row].ok, c.ok) << c.name;
        // Every other row of these inputs passes, unless it is also short.
        const bool nothingLoaded = c.inputs == Inputs{true, 0, 0, 0, 0};
        EXPECT_EQ(anyFailed(rows), !c.ok || nothingLoaded) << c.name;
    }
}

TEST(SelfCheck, APassingReport) {
    EXPECT_EQ(report(results({true, 39, 11, 67, 126})),
              "Oskavel Car — auto-diagnostic\n"
              "\n"
              "  ✓ Shader OpenGL des jauges (le cadran retomberait sur le rendu vectoriel)\n"
              "  ✓ Recettes de codage (39 recette(s) chargée(s))\n"
              "  ✓ Profils véhicule (11 profil(s) chargé(s))\n"
              "  ✓ Catalogue OBD-II (67 PID)\n"
              "  ✓ Base de codes défaut (126 codes décrits)\n"
              "\n"
              "✓ Toutes les ressources sont présentes.\n");
    EXPECT_FALSE(anyFailed(results(kComplete)));
}

TEST(SelfCheck, AFailingReport) {
    EXPECT_EQ(report(results({false, 0, 8, 67, 126})),
              "Oskavel Car — auto-diagnostic\n"
              "\n"
              "  ✗ Shader OpenGL des jauges — le cadran retomberait sur le rendu vectoriel\n"
              "  ✗ Recettes de codage — 0 recette(s) chargée(s)\n"
              "  ✓ Profils véhicule (8 profil(s) chargé(s))\n"
              "  ✓ Catalogue OBD-II (67 PID)\n"
              "  ✓ Base de codes défaut (126 codes décrits)\n"
              "\n"
              "✗ Paquet incomplet.\n");
}

} // namespace
} // namespace veq::SelfCheck
