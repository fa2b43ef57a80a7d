#include "VEQEngine/UDS/ProtocolSweep.hpp"

#include "VEQEngine/UDS/ScriptedAdapter.hpp"

#include <gtest/gtest.h>

#include "VEQEngine/Session/MonitorAlreadyRunning.hpp"

#include <algorithm>
#include <future>

using namespace veq;
using namespace veq::testing;

namespace {

using Lines = std::vector<std::string>;

// Answers the probe "0100" only on one protocol and header ("" for the default addressing,
// which the sweep selects with ATCRA).
ScriptedAdapter::Script answeringOnlyOn(std::string protocol, std::string header, std::string answer) {
    auto defaultAddressing = std::make_shared<bool>(false);
    return [=](const std::string& line, const AdapterState& state) -> std::optional<Lines> {
        if (line.starts_with("ATSH")) *defaultAddressing = false;
        if (line == "ATCRA") *defaultAddressing = true;
        const bool headerMatches = header.empty() ? *defaultAddressing : !*defaultAddressing && state.header == header;
        if (line == "0100" && state.protocol == protocol && headerMatches) return Lines{reply(answer)};
        return std::nullopt;
    };
}

Lines tried(const ProtocolSweep::Outcome& outcome) {
    Lines out;
    for (const auto& a : outcome.attempts) out.push_back(a.protocolNumber + "/" + a.header.value_or("-"));
    return out;
}

// The lines sent from the first `first` on, `count` of them.
Lines after(const Lines& lines, const std::string& first, std::ptrdiff_t count) {
    const auto it = std::find(lines.begin(), lines.end(), first);
    return it == lines.end() ? Lines{} : Lines(it, it + std::min(count, lines.end() - it));
}

TEST(ProtocolSweep, PhysicalTwentyNineBitCarIsFoundAtTheSeventhAttemptWithLiveProgress) {
    ScriptedAdapter adapter(answeringOnlyOn("7", "18DA10F1", "18DAF110 06 41 00 BE 3F A8 13"));
    Lines reported;
    const auto outcome = ProtocolSweep::run(adapter.session(), true, [&](const ProtocolSweep::Attempt& a) {
        // Reported before the next command goes out.
        reported.push_back(a.protocolNumber + "/" + a.header.value_or("-") + " after " + adapter.lines().back());
    });
    const Lines expected{"6/-", "6/7DF", "6/7E0", "6/7E1", "6/7E2", "7/18DB33F1", "7/18DA10F1"};
    EXPECT_EQ(tried(outcome), expected);
    ASSERT_EQ(reported.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(reported[i], expected[i] + " after 0100");
    ASSERT_TRUE(outcome.succeeded());
    EXPECT_EQ(outcome.workingProtocol->number, "7");
    EXPECT_EQ(outcome.workingHeader, "18DA10F1");
    EXPECT_EQ(outcome.respondingECUs, Lines{"18DAF110"});
    EXPECT_EQ(adapter.session().format(), FrameFormat::can29);
    EXPECT_EQ(after(adapter.lines(), "ATZ", 11),
              (Lines{"ATZ", "ATE0", "ATL0", "ATS0", "ATH1", "ATST96", "ATAT1", "ATSP6", "ATCAF1", "ATCRA", "0100"}));

    // The header found becomes the OBD header: mode 01 finds the car again after a UDS exchange.
    EXPECT_EQ(adapter.session().obdHeader(), "18DA10F1");
    adapter.session().raw(TransmitHeader::of("18DA18F1"), "22F190");
    EXPECT_EQ(adapter.session().probeVehicle().ecus.size(), 1u);
    EXPECT_EQ(adapter.linesFrom(adapter.lines().size() - 4), (Lines{"ATSH18DA18F1", "22F190", "ATSH18DA10F1", "0100"}));
}

TEST(ProtocolSweep, SilentCarOrDeadLinkTriesEveryProtocolInOrder) {
    for (const bool dead : {false, true}) {
        ScriptedAdapter adapter(nullptr);
        if (dead) adapter.transport().failSendsContaining("");
        const auto outcome = ProtocolSweep::run(adapter.session(), true);
        ASSERT_EQ(outcome.attempts.size(), 61u);
        std::string order;
        for (const auto& a : outcome.attempts)
            if (order.empty() || order.back() != a.protocolNumber[0]) order += a.protocolNumber;
        EXPECT_EQ(order, "678954312ABC");
        EXPECT_FALSE(outcome.succeeded());
        EXPECT_TRUE(std::none_of(outcome.attempts.begin(), outcome.attempts.end(), [](const auto& a) { return a.succeeded; }));
        if (dead) {
            EXPECT_EQ(outcome.attempts.back().detail, "(aucune réponse)");
        }
    }
    ScriptedAdapter adapter(nullptr);
    EXPECT_EQ(ProtocolSweep::run(adapter.session(), false).attempts.size(), 56u);
}

TEST(ProtocolSweep, NonCANProtocolsAreTriedWithHeadersOffAndCANOnesWithHeadersOn) {
    ScriptedAdapter kline(answeringOnlyOn("3", "", "41 00 BE 1F B8 10"));
    const auto found = ProtocolSweep::run(kline.session(), true);
    ASSERT_TRUE(found.succeeded());
    EXPECT_EQ(found.workingProtocol->number, "3");
    EXPECT_TRUE(found.respondingECUs.empty());
    EXPECT_EQ(found.attempts.size(), 37u);
    EXPECT_EQ(kline.session().format(), FrameFormat::headersOff);
    EXPECT_EQ(after(kline.lines(), "ATSP5", 4), (Lines{"ATSP5", "ATH0", "ATCRA", "0100"}));

    ScriptedAdapter truck(answeringOnlyOn("A", "18DA10F1", "18DAF110 06 41 00 BE 3F A8 13"));
    const auto outcome = ProtocolSweep::run(truck.session(), true);
    ASSERT_TRUE(outcome.succeeded());
    EXPECT_EQ(outcome.respondingECUs, Lines{"18DAF110"});
    EXPECT_EQ(after(truck.lines(), "ATSPA", 4), (Lines{"ATSPA", "ATCAF1", "ATH1", "ATSH18DB33F1"}));
}

// An answer broken on the way proves nothing: the attempt asks once more, and succeeds only on a
// whole support map.
TEST(ProtocolSweep, ABrokenAnswerIsAskedOnceMoreAndOnlyAWholeMapSucceeds) {
    const std::string whole = "7E8 06 41 00 BE 3F A8 13", broken = "7E8 07 41 00 BE 3F A8 13";
    const struct {
        const char* name;
        Lines answers; // to the first attempt's asks
        bool succeeded;
        long asks;
    } cases[] = {
        {"broken, then whole", {broken, whole}, true, 2},
        {"broken twice", {broken, broken}, false, 2},
        {"another ECU's late answer first, then the map", {"7E9 04 41 0C 10 00\r" + whole}, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedAdapter adapter(askByAsk({{"0100", c.answers}}));
        std::stop_source source;
        long asks = 0;
        const auto outcome = ProtocolSweep::run(adapter.session(), true, [&](const auto&) {
            const Lines sent = adapter.lines();
            asks = std::count(sent.begin(), sent.end(), "0100");
            source.request_stop();
        }, source.get_token());
        ASSERT_EQ(outcome.attempts.size(), 1u);
        EXPECT_EQ(outcome.attempts.front().succeeded, c.succeeded);
        EXPECT_EQ(asks, c.asks);
    }
}

TEST(ProtocolSweep, StopEndsTheSweepEarly) {
    ScriptedAdapter adapter(nullptr);
    std::stop_source source;
    const auto outcome = ProtocolSweep::run(adapter.session(), true, [&](const auto& attempt) {
        if (attempt.header == "7E0") source.request_stop();
    }, source.get_token());
    EXPECT_EQ(outcome.attempts.size(), 3u);
}

TEST(ProtocolSweep, FrameIdentifierOfMonitorLines) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"  7DF 02 01 0D  ", "7DF"},
        {"0C8 11 0B E4 18 00 00 00 00", "0C8"},
        {"18 DA F1 10 03 41 0D 00", "18DAF110"},
        {"18DAF110 03 41 0D 00", "18DAF110"},
        {"NO DATA", std::nullopt},
        {"18 DA F1 10", std::nullopt}, // no data after it
        {"7E803410D00", std::nullopt},
        {"18 DA F1 1 03 41", std::nullopt},
        {"7G8 03 41", std::nullopt},
        // A garbled adapter's line of hex is no frame: its identifier is out of range.
        {"41 41 41 41 41 41 41 41 41 41 41 41 41 41", std::nullopt},
        {"800 02 01 0D", std::nullopt},
        {"20000000 03 41 0D 00", std::nullopt},
        {"1FFFFFFF 03 41 0D 00", "1FFFFFFF"},
    };
    for (const auto& [line, identifier] : cases) EXPECT_EQ(ProtocolSweep::frameIdentifier(line), identifier) << line;
}

