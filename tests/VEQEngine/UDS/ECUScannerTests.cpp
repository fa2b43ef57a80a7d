#include "VEQEngine/UDS/ECUScanner.hpp"

#include "VEQEngine/UDS/ScriptedAdapter.hpp"
#include "VEQEngine/UDS/UDSClient.hpp"
#include "VEQTransport/SimulatorTransport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <mutex>
#include <thread>

using namespace veq;
using namespace veq::testing;

namespace {

using Lines = std::vector<std::string>;

// Answers per transmit header and request; anything not listed gives NO DATA.
using Answers = std::map<std::pair<std::string, std::string>, std::string>;
ScriptedAdapter::Script ecus(Answers answers) {
    return [answers = std::move(answers)](const std::string& line, const AdapterState& state) -> std::optional<Lines> {
        const auto it = answers.find({state.header, line});
        return it == answers.end() ? std::nullopt : std::optional(Lines{reply(it->second)});
    };
}

// The presence asks' answers, each probe after the first ask left unanswered too.
Asks heldBack(Lines presence) { return {{"3E00", std::move(presence)}, {"ATI", {""}}, {"ATRV", {""}}}; }

// A request that got no reply at all is asked once more, and only such a one; after a silence, only
// once a probe was answered. A read whose second ask was held back, no probe answered, is asked a
// last time at the end, once; so is one whose second ask got no reply, on an adapter that has said
// "NO DATA".
TEST(ECUScanner, PresenceAndIdentification) {
    const struct {
        const char* name;
        std::string testerPresent;
        std::map<std::string, std::string> reads; // request to answer
        bool responded;
        std::optional<std::string> partNumber, softwareVersion;
        Asks asks = {};      // the first asks' answers, before `testerPresent` and `reads`
        Lines requests = {}; // when not 3E00, 22F187, 22F195 (answered) or 3E00 alone
        bool noData = false; // the adapter said "NO DATA" to a request before the scan
        bool headers = false; // replies name their ECU (11-bit CAN)
        std::string tx = "7E0", rx = "7E8"; // the candidate's request and response headers
    } cases[] = {
        {"answers", "7E 00", {{"22F187", "62 F1 87 41 32 35 36"}, {"22F195", "62 F1 95 30 30"}}, true, "A256", "00"},
        {"refuses tester present", "7F 3E 11", {{"22F187", "62 F1 87 41 42 43"}}, true, "ABC", std::nullopt},
        {"another service's answer", "50 03", {}, false, std::nullopt, std::nullopt},
        {"adapter error", "CAN ERROR", {}, false, std::nullopt, std::nullopt},
        {"no data", "NO DATA", {}, false, std::nullopt, std::nullopt},
        {"filler dropped, blanks kept", "7E 00", {{"22F187", "62 F1 87 00 41 FF 20 20"}}, true, "A  ", std::nullopt},
        {"answer of another identifier", "7E 00", {{"22F187", "62 F1 95 56 31"}, {"22F195", "62 F1 95 56 32"}},
         true, std::nullopt, "V2"},
        {"presence lost", "7E 00", {}, true, std::nullopt, std::nullopt, {{"3E00", {""}}},
         {"3E00", "3E00", "22F187", "22F195"}},
        {"presence lost twice", "7E 00", {}, false, std::nullopt, std::nullopt, {{"3E00", {"", ""}}}, {"3E00", "3E00"}},
        {"presence held back, lost again", "7E 00", {}, false, std::nullopt, std::nullopt, heldBack({"", ""}),
         {"3E00", "3E00"}},
        {"presence held back, then no data", "7E 00", {}, false, std::nullopt, std::nullopt, heldBack({"", "NO DATA"}),
         {"3E00", "3E00"}},
        {"presence held back, its final ask refused then answered", "7E 00", {}, true, std::nullopt, std::nullopt,
         heldBack({"", "?"}), {"3E00", "3E00", "3E00!", "22F187", "22F195"}},
        {"presence held back, its final ask refused twice", "7E 00", {}, false, std::nullopt, std::nullopt,
         heldBack({"", "?", "?"}), {"3E00", "3E00", "3E00!"}},
        {"presence dropped by a busy adapter", "7E 00", {}, true, std::nullopt, std::nullopt, {{"3E00", {"STOPPED"}}},
         {"3E00", "3E00!", "22F187", "22F195"}},
        {"presence refused by a busy adapter", "7E 00", {}, true, std::nullopt, std::nullopt, {{"3E00", {"?"}}},
         {"3E00", "3E00!", "22F187", "22F195"}},
        {"part number late", "7E 00", {{"22F187", "62 F1 87 41"}}, true, "A", std::nullopt,
         {{"22F187", {"late:62 F1 87 41"}}}, {"3E00", "22F187", "22F187", "22F195"}},
        {"software version lost three times", "7E 00", {{"22F195", "62 F1 95 30"}}, true, std::nullopt, std::nullopt,
         {{"22F195", {"", "", ""}}}, {"3E00", "22F187", "22F195", "22F195", "22F195"}},
        {"software version lost twice, no NO DATA", "7E 00", {{"22F187", "62 F1 87 41"}, {"22F195", "62 F1 95 30"}},
         true, "A", std::nullopt, {{"22F195", {"", ""}}}, {"3E00", "22F187", "22F195", "22F195"}},
        {"presence lost twice, answered at the end", "7E 00", {}, true, std::nullopt, std::nullopt,
         {{"3E00", {"", ""}}}, {"3E00", "3E00", "3E00", "22F187", "22F195"}, true},
        {"presence lost three times", "7E 00", {}, false, std::nullopt, std::nullopt, {{"3E00", {"", "", ""}}},
         {"3E00", "3E00", "3E00"}, true},
        {"header dropped, presence lost twice", "7E 00", {}, true, std::nullopt, std::nullopt,
         {{"ATSH7E0", {"STOPPED"}}, {"3E00", {"", ""}}}, {"3E00", "3E00", "3E00", "22F187", "22F195"}, true},
        {"header dropped on both asks", "7E 00", {}, true, std::nullopt, std::nullopt,
         {{"ATSH7E0", Lines(4, "STOPPED")}}, {"3E00", "22F187", "22F195"}},
        {"part number held back, answered at the end", "7E 00", {{"22F187", "62 F1 87 41"}, {"22F195", "62 F1 95 30"}},
         true, "A", "0", {{"22F187", {""}}, {"ATI", {""}}, {"ATRV", {""}}}, {"3E00", "22F187", "22F195", "22F187"}},
        {"presence lost twice, its final ask dropped then answered", "7E 00", {}, true, std::nullopt, std::nullopt,
         {{"3E00", {"", "", "STOPPED"}}}, {"3E00", "3E00", "3E00", "3E00!", "22F187", "22F195"}, true},
        {"presence lost twice, its final ask refused twice", "7E 00", {}, false, std::nullopt, std::nullopt,
         {{"3E00", {"", "", "STOPPED", "?"}}}, {"3E00", "3E00", "3E00", "3E00!"}, true},
        // A header not taken asked no ECU: two asks of its own follow, with no "NO DATA" ever said.
        {"header refused twice, then one lost reply", "7E 00", {}, true, std::nullopt, std::nullopt,
         {{"ATSH7E0", {"STOPPED", "STOPPED"}}, {"3E00", {""}}}, {"3E00", "3E00", "22F187", "22F195"}},
        // The ECU's own answer counts whatever line took it; replies with headers name the ECU.
        {"presence answered late, its second ask lost", "7E8 02 7E 00", {{"22F187", "7E8 05 62 F1 87 41 42"}}, true,
         "AB", std::nullopt, {{"3E00", {"late:7E8 02 7E 00", ""}}}, {"3E00", "3E00", "22F187", "22F195"}, false, true},
        {"a header's OK taken by the presence read, its own answer one too many", "OK\r\r>7E8 02 7E 00", {}, true,
         std::nullopt, std::nullopt, {}, {}, false, true},
        {"presence answered to the header line, then NO DATA", "NO DATA", {}, true, std::nullopt, std::nullopt,
         {{"ATSH7E0", {"7E8 02 7E 00"}}}, {"3E00", "22F187", "22F195"}, false, true},
        {"another ECU's answer one too many", "NO DATA\r\r>7E9 02 7E 00", {}, false, std::nullopt, std::nullopt, {}, {},
         false, true},
        {"a pending answer one too many", "NO DATA\r\r>7E8 03 7F 3E 78", {}, false, std::nullopt, std::nullopt, {}, {},
         false, true},
        {"part number one too many", "7E8 02 7E 00", {{"22F187", "NO DATA\r\r>7E8 05 62 F1 87 41 42"}}, true, "AB",
         std::nullopt, {}, {}, false, true},
        {"part number refused, one too many", "7E8 02 7E 00", {{"22F187", "NO DATA\r\r>7E8 03 7F 22 31"}}, true,
         std::nullopt, std::nullopt, {}, {}, false, true},
        {"part number pending, one too many", "7E8 02 7E 00", {{"22F187", "NO DATA\r\r>7E8 03 7F 22 78"}}, true,
         std::nullopt, std::nullopt, {}, {}, false, true},
        {"part number cut short, one too many", "7E8 02 7E 00", {{"22F187", "NO DATA\r\r>7E8 10 0B 62 F1 87 41 42 43"}},
         true, std::nullopt, std::nullopt, {}, {}, false, true},
        // Another ECU's message is no answer of this one's, nor a message cut short: asked again.
        {"presence answered by another ECU's message", "NO DATA", {}, false, std::nullopt, std::nullopt,
         {{"3E00", {"7E9 02 7E 00"}}}, {"3E00", "3E00"}, false, true},
        {"software version answered by another ECU's message", "7E8 02 7E 00",
         {{"22F187", "7E8 05 62 F1 87 41 42"}, {"22F195", "7E8 05 62 F1 95 30 31"}}, true, "AB", "01",
         {{"22F195", {"7E9 05 62 F1 95 39 39"}}}, {"3E00", "22F187", "22F195", "22F195"}, false, true},
        {"part number cut short, then whole", "7E8 02 7E 00",
         {{"22F187", "7E8 10 0E 62 F1 87 45 53 50\r7E8 21 30 30 34 32 50 4E 37\r7E8 22 37"}}, true, "ESP0042PN77",
         std::nullopt, {{"22F187", {"7E8 10 14 62 F1 87 45 53 50\r7E8 21 30 30 34 32 50 37 00"}}},
         {"3E00", "22F187", "22F187!", "22F195"}, false, true},
        // Each message of the ECU read on its own: one cut short by the whole one, or broken by a
        // frame printed twice, answers nothing.
        {"part number cut short by its own sent whole", "7E8 02 7E 00",
         {{"22F187", "7E8 10 12 62 F1 87 30 43 4B\r7E8 21 39 32 37 31 35 38\r7E8 10 0C 62 F1 87 30 43 4B\r"
                     "7E8 21 39 32 37 31 35 38"}},
         true, "0CK927158", std::nullopt, {}, {}, false, true},
        {"part number's consecutive frame printed twice", "7E8 02 7E 00",
         {{"22F187", "7E8 10 0E 62 F1 87 41 32 37\r7E8 21 36 39 30 30 30 35 30\r7E8 22 30"}}, true, "A2769000500",
         std::nullopt, {{"22F187", {"7E8 10 0E 62 F1 87 41 32 37\r7E8 21 36 39 30 30 30 35 30\r7E8 21 36 39 30 30 30 35 30\r7E8 22 30"}}},
         {"3E00", "22F187", "22F187!", "22F195"}, false, true},
        // Its own answer to another of its reads is no answer either: asked again, after a probe.
        {"part number answered by its own software version", "7E8 02 7E 00",
         {{"22F187", "7E8 05 62 F1 87 41 42"}, {"22F195", "7E8 05 62 F1 95 30 31"}}, true, "AB", "01",
         {{"22F187", {"7E8 05 62 F1 95 30 31"}}}, {"3E00", "22F187", "22F187", "22F195"}, false, true},
        {"part number cut short, then its software version", "7E8 02 7E 00",
         {{"22F187", "7E8 05 62 F1 87 41 42"}, {"22F195", "7E8 05 62 F1 95 30 31"}}, true, "AB", "01",
         {{"22F187", {"7E8 10 0E 62 F1 87 41 32 37\r7E8 21 36 39 30 30 30 35 30\r7E8 05 62 F1 95 30 31"}}},
         {"3E00", "22F187", "22F187", "22F195"}, false, true},
        // A candidate outside the ISO 15765-4 pairs takes no other ECU's answer.
        {"a candidate on 740 answered by the engine", "748 02 7E 00",
         {{"22F187", "748 05 62 F1 87 41 42"}, {"22F195", "748 05 62 F1 95 30 31"}}, true, "AB", "01",
         {{"3E00", {"7E8 02 7E 00"}}, {"22F195", {"7E8 05 62 F1 95 39 39"}}},
         {"3E00", "3E00", "22F187", "22F195", "22F195"}, false, true, "740", "748"},
    };
    for (const auto& c : cases) {
        const ECUCandidate engine{"ME/CDI moteur", c.tx, c.rx};
        Answers answers{{{c.tx, "3E00"}, c.testerPresent}};
        for (const auto& [request, answer] : c.reads) answers[{c.tx, request}] = answer;
        ScriptedAdapter adapter(askByAsk(c.asks, ecus(answers)), {.responseTimeout = 100ms});
        if (c.headers) adapter.session().setFormat(FrameFormat::can11);
        if (c.noData) adapter.session().query(OBDCommand(0x00));
        const std::size_t start = adapter.lines().size();
        ECUScanner scanner(adapter.session());
        EXPECT_EQ(scanner.scan({engine}), (std::vector<DiscoveredECU>{{"ME/CDI moteur", c.tx, c.rx, c.responded,
                                                                       c.partNumber, c.softwareVersion}})) << c.name;
        const Lines answered{"3E00", "22F187", "22F195"};
        const Lines expected = !c.requests.empty() ? c.requests : c.responded ? answered : Lines{"3E00"};
        EXPECT_EQ(requestsIn(adapter.linesFrom(start)), expected) << c.name;
        if (c.asks.empty()) {
            EXPECT_EQ(adapter.linesFrom(start).size(), expected.size() + 1) << c.name; // and one header
        }
    }
}

TEST(ECUScanner, StandardScanProbesEveryAddressInOrderAndReportsEach) {
    ScriptedAdapter adapter(ecus({{{"7E0", "3E00"}, "7E 00"}, {{"7E3", "3E00"}, "7F 3E 22"}}));
    ECUScanner scanner(adapter.session());
    Lines reported;
    const auto found = scanner.scan(ECUScanner::standardCandidates(), [&](const DiscoveredECU& ecu) { reported.push_back(ecu.id()); });
    EXPECT_EQ(reported, (Lines{"7E0", "7E1", "7E2", "7E3", "7E4", "7E5", "7E6", "7E7"}));
    std::vector<bool> responded;
    for (const auto& ecu : found) responded.push_back(ecu.responded);
    EXPECT_EQ(responded, (std::vector<bool>{true, false, false, true, false, false, false, false}));
    EXPECT_EQ(adapter.lines().size(), 8u * 2 + 2 * 2);

    // The engine's second presence or part-number ask held back: asked once more after the gearbox,
    // and reported then, in its place in the list. A stop meanwhile ends that ask too.
    const Answers twoECUs{{{"7E0", "3E00"}, "7E 00"}, {{"7E0", "22F187"}, "62 F1 87 41"}, {{"7E1", "3E00"}, "7E 00"}};
    const std::vector<ECUCandidate> two(ECUScanner::standardCandidates().begin(), ECUScanner::standardCandidates().begin() + 2);
    const struct {
        Asks asks;
        bool stopped;
        Lines lines; // probes left out
    } held[] = {
        {heldBack({""}), false,
         {"ATSH7E0", "3E00", "ATSH7E1", "3E00", "22F187", "22F195", "ATSH7E0", "3E00", "22F187", "22F195"}},
        {{{"22F187", {""}}, {"ATI", {""}}, {"ATRV", {""}}}, false,
         {"ATSH7E0", "3E00", "22F187", "22F195", "ATSH7E1", "3E00", "22F187", "22F195", "ATSH7E0", "22F187"}},
        {heldBack({""}), true, {"ATSH7E0", "3E00", "ATSH7E1", "3E00"}},
    };
    for (const auto& h : held) {
        std::stop_source stop;
        const auto stopAtTheGearbox = [&](const std::string& line, const AdapterState& state) {
            if (h.stopped && state.header == "7E1" && line == "3E00") stop.request_stop();
            return ecus(twoECUs)(line, state);
        };
        ScriptedAdapter adapter(askByAsk(h.asks, stopAtTheGearbox), {.responseTimeout = 100ms});
        reported.clear();
        const auto both = ECUScanner(adapter.session()).scan(two, [&](const DiscoveredECU& ecu) { reported.push_back(ecu.id()); },
                                                             stop.get_token());
        EXPECT_EQ(reported, (Lines{"7E1", "7E0"}));
        EXPECT_EQ(both[0], (DiscoveredECU{"ME/CDI moteur", "7E0", "7E8", !h.stopped,
                                          h.stopped ? std::nullopt : std::optional<std::string>("A"), std::nullopt}));
        EXPECT_EQ(both[1].id(), "7E1");
        Lines probesLeftOut;
        std::ranges::copy_if(adapter.lines(), std::back_inserter(probesLeftOut), [](const auto& l) { return l != "ATI" && l != "ATRV"; });
        EXPECT_EQ(probesLeftOut, h.lines);
    }

    // A header the adapter cannot take is no answer.
    ScriptedAdapter dead(nullptr);
    dead.transport().failSendsContaining("ATSH");
    EXPECT_FALSE(ECUScanner(dead.session()).scan({ECUScanner::standardCandidates()[0]})[0].responded);
}

// The code read asks every ECU found answering, a read left with no reply once more after the
// others. Up to its end an ECU's own answer, whatever line took it, counts: a code read's answer is
// taken instead of the final ask, and an ECU shown absent whose test request's answer came meanwhile
// is found answering, identified and its codes read.
TEST(ECUScanner, TheCodeReadTakesWhatTheECUsAnsweredMeanwhile) {
    const std::vector<ECUCandidate> two(ECUScanner::standardCandidates().begin(), ECUScanner::standardCandidates().begin() + 2);
    const std::string engineCodes = "7E8 07 59 02 FF 01 71 00 08";
    const struct {
        const char* name;
        Answers answers;
        Asks asks; // whatever the header
        bool engineFound; // by the scan
        std::vector<std::string> codes; // the engine's, read by the end; "-" for none read
        Lines lines;                    // of the code read
    } cases[] = {
        {"the engine's test request answered while the gearbox's codes are read",
         {{{"7E0", "3E00"}, "NO DATA"}, {{"7E1", "1902FF"}, "7E9 03 59 02 FF\r\r>7E8 02 7E 00"}},
         {}, false, {"P0171-00"}, {"1902FF", "ATSH7E0", "22F187", "22F195", "1902FF"}},
        // The adapter said "NO DATA" (to the engine's 22F195): a code read lost twice is asked at the
        // end, unless its answer came meanwhile.
        {"the engine's codes lost twice, their answer one too many for the gearbox's",
         {{{"7E1", "1902FF"}, "7E9 03 59 02 FF\r\r>" + engineCodes}},
         {{"1902FF", {"", ""}}}, true, {"P0171-00"}, {"ATSH7E0", "1902FF", "1902FF", "ATSH7E1", "1902FF"}},
        {"another ECU's codes are not the engine's", {},
         {{"1902FF", {"", "", "7E9 03 59 02 FF\r\r>7EA 07 59 02 FF 01 71 00 08", ""}}}, true, {"-"}, {"ATSH7E0", "1902FF", "1902FF", "ATSH7E1", "1902FF", "ATSH7E0", "1902FF"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Answers answers{{{"7E0", "3E00"}, "7E8 02 7E 00"}, {{"7E0", "22F187"}, "7E8 05 62 F1 87 41 42"},
                        {{"7E0", "1902FF"}, engineCodes}, {{"7E1", "3E00"}, "7E9 02 7E 00"}};
        for (const auto& [key, answer] : c.answers) answers[key] = answer;
        ScriptedAdapter adapter(askByAsk(c.asks, ecus(answers)), {.responseTimeout = 100ms});
        adapter.session().setFormat(FrameFormat::can11);
        ECUScanner scanner(adapter.session());
        EXPECT_EQ(scanner.scan(two)[0].responded, c.engineFound);
        const std::size_t start = adapter.lines().size();
        std::vector<std::vector<DiscoveredECU>> lists;
        std::map<std::string, ECUScanner::Codes> codes;
        scanner.readCodes(0xFF, [&](const std::vector<DiscoveredECU>& list) { lists.push_back(list); },
                          [&](const std::string& header, const ECUScanner::Codes& read) { codes[header] = read; });
        using List = std::vector<DiscoveredECU>;
        const List found{{"ME/CDI moteur", "7E0", "7E8", true, "AB", std::nullopt},
                         {"VGS boîte 9G", "7E1", "7E9", true, std::nullopt, std::nullopt}};
        EXPECT_EQ(lists, c.engineFound ? std::vector<List>{} : std::vector<List>{found}); // posted again once found
        ASSERT_TRUE(codes.contains("7E0") && codes.contains("7E1"));
        Lines read{"-"};
        if (codes["7E0"]) {
            read.clear();
            for (const UDSDTC& code : *codes["7E0"]) read.push_back(code.id());
        }
        EXPECT_EQ(read, c.codes);
        EXPECT_EQ(codes["7E1"], std::optional(std::vector<UDSDTC>{}));
        std::vector<std::string> probesLeftOut;
        std::ranges::copy_if(adapter.linesFrom(start), std::back_inserter(probesLeftOut),
                             [](const auto& l) { return l != "ATI" && l != "ATRV"; });
        EXPECT_EQ(probesLeftOut, c.lines);
    }
}

// The engine's test request lost twice on an adapter that has said "NO DATA": its own answer, let
// out just before the gearbox's, is kept, and no final ask goes out for it. The gearbox's read,
// its reply holding only the engine's message, is asked again and takes its own.
TEST(ECUScanner, AnAnswerKeptBeforeTheFinalAskSparesIt) {
    const std::vector<ECUCandidate> two(ECUScanner::standardCandidates().begin(), ECUScanner::standardCandidates().begin() + 2);
    int engineAsks = 0, gearboxAsks = 0; // the command lock serialises the script
    ScriptedAdapter adapter(
        [&](const std::string& line, const AdapterState& state) -> std::optional<Lines> {
            if (line == "3E00" && state.header == "7E0") return ++engineAsks <= 2 ? Lines{} : Lines{reply("7E8 02 7E 00")};
            if (line == "3E00" && state.header == "7E1" && ++gearboxAsks == 1) {
                return Lines{reply("7E8 02 7E 00"), reply("7E9 02 7E 00")};
            }
            if (line == "3E00") return Lines{reply("7E9 02 7E 00")};
            if (line == "22F187") return Lines{reply(state.header == "7E0" ? "7E8 04 62 F1 87 41" : "7E9 04 62 F1 87 42")};
            return std::nullopt;
        },
        {.responseTimeout = 100ms});
    adapter.session().setFormat(FrameFormat::can11);
    adapter.session().query(OBDCommand(0x00)); // "NO DATA"
    const std::size_t start = adapter.lines().size();
    const auto found = ECUScanner(adapter.session()).scan(two);
    EXPECT_EQ(found, (std::vector<DiscoveredECU>{{"ME/CDI moteur", "7E0", "7E8", true, "A", std::nullopt},
                                                 {"VGS boîte 9G", "7E1", "7E9", true, "B", std::nullopt}}));
    EXPECT_EQ(engineAsks, 2);
    std::vector<std::string> probesLeftOut;
    std::ranges::copy_if(adapter.linesFrom(start), std::back_inserter(probesLeftOut),
                         [](const auto& l) { return l != "ATI" && l != "ATRV"; });
    EXPECT_EQ(probesLeftOut, (Lines{"ATSH7E0", "3E00", "3E00", "ATSH7E1", "3E00", "3E00", "22F187", "22F195", "ATSH7E0",
                                    "22F187", "22F195"}));
}

// A header setting of the code read given an ECU's message before its "OK" (one reply too many
// after the engine's code read, or the engine's software version let out late) takes its own "OK":
// every line after it takes its own reply, and each ECU's codes are read, in every header format.
TEST(ECUScanner, AHeaderSettingGivenAnECUsMessageWaitsForItsOwnOK) {
    enum class Format { can11, can29, headersOff };
    const struct {
        const char* name;
        Format format;
        std::string setting; // of the code read
        std::string extra;   // what comes before its "OK", as printed with 11-bit headers
        bool versionHeld;    // the engine's software version went unanswered during the scan
    } cases[] = {
        {"one too many after the engine's codes", Format::can11, "ATSH7E1", "7E8 10 0B 62 F1 95 30 31 2E\r7E8 21 30 32 2E 30 33", false},
        {"the engine's version let out late", Format::can11, "ATSH7E1", "7E8 10 0B 62 F1 95 30 31 2E\r7E8 21 30 32 2E 30 33", true},
        {"the engine's test answer, 11-bit", Format::can11, "ATSH7E2", "7E8 02 7E 00", false},
        {"the engine's test answer, 29-bit", Format::can29, "ATSH18DA12F1", "7E8 02 7E 00", false},
        {"the engine's test answer, no headers", Format::headersOff, "ATSH7E2", "7E8 02 7E 00", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The reply as the format prints it: with 29-bit response headers, or with none.
        const auto printed = [&](std::string text) {
            if (c.format == Format::can11) return text;
            for (const auto& [can11, can29] : {std::pair{"7E8 ", "18DAF110 "}, {"7E9 ", "18DAF111 "}, {"7EA ", "18DAF112 "}}) {
                for (std::size_t at = text.find(can11); at != std::string::npos; at = text.find(can11)) {
                    text.replace(at, 4, c.format == Format::can29 ? can29 : "");
                }
            }
            return text;
        };
        std::vector<ECUCandidate> three(ECUScanner::standardCandidates().begin(), ECUScanner::standardCandidates().begin() + 3);
        if (c.format == Format::can29) {
            three = {{"ME/CDI moteur", "18DA10F1", "18DAF110"}, {"VGS boîte 9G", "18DA11F1", "18DAF111"}, {"ESP / SBC", "18DA12F1", "18DAF112"}};
        }
        Answers answers;
        const char* own[] = {"7E8 ", "7E9 ", "7EA "};
        for (std::size_t k = 0; k < 3; ++k) {
            answers[{three[k].txHeader, "3E00"}] = printed(std::string(own[k]) + "02 7E 00");
            answers[{three[k].txHeader, "22F187"}] = printed(std::string(own[k]) + "04 62 F1 87 " + std::string(1, "ABC"[k]) + "0");
        }
        if (c.versionHeld) answers[{three[0].txHeader, "22F195"}] = "";
        answers[{three[0].txHeader, "1902FF"}] = printed("7E8 07 59 02 FF 01 71 00 08");
        answers[{three[1].txHeader, "1902FF"}] = printed("7E9 07 59 02 FF 07 00 00 08");
        answers[{three[2].txHeader, "1902FF"}] = printed("7EA 10 0B 59 02 FF 01 33 00\r7EA 21 08 00 C1 00 08");
        // Once the message came, the link lags: each reply reaches the session a little after its
        // line went out, in order, as over Wi-Fi, so that a line taking another's reply would shift
        // every later one. The command lock serialises the script.
        struct {
            std::mutex mutex;
            std::condition_variable_any changed;
            std::deque<std::string> replies;
            bool on = false;
        } lag;
        bool codesRead = false;
        const ScriptedAdapter::Script script = [&](const std::string& line, const AdapterState& state) -> std::optional<Lines> {
            codesRead = codesRead || line == "1902FF";
            Lines own;
            if (codesRead && line == c.setting && !lag.on) {
                own = {reply(printed(c.extra)), reply("OK")};
            } else if (const auto it = answers.find({state.header, line}); it == answers.end() || !it->second.empty()) {
                own = ecus(answers)(line, state).value_or(ScriptedAdapter::defaultAnswer(line));
            }
            std::lock_guard lock(lag.mutex);
            if (!lag.on && own.size() == 2) {
                lag.on = true;
                lag.replies.push_back(own.back());
                lag.changed.notify_all();
                return Lines{own.front()};
            }
            if (!lag.on) return own;
            lag.replies.insert(lag.replies.end(), own.begin(), own.end());
            lag.changed.notify_all();
            return Lines{};
        };
        ScriptedAdapter adapter(script, {.responseTimeout = 300ms});
        std::jthread link([&](std::stop_token stop) {
            std::unique_lock lock(lag.mutex);
            while (lag.changed.wait(lock, stop, [&] { return !lag.replies.empty(); })) {
                const std::string next = lag.replies.front();
                lag.replies.pop_front();
                lock.unlock();
                std::this_thread::sleep_for(20ms);
                adapter.transport().push(next);
                lock.lock();
            }
        });
        adapter.session().setting("ATE0"); // the adapter was heard saying "OK"
        adapter.session().setFormat(c.format == Format::can11   ? FrameFormat::can11
                                    : c.format == Format::can29 ? FrameFormat::can29
                                                                : FrameFormat::headersOff);
        ECUScanner scanner(adapter.session());
        scanner.scan(three);
        std::map<std::string, std::vector<std::string>> codes;
        scanner.readCodes(0xFF, {}, [&](const std::string& header, const ECUScanner::Codes& read) {
            std::vector<std::string>& ids = codes[header];
            if (!read) ids.push_back("non lus");
            for (const UDSDTC& code : read.value_or(std::vector<UDSDTC>{})) ids.push_back(code.id());
        });
        EXPECT_EQ(codes, (std::map<std::string, std::vector<std::string>>{
                             {three[0].txHeader, {"P0171-00"}}, {three[1].txHeader, {"P0700-00"}}, {three[2].txHeader, {"P0133-00", "P00C1-00"}}}));
    }
}

TEST(ECUScanner, TheSimulatedCarGivesEveryUnitAndTheEngineAndTransmissionCodes) {
    ELM327Session session(std::make_shared<SimulatorTransport>());
    session.connect();
    session.runInitialization();
    ECUScanner scanner(session);
    const auto found = scanner.scan(ECUScanner::standardCandidates());
    ASSERT_EQ(found.size(), 8u);
    EXPECT_EQ(found[0], (DiscoveredECU{"ME/CDI moteur", "7E0", "7E8", true, "A2569006200", "0044/3.11.0"}));
    EXPECT_EQ(found[1], (DiscoveredECU{"VGS boîte 9G", "7E1", "7E9", true, "A7252702300", "0014/1.09.0"}));
    EXPECT_EQ(found[4], (DiscoveredECU{"SAM avant", "7E4", "7EC", true, "A2059000121", "0031/4.10.0"}));
    EXPECT_TRUE(std::all_of(found.begin(), found.end(), [](const auto& e) { return e.responded; }));

    UDSClient client(session);
    client.target("7E0");
    std::vector<std::string> codes;
    for (const UDSDTC& code : client.readDTCsByStatusMask(0xFF)) codes.push_back(code.id());
    client.target("7E1");
    for (const UDSDTC& code : client.readDTCsByStatusMask(0xFF)) codes.push_back(code.id());
    EXPECT_EQ(codes, (std::vector<std::string>{"P0300-64", "P0171-00", "P0715-62"}));
}

} // namespace
