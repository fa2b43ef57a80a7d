// The ECU scanner against scripted ECUs: presence, identification texts and the order of requests.
#include "VEQEngine/ECUScanner.hpp"

#include "VEQEngine/ScriptedAdapter.hpp"

#include <gtest/gtest.h>

#include <map>

using namespace veq;
using namespace veq::testing;

namespace {

// Answers per transmit header and request; anything not listed gives NO DATA.
using Answers = std::map<std::pair<std::string, std::string>, std::string>;

ScriptedAdapter::Script ecus(Answers answers) {
    return [answers = std::move(answers)](const std::string& line, const AdapterState& state)
               -> std::optional<std::vector<std::string>> {
        const auto it = answers.find({state.header, line});
        if (it == answers.end()) return std::nullopt;
        return std::vector<std::string>{reply(it->second)};
    };
}

const ECUCandidate engine{"ME/CDI moteur", "7E0", "7E8"};

TEST(ECUScanner, StandardCandidates) {
    const auto& table = ECUScanner::standardCandidates();
    ASSERT_EQ(table.size(), 8u);
    EXPECT_EQ(table[0], engine);
    EXPECT_EQ(table[1], (ECUCandidate{"VGS boîte 9G", "7E1", "7E9"}));
    EXPECT_EQ(table[5], (ECUCandidate{"SAM arrière", "7E5", "7ED"}));
    EXPECT_EQ(table[7], (ECUCandidate{"Airbag (SRS)", "7E7", "7EF"}));
}

TEST(ECUScanner, PresenceAndIdentification) {
    struct Case {
        const char* name;
        Answers answers;
        bool responded;
        std::optional<std::string> partNumber;
        std::optional<std::string> softwareVersion;
    };
    const Case cases[] = {
        {"answers", {{{"7E0", "3E00"}, "7E 00"}, {{"7E0", "22F187"}, "62 F1 87 41 32 35 36"},
                     {{"7E0", "22F195"}, "62 F1 95 30 30 34 34"}},
         true, "A256", "0044"},
        {"refuses tester present", {{{"7E0", "3E00"}, "7F 3E 11"}, {{"7E0", "22F187"}, "62 F1 87 41 42 43"}},
         true, "ABC", std::nullopt},
        {"silent", {}, false, std::nullopt, std::nullopt},
        {"another service's answer", {{{"7E0", "3E00"}, "50 03"}}, false, std::nullopt, std::nullopt},
        {"adapter error", {{{"7E0", "3E00"}, "CAN ERROR"}}, false, std::nullopt, std::nullopt},
        {"filler bytes dropped", {{{"7E0", "3E00"}, "7E 00"}, {{"7E0", "22F187"}, "62 F1 87 00 41 00 32 FF"}},
         true, "A2", std::nullopt},
        {"only filler", {{{"7E0", "3E00"}, "7E 00"}, {{"7E0", "22F187"}, "62 F1 87 00 00 FF"}},
         true, std::nullopt, std::nullopt},
        {"trailing blanks kept", {{{"7E0", "3E00"}, "7E 00"}, {{"7E0", "22F187"}, "62 F1 87 41 42 20 20"}},
         true, "AB  ", std::nullopt},
        {"failed part number, software version read",
         {{{"7E0", "3E00"}, "7E 00"}, {{"7E0", "22F187"}, "7F 22 31"}, {{"7E0", "22F195"}, "62 F1 95 56 31"}},
         true, std::nullopt, "V1"},
        {"late answer of another identifier",
         {{{"7E0", "3E00"}, "7E 00"}, {{"7E0", "22F187"}, "62 F1 95 56 31"}, {{"7E0", "22F195"}, "62 F1 95 56 32"}},
         true, std::nullopt, "V2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedAdapter adapter(ecus(c.answers));
        ECUScanner scanner(adapter.session());
        const std::vector<DiscoveredECU> found = scanner.scan({engine});
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0], (DiscoveredECU{"ME/CDI moteur", "7E0", "7E8", c.responded, c.partNumber,
                                           c.softwareVersion}));
        const std::vector<std::string> expectedLines =
            c.responded ? std::vector<std::string>{"ATSH7E0", "3E00", "22F187", "22F195"}
                        : std::vector<std::string>{"ATSH7E0", "3E00"};
        EXPECT_EQ(adapter.lines(), expectedLines);
    }
}

TEST(ECUScanner, StandardScanProbesEveryAddressInOrderAndReportsEach) {
    ScriptedAdapter adapter(ecus({{{"7E0", "3E00"}, "7E 00"}, {{"7E3", "3E00"}, "7F 3E 22"}}));
    ECUScanner scanner(adapter.session());
    std::vector<std::string> reported;
    const auto found = scanner.scan(ECUScanner::standardCandidates(),
                                    [&](const DiscoveredECU& ecu) { reported.push_back(ecu.id()); });
    EXPECT_EQ(reported, (std::vector<std::string>{"7E0", "7E1", "7E2", "7E3", "7E4", "7E5", "7E6", "7E7"}));
    ASSERT_EQ(found.size(), 8u);
    std::vector<bool> responded;
    for (const auto& ecu : found) responded.push_back(ecu.responded);
    EXPECT_EQ(responded, (std::vector<bool>{true, false, false, true, false, false, false, false}));

    std::vector<std::string> expected;
    for (const auto& candidate : ECUScanner::standardCandidates()) {
        expected.push_back("ATSH" + candidate.txHeader);
        expected.push_back("3E00");
        if (candidate.txHeader == "7E0" || candidate.txHeader == "7E3") {
            expected.push_back("22F187");
            expected.push_back("22F195");
        }
    }
    EXPECT_EQ(adapter.lines(), expected);
    EXPECT_EQ(scanner.uds().targetHeader(), "7E7"); // the caller puts functional addressing back
    EXPECT_TRUE(scanner.scan({}).empty());
}

TEST(ECUScanner, FailedHeaderCommandStillProbes) {
    ScriptedAdapter adapter(nullptr);
    adapter.transport().failSendsContaining("ATSH");
    ECUScanner scanner(adapter.session());
    const auto found = scanner.scan({engine});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].responded);
    EXPECT_EQ(scanner.uds().targetHeader(), std::nullopt);
    EXPECT_EQ(adapter.lines(), std::vector<std::string>{"3E00"});
}

} // namespace
