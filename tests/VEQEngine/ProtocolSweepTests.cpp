// The protocol sweep's order, attempts and outcome against scripted adapters, and the bus listen.
#include "VEQEngine/ProtocolSweep.hpp"

#include "VEQEngine/ScriptedAdapter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace veq;
using namespace veq::testing;

namespace {

using Script = ScriptedAdapter::Script;

// The request the sweep sends for every attempt.
constexpr std::string_view probe = "0100";

// Answers the probe with `answer` only on one protocol and header ("" for the default addressing,
// which the sweep selects with ATCRA).
Script answeringOnlyOn(std::string protocol, std::string header, std::string answer) {
    auto defaultAddressing = std::make_shared<bool>(false);
    return [=](const std::string& line, const AdapterState& state) -> std::optional<std::vector<std::string>> {
        if (line.starts_with("ATSH")) *defaultAddressing = false;
        if (line == "ATCRA") *defaultAddressing = true;
        if (line != probe) return std::nullopt;
        const bool headerMatches = header.empty() ? *defaultAddressing : (!*defaultAddressing && state.header == header);
        if (state.protocol == protocol && headerMatches) return std::vector<std::string>{reply(answer)};
        return std::nullopt;
    };
}

std::vector<std::string> tried(const ProtocolSweep::Outcome& outcome) {
    std::vector<std::string> out;
    for (const auto& a : outcome.attempts) out.push_back(a.protocolNumber + "/" + a.header.value_or("-"));
    return out;
}

std::vector<std::string> protocolsTried(const ProtocolSweep::Outcome& outcome) {
    std::vector<std::string> out;
    for (const auto& a : outcome.attempts) {
        if (out.empty() || out.back() != a.protocolNumber) out.push_back(a.protocolNumber);
    }
    return out;
}

TEST(ProtocolSweep, ProtocolTableAndHeaderLists) {
    std::string order;
    std::vector<std::size_t> headerCounts;
    for (const auto& p : ProtocolSweep::protocols()) {
        order += p.number;
        headerCounts.push_back(ProtocolSweep::headers(p).size());
    }
    EXPECT_EQ(order, "678954312ABC");
    EXPECT_EQ(headerCounts, (std::vector<std::size_t>{5, 12, 5, 12, 1, 1, 1, 1, 1, 12, 5, 5}));
    const auto can29 = ProtocolSweep::headers(ProtocolSweep::protocols()[1]);
    EXPECT_EQ(can29[6], (ProtocolSweep::HeaderChoice{"18DA17F1", "physique 0x17"}));
    EXPECT_EQ(can29[11], (ProtocolSweep::HeaderChoice{"18DA7EF1", "physique 0x7E"}));
}

TEST(ProtocolSweep, PhysicalTwentyNineBitCarIsFoundAtTheSeventhAttemptWithLiveProgress) {
    ScriptedAdapter adapter(answeringOnlyOn("7", "18DA10F1", "18DAF110 06 41 00 BE 3F A8 13"));
    std::vector<std::string> reported;
    std::vector<std::string> lastLineAtReport;
    const auto outcome = ProtocolSweep::run(adapter.session(), true, [&](const ProtocolSweep::Attempt& a) {
        reported.push_back(a.protocolNumber + "/" + a.header.value_or("-"));
        lastLineAtReport.push_back(adapter.lines().back());
    });

    const std::vector<std::string> expected{"6/-", "6/7DF", "6/7E0", "6/7E1", "6/7E2", "7/18DB33F1", "7/18DA10F1"};
    EXPECT_EQ(tried(outcome), expected);
    EXPECT_EQ(reported, expected);
    // Each attempt is reported before the next command goes out.
    EXPECT_TRUE(std::all_of(lastLineAtReport.begin(), lastLineAtReport.end(), [](const auto& l) { return l == probe; }));
    ASSERT_TRUE(outcome.succeeded());
    EXPECT_EQ(outcome.workingProtocol->number, "7");
    EXPECT_EQ(outcome.workingHeader, "18DA10F1");
    EXPECT_EQ(outcome.respondingECUs, std::vector<std::string>{"18DAF110"});
    EXPECT_EQ(outcome.attempts[0].addressing, "fonctionnel 7DF (défaut)");
    EXPECT_EQ(outcome.attempts[5].detail, "NO DATA");
    EXPECT_EQ(outcome.attempts[6].detail, "18DAF110 06 41 00 BE 3F A8 13");
    EXPECT_NE(outcome.attempts[0].id, outcome.attempts[1].id);
    EXPECT_EQ(adapter.session().format(), FrameFormat::can29);

    const std::vector<std::string> lines = adapter.lines();
    const std::vector<std::string> start(lines.begin(), lines.begin() + 11);
    EXPECT_EQ(start, (std::vector<std::string>{"ATZ", "ATE0", "ATL0", "ATS0", "ATH1", "ATST96", "ATAT1", "ATSP6",
                                               "ATCAF1", "ATCRA", "0100"}));
}

TEST(ProtocolSweep, DefaultFunctionalAnswerListsEveryRespondingHeader) {
    struct Case {
        const char* name;
        std::string answer;
        std::size_t attempts;
        std::vector<std::string> ecus;
    };
    const Case cases[] = {
        {"two ECUs", "7E9 06 41 00 98 18 00 13\r7E8 06 41 00 BE 3F A8 13", 1, {"7E8", "7E9"}},
        {"one refuses", "7E8 06 41 00 BE 3F A8 13\r7EA 03 7F 01 12", 1, {"7E8", "7EA"}},
        {"a refusal alone", "7E8 03 7F 01 12", 56, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedAdapter adapter(answeringOnlyOn("6", "", c.answer));
        const auto outcome = ProtocolSweep::run(adapter.session(), false);
        EXPECT_EQ(outcome.attempts.size(), c.attempts);
        EXPECT_EQ(outcome.succeeded(), !c.ecus.empty());
        EXPECT_EQ(outcome.workingHeader, std::nullopt);
        EXPECT_EQ(outcome.respondingECUs, c.ecus);
    }
}

TEST(ProtocolSweep, SilentCarTriesEveryProtocolInOrder) {
    struct Case {
        bool deep;
        std::size_t attempts;
        std::vector<std::string> protocols;
    };
    const Case cases[] = {
        {true, 61, {"6", "7", "8", "9", "5", "4", "3", "1", "2", "A", "B", "C"}},
        {false, 56, {"6", "7", "8", "9", "A", "B", "C"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deep);
        ScriptedAdapter adapter(nullptr);
        std::size_t reports = 0;
        const auto outcome = ProtocolSweep::run(adapter.session(), c.deep, [&](const auto&) { ++reports; });
        EXPECT_EQ(outcome.attempts.size(), c.attempts);
        EXPECT_EQ(reports, c.attempts);
        EXPECT_EQ(protocolsTried(outcome), c.protocols);
        EXPECT_FALSE(outcome.succeeded());
        EXPECT_EQ(outcome.workingHeader, std::nullopt);
        EXPECT_EQ(outcome.attempts.back().protocolNumber, "C");
        EXPECT_EQ(outcome.attempts.back().header, "7E2");
        EXPECT_EQ(adapter.state().header, "7E2");
    }
}

TEST(ProtocolSweep, DeadLinkGivesEveryAttemptWithoutAnswer) {
    ScriptedAdapter adapter(nullptr);
    adapter.transport().failSendsContaining("");
    const auto outcome = ProtocolSweep::run(adapter.session(), true);
    ASSERT_EQ(outcome.attempts.size(), 61u);
    EXPECT_TRUE(std::all_of(outcome.attempts.begin(), outcome.attempts.end(),
                            [](const auto& a) { return !a.succeeded && a.detail == "(aucune réponse)"; }));
    EXPECT_FALSE(outcome.succeeded());
}

TEST(ProtocolSweep, NonCANProtocolsAreTriedWithHeadersOff) {
    // A K-line adapter with headers off prints the bare payload; split as 11-bit frames it
    // would never read as an answer.
    ScriptedAdapter adapter(answeringOnlyOn("3", "", "41 00 BE 1F B8 10"));
    const auto outcome = ProtocolSweep::run(adapter.session(), true);
    ASSERT_TRUE(outcome.succeeded());
    EXPECT_EQ(outcome.workingProtocol->number, "3");
    EXPECT_EQ(outcome.workingHeader, std::nullopt);
    EXPECT_TRUE(outcome.respondingECUs.empty()); // no header in a headers-off reply
    EXPECT_EQ(outcome.attempts.size(), 37u);     // 34 on CAN, then 5, 4 and 3
    EXPECT_EQ(adapter.session().format(), FrameFormat::headersOff);

    const std::vector<std::string> lines = adapter.lines();
    const auto kwp = std::find(lines.begin(), lines.end(), "ATSP5");
    ASSERT_NE(kwp, lines.end());
    EXPECT_EQ(std::vector<std::string>(kwp, kwp + 4), (std::vector<std::string>{"ATSP5", "ATH0", "ATCRA", "0100"}));
}

TEST(ProtocolSweep, HeadersComeBackOnForTheCANProtocolsAfterTheOthers) {
    ScriptedAdapter adapter(answeringOnlyOn("A", "18DA10F1", "18DAF110 06 41 00 BE 3F A8 13"));
    const auto outcome = ProtocolSweep::run(adapter.session(), true);
    ASSERT_TRUE(outcome.succeeded());
    EXPECT_EQ(outcome.workingProtocol->number, "A");
    EXPECT_EQ(outcome.respondingECUs, std::vector<std::string>{"18DAF110"});
    const std::vector<std::string> lines = adapter.lines();
    const auto j1939 = std::find(lines.begin(), lines.end(), "ATSPA");
    ASSERT_NE(j1939, lines.end());
    EXPECT_EQ(std::vector<std::string>(j1939, j1939 + 4),
              (std::vector<std::string>{"ATSPA", "ATCAF1", "ATH1", "ATSH18DB33F1"}));
    // No header switch on the CAN protocols before the first non-CAN one.
    const auto firstKWP = std::find(lines.begin(), lines.end(), "ATSP5");
    EXPECT_EQ(std::count(lines.begin(), firstKWP, "ATH1"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "ATH0"), 5);
}

TEST(ProtocolSweep, StopEndsTheSweepEarly) {
    ScriptedAdapter adapter(nullptr);
    std::stop_source source;
    const auto outcome = ProtocolSweep::run(adapter.session(), true, [&](const auto& attempt) {
        if (attempt.header == "7E0") source.request_stop();
    }, source.get_token());
    EXPECT_EQ(outcome.attempts.size(), 3u);
    EXPECT_FALSE(outcome.succeeded());
}

TEST(ProtocolSweep, FrameIdentifierOfMonitorLines) {
    struct Case {
        const char* line;
        std::optional<std::string> identifier;
    };
    const Case cases[] = {
        {"7E8 03 41 0D", "7E8"},
        {"  7DF 02 01 0D  ", "7DF"},
        {"0C8 11 0B E4 18 00 00 00 00", "0C8"},
        {"18 DA F1 10 03 41 0D 00", "18DAF110"},
        {"18DAF110 03 41 0D 00", "18DAF110"},
        {"7e8\t03 41", "7e8"},
        {"NO DATA", std::nullopt},
        {"BUFFER FULL", std::nullopt},
        {"7E8", std::nullopt},             // no data after it
        {"18 DA F1 10", std::nullopt},      // no data after it
        {"7E803410D00", std::nullopt},      // not split
        {"18 DA F1 1 03 41", std::nullopt}, // a 1-digit token
        {"7G8 03 41", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ProtocolSweep::frameIdentifier(c.line), c.identifier);
    }
}

TEST(ProtocolSweep, ListenCollectsTheIdentifiersHeard) {
    ScriptedAdapter adapter(nullptr);
    std::stop_source source;
    std::vector<std::string> heard;
    std::jthread listener([&] { heard = ProtocolSweep::listen(adapter.session(), std::chrono::seconds(60), source.get_token()); });
    ASSERT_TRUE(eventually([&] {
        const auto lines = adapter.lines();
        return !lines.empty() && lines.back() == "ATMA";
    }));
    adapter.transport().push("7E8 03 41 0D\r  7DF 02 01 0D  \rNO DATA\r18 DA F1 10 03 41 0D 00\r"
                             "0C8 11 0B E4 18 00 00 00 00\r7E8 03 41 0D\r");
    // Once the reader has taken this last line of noise, it has handled every line before it.
    adapter.transport().push("ZZ\r");
    ASSERT_TRUE(eventually([&] { return adapter.transport().incoming()->bufferedChunks() == 0; }));
    source.request_stop();
    listener.join();
    EXPECT_EQ(heard, (std::vector<std::string>{"0C8", "18DAF110", "7DF", "7E8"}));
    EXPECT_FALSE(adapter.session().isMonitoring());
    EXPECT_EQ(adapter.session().format(), FrameFormat::can11);
    EXPECT_EQ(adapter.lines().front(), "ATH1");
}

TEST(ProtocolSweep, ListenIsEmptyWhenMonitorModeCannotStart) {
    ScriptedAdapter adapter(nullptr);
    adapter.transport().failSendsContaining("ATMA");
    EXPECT_TRUE(ProtocolSweep::listen(adapter.session(), std::chrono::seconds(60)).empty());
    EXPECT_FALSE(adapter.session().isMonitoring());
}

} // namespace
