// Several users on one session at once, as the application runs them: the polling engine with a
// data-identifier watch, concurrent ECU scans, users stopped while a bus monitor holds the adapter. Each request must reach the ECU it is meant for.
#include "VEQEngine/Session/TelemetryEngine.hpp"
#include "VEQEngine/UDS/DIDScanner.hpp"
#include "VEQEngine/UDS/ECUScanner.hpp"
#include "VEQEngine/UDS/ScriptedAdapter.hpp"
#include "VEQEngine/UDS/WWHRecovery.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

using namespace veq;
using namespace veq::testing;

namespace {

using Lines = std::vector<std::string>;

class CountingSink final : public TelemetrySink {
public:
    void ingest(const TelemetrySample&) override { ++samples; }
    void updateThroughput(double) override { ++cycles; }
    std::atomic<int> samples{0}, cycles{0};
};

// Requests sent, each with the header in force on the wire when it went out (`initial` before
// the first "ATSH"); adapter commands left out.
std::vector<std::pair<std::string, std::string>> addressed(const Lines& lines, std::string initial) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string header = std::move(initial);
    for (const std::string& line : lines) {
        if (line.starts_with("ATSH")) header = line.substr(4);
        if (!line.starts_with("AT")) out.emplace_back(header, line);
    }
    return out;
}

struct Addressing {
    int polls = 0, reads = 0, misaddressed = 0;
};

// Mode 01 requests must go out with `obd` (or `initial` before any ATSH), identifier reads and
// the session opening with `ecu`.
Addressing judge(const Lines& lines, const std::string& initial, const std::string& obd, const std::string& ecu) {
    Addressing a;
    for (const auto& [header, line] : addressed(lines, initial)) {
        if (line.starts_with("01")) {
            ++a.polls;
            if (header != obd && header != initial) ++a.misaddressed;
        } else if (line.starts_with("22") || line == "1003") {
            ++a.reads;
            if (header != ecu) ++a.misaddressed;
        }
    }
    return a;
}

// Polls and watches together until both have done enough, then stops both. Returns the number of
// values the watch received.
int pollWhileWatching(ELM327Session& session, TelemetryEngine& engine, const CountingSink& sink, const std::string& ecu,
                      const std::vector<std::uint16_t>& identifiers) {
    DIDScanner watch(session, DIDScanner::Timing{std::chrono::milliseconds(1)});
    std::atomic<int> updates{0};
    std::jthread polling([&] { engine.run(); });
    std::jthread watching([&] { watch.watch(ecu, identifiers, [&](std::uint16_t, const auto&) { ++updates; }); });
    EXPECT_TRUE(eventually([&] { return updates >= 40 && sink.cycles >= 40; }));
    watch.stop();
    engine.stop();
    return updates;
}

// Polling beside a watch on the gearbox: every poll reaches the engine, none is dropped. A scripted
// car on 29 bits, found by the adapter's own search, whose engine (10) answers mode 01 on the
// functional header and the gearbox (18) its identifiers on its physical one.
TEST(SharedSession, PollingAndADIDWatchShareATwentyNineBitBus) {
    ScriptedAdapter adapter([](const std::string& line, const AdapterState& state) -> std::optional<Lines> {
        if (line == "ATDPN") return Lines{reply("A7")};
        if (line.starts_with("01")) {
            if (state.headerSet && state.header != "18DB33F1") return Lines{reply("NO DATA")};
            return Lines{reply("18DAF110 06 41 " + line.substr(2) + " 40 40 40 40")};
        }
        if (line.starts_with("22") || line == "1003") {
            if (state.header != "18DA18F1") return Lines{reply("NO DATA")};
            if (line == "1003") return Lines{reply("18DAF118 06 50 03 00 32 01 F4")};
            return Lines{reply("18DAF118 04 62 " + line.substr(2, 2) + " " + line.substr(4) + " 07")};
        }
        return std::nullopt;
    });
    ELM327Session& session = adapter.session();
    session.raw("ATH1");
    ASSERT_EQ(session.detectAndApplyProtocolFormat(), FrameFormat::can29);
    CountingSink sink;
    TelemetryEngine engine(session, sink);
    engine.configure({0x0C, 0x0D, 0x05, 0x0F, 0x11});
    const auto heroes = engine.heroes(), secondary = engine.secondary(), rest = engine.rest();
    const std::size_t start = adapter.lines().size();

    EXPECT_GT(pollWhileWatching(session, engine, sink, "18DA18F1", {0x2010}), 0);

    EXPECT_EQ(engine.heroes(), heroes);
    EXPECT_EQ(engine.secondary(), secondary);
    EXPECT_EQ(engine.rest(), rest);
    const Addressing a = judge(adapter.linesFrom(start), "adapter default", "18DB33F1", "18DA18F1");
    EXPECT_GT(a.polls, 0);
    EXPECT_GT(a.reads, 0);
    EXPECT_EQ(a.misaddressed, 0);
}