// Listening ends here with the link: every line the adapter printed before is still handed over.
// (A stop could land while the monitor is still starting, which rightly gives nothing.)
TEST(ProtocolSweep, ListenCollectsTheIdentifiersHeard) {
    ScriptedAdapter adapter(nullptr);
    Lines heard;
    std::jthread listener([&] { heard = ProtocolSweep::listen(adapter.session(), std::chrono::seconds(60)); });
    ASSERT_TRUE(eventually([&] { return adapter.lines().size() > 0 && adapter.lines().back() == "ATMA"; }));
    adapter.transport().push("7E8 03 41 0D\r  7DF 02 01 0D  \rNO DATA\r18 DA F1 10 03 41 0D 00\r"
                             "0C8 11 0B E4 18 00 00 00 00\r7E8 03 41 0D\r");
    adapter.transport().loseLink();
    listener.join();
    EXPECT_EQ(heard, (Lines{"0C8", "18DAF110", "7DF", "7E8"}));
    EXPECT_FALSE(adapter.session().isMonitoring());

    ScriptedAdapter stopped(nullptr);
    std::stop_source source;
    auto listening = std::async(std::launch::async, [&] {
        return ProtocolSweep::listen(stopped.session(), std::chrono::seconds(60), source.get_token());
    });
    ASSERT_TRUE(eventually([&] { return stopped.lines().size() > 0 && stopped.lines().back() == "ATMA"; }));
    source.request_stop();
    EXPECT_EQ(listening.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(stopped.session().isMonitoring());
}

TEST(ProtocolSweep, ListenWhileTheMonitorRunsFailsAtOnce) {
    ScriptedAdapter adapter(nullptr);
    const auto stream = adapter.session().startMonitoring();
    const std::size_t sent = adapter.lines().size();
    auto listening = std::async(std::launch::async, [&] { return ProtocolSweep::listen(adapter.session(), std::chrono::seconds(1)); });
    const bool returned = listening.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    EXPECT_TRUE(returned);
    EXPECT_EQ(adapter.lines().size(), sent);
    EXPECT_TRUE(adapter.session().isMonitoring());
    adapter.session().stopMonitoring(); // lets a listen that waited go on
    if (returned) {
        EXPECT_THROW(listening.get(), MonitorAlreadyRunning);
    }
}

} // namespace