// Every ECU of this car answers its identifiers with the text of its own header.
std::string headerText(const std::string& header) {
    std::string out;
    for (char c : header) out += fmt::format(" {:02X}", static_cast<unsigned char>(c));
    return out;
}

TEST(SharedSession, ConcurrentECUScansAndADIDScanAttributeEveryAnswerToItsECU) {
    ScriptedAdapter adapter([](const std::string& line, const AdapterState& state) -> std::optional<Lines> {
        if (line.starts_with("AT")) return std::nullopt;
        const bool present = state.headerSet && (state.header == "7E0" || state.header == "7E1" || state.header == "7E2");
        if (!present) return Lines{reply("NO DATA")};
        if (line == "3E00") return Lines{reply("7E 00")};
        if (line == "1003") return Lines{reply("50 03 00 32 01 F4")};
        if (line.size() == 6 && line.starts_with("22")) {
            return Lines{reply("62 " + line.substr(2, 2) + " " + line.substr(4) + headerText(state.header))};
        }
        return std::nullopt;
    });
    constexpr int threads = 3, scansEach = 4;
    std::vector<std::vector<DiscoveredECU>> results(threads * scansEach);
    std::vector<DiscoveredDID> found;
    {
        std::vector<std::jthread> scanners;
        for (int t = 0; t < threads; ++t) {
            scanners.emplace_back([&, t] {
                ECUScanner scanner(adapter.session());
                for (int k = 0; k < scansEach; ++k) results[t * scansEach + k] = scanner.scan(ECUScanner::standardCandidates());
            });
        }
        scanners.emplace_back([&] {
            DIDScanner(adapter.session()).scan("7E1", DIDRange{0x0100, 0x01FF, "essai", "essai"},
                                               [&](const DiscoveredDID& d) { found.push_back(d); }, {});
        });
    }
    int wrong = 0;
    for (const auto& scan : results) {
        ASSERT_EQ(scan.size(), ECUScanner::standardCandidates().size());
        for (const DiscoveredECU& ecu : scan) {
            const bool present = ecu.txHeader == "7E0" || ecu.txHeader == "7E1" || ecu.txHeader == "7E2";
            const bool right = ecu.responded == present &&
                               (!present || (ecu.partNumber == ecu.txHeader && ecu.softwareVersion == ecu.txHeader));
            if (!right) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(found.size(), 256u);
    EXPECT_TRUE(std::all_of(found.begin(), found.end(), [](const DiscoveredDID& d) { return d.asciiValue() == "7E1"; }));
}

// A monitor holds the adapter, its reply time-out an hour: a user stopped while it waits behind
// the monitor returns without waiting for it, and leaves nothing that waits on after it.
TEST(SharedSession, AUserStoppedBehindAMonitorReturns) {
    using Run = std::function<void(ELM327Session&, std::stop_token)>;
    const struct {
        const char* name;
        Run run;
    } users[] = {
        {"DID scan", [](ELM327Session& s, std::stop_token stop) {
             DIDScanner(s).scan("7E1", DIDRange{0x0100, 0x01FF, "essai", "essai"}, {}, {}, stop);
         }},
        {"DID watch", [](ELM327Session& s, std::stop_token stop) {
             DIDScanner(s).watch("7E1", {0x2010}, {}, stop);
         }},
        {"ECU scan", [](ELM327Session& s, std::stop_token stop) {
             ECUScanner(s).scan(ECUScanner::standardCandidates(), {}, stop);
         }},
        {"recovery", [](ELM327Session& s, std::stop_token stop) { WWHRecovery(s).recover({}, stop); }},
    };
    for (const auto& user : users) {
        SCOPED_TRACE(user.name);
        ScriptedAdapter adapter([](const std::string& line, const AdapterState&) -> std::optional<Lines> {
            if (line == "ATMA") return Lines{};
            if (line.empty()) return Lines{"\r\r>"};
            return std::nullopt;
        }, {.responseTimeout = std::chrono::hours(1), .monitorStopPause = std::chrono::milliseconds(1)});
        const auto stream = adapter.session().startMonitoring();
        std::stop_source stop;
        auto running = std::async(std::launch::async, [&] { user.run(adapter.session(), stop.get_token()); });
        ASSERT_TRUE(eventually([&] { return adapter.session().lockQueueLength() == 1; }));
        stop.request_stop();
        EXPECT_EQ(running.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        EXPECT_EQ(adapter.session().lockQueueLength(), 0u);
        adapter.session().stopMonitoring(); // lets a user that waited on go
    }
}

} // namespace
