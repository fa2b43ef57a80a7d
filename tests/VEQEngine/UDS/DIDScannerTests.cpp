#include "VEQEngine/UDS/DIDScanner.hpp"

#include "VEQEngine/UDS/ScriptedAdapter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fmt/format.h>
#include <functional>
#include <mutex>
#include <thread>
#include <tuple>

using namespace veq;
using namespace veq::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;
using Progress = std::tuple<std::int32_t, std::int32_t, std::uint16_t>;

// An ECU whose identifiers in `values` answer with their text; every other one is out of range.
// `session`: its answer to the extended session.
ScriptedAdapter::Script ecuWith(std::map<std::uint16_t, std::string> values, std::string session = "50 03 00 32 01 F4") {
    return [values = std::move(values), session](const std::string& line, const AdapterState&) -> std::optional<Lines> {
        if (line == "1003") return Lines{reply(session)};
        if (line == "3E00") return Lines{reply("7E 00")};
        if (line.size() != 6 || !line.starts_with("22")) return std::nullopt;
        const auto it = values.find(static_cast<std::uint16_t>(std::stoul(line.substr(2), nullptr, 16)));
        return Lines{reply(it == values.end() ? "7F 22 31" : it->second)};
    };
}

DIDRange range(std::uint16_t start, std::uint16_t end) { return DIDRange{start, end, "essai", "essai"}; }

struct ScanRecord {
    std::vector<DiscoveredDID> found;
    std::vector<Progress> progress;
};

ScanRecord scan(DIDScanner& scanner, const DIDRange& r) {
    ScanRecord record;
    scanner.scan("7E0", r, [&](const DiscoveredDID& d) { record.found.push_back(d); },
                 [&](std::int32_t done, std::int32_t total, std::uint16_t did) { record.progress.emplace_back(done, total, did); });
    return record;
}
ScanRecord scan(ScriptedAdapter& adapter, const DIDRange& r) {
    DIDScanner scanner(adapter.session());
    return scan(scanner, r);
}

TEST(DIDScanner, FoundValuesSkipAnswersWithoutValueOrForAnotherIdentifier) {
    ScriptedAdapter adapter(ecuWith({{0xF190, "62 F1 90 57 44 44"}, {0xF191, "62 F1 91"}, {0xF192, "62 F1 8F 41 42 43"},
                                     {0xF193, "NO DATA"}}));
    const ScanRecord r = scan(adapter, range(0xF190, 0xF194));
    ASSERT_EQ(r.found.size(), 1u);
    EXPECT_EQ(r.found[0].did, 0xF190);
    EXPECT_EQ(r.found[0].ecu, "7E0");
    EXPECT_EQ(r.found[0].bytes, (Bytes{0x57, 0x44, 0x44}));
    EXPECT_EQ(adapter.lines(), (Lines{"ATSH7E0", "1003", "22F190", "22F191", "22F192", "22F193", "22F194"}));
}

TEST(DIDScanner, RangesCountInThirtyTwoBitsWithProgressEveryEightIdentifiers) {
    EXPECT_EQ(range(0x0000, 0xFFFF).count(), 65536);
    const struct {
        std::uint16_t start, end;
        std::vector<Progress> progress;
    } cases[] = {
        {0x0100, 0x0109, {{8, 10, 0x0107}, {10, 10, 0x0109}, {10, 10, 0x0109}}},
        {0xFFF6, 0xFFFF, {{8, 10, 0xFFFD}, {10, 10, 0xFFFF}, {10, 10, 0xFFFF}}}, // ends without wrapping to 0
        {0x0200, 0x0100, {{0, 0, 0x0100}}},                                         // start above end: empty
    };
    for (const auto& c : cases) {
        ScriptedAdapter adapter(ecuWith({}));
        EXPECT_EQ(scan(adapter, range(c.start, c.end)).progress, c.progress) << c.start;
        const auto lines = adapter.lines();
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("22"); }),
                  std::max(0, c.end - c.start + 1));
    }
}

TEST(DIDScanner, TesterPresentAfterEveryFourHundredIdentifiers) {
    for (const auto& [last, keepAlives] : {std::pair<std::uint16_t, long>{398, 0}, {399, 1}, {799, 2}}) {
        ScriptedAdapter adapter(ecuWith({}));
        scan(adapter, range(0, last));
        const auto lines = adapter.lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "3E00"), keepAlives) << last;
        if (keepAlives > 0) {
            EXPECT_EQ(*(std::find(lines.begin(), lines.end(), "3E00") - 1), "22018F");
        }
    }
}

TEST(DIDScanner, StopEndsTheScanAfterTheReadUnderWay) {
    for (const bool byToken : {false, true}) {
        ScriptedAdapter adapter(ecuWith({}));
        DIDScanner scanner(adapter.session());
        std::stop_source source;
        std::vector<Progress> progress;
        const auto end = scanner.scan("7E0", range(0x0000, 0x00FF), {}, [&](std::int32_t done, std::int32_t total, std::uint16_t did) {
            progress.emplace_back(done, total, did);
            if (done == 16) byToken ? (void)source.request_stop() : scanner.stop();
        }, source.get_token());
        EXPECT_EQ(end, (DIDScanner::ScanOutcome{DIDScanner::ScanEnd::stopped, 0}));
        EXPECT_EQ(progress.back(), (Progress{16, 256, 0x0010}));
        EXPECT_EQ(adapter.lines().back(), "22000F");
    }
}

// The adapter answers the extended session and the identifiers up to 0x0103, then nothing at all
// from `muteFrom` on, probes included. Each unanswered identifier costs 30 ms at least against a
// 200 ms limit: the scan gives up within a few of them, not after its 256.
TEST(DIDScanner, AnAdapterSilentForTheLimitEndsTheScanWhichSaysItIsIncomplete) {
    const struct {
        const char* muteFrom; // nullptr: it always answers
        DIDScanner::ScanEnd end;
        std::vector<std::uint16_t> found;
    } cases[] = {
        {nullptr, DIDScanner::ScanEnd::complete, {0x0100, 0x0101, 0x0102, 0x0103}},
        {"220104", DIDScanner::ScanEnd::adapterSilent, {0x0100, 0x0101, 0x0102, 0x0103}},
        {"1003", DIDScanner::ScanEnd::adapterSilent, {}}, // mute from the start: its waits count too
    };
    for (const auto& c : cases) {
        std::atomic<bool> mute = false;
        const auto ecu = ecuWith({{0x0100, "62 01 00 01"}, {0x0101, "62 01 01 02"}, {0x0102, "62 01 02 03"}, {0x0103, "62 01 03 04"}});
        ScriptedAdapter adapter([&](const std::string& line, const AdapterState& state) -> std::optional<Lines> {
            if (c.muteFrom && line == c.muteFrom) mute = true;
            if (mute) return Lines{};
            return ecu(line, state);
        }, ELM327Session::Timing{.responseTimeout = 30ms});
        DIDScanner scanner(adapter.session(), DIDScanner::Timing{.adapterSilence = 200ms});
        std::vector<std::uint16_t> found;
        std::vector<Progress> progress;
        const auto onFound = [&](const DiscoveredDID& d) { found.push_back(d.did); };
        const auto onProgress = [&](std::int32_t done, std::int32_t total, std::uint16_t did) {
            progress.emplace_back(done, total, did);
        };
        const DIDScanner::ScanEnd end = scanner.scan("7E0", range(0x0100, 0x01FF), onFound, onProgress).end;
        const char* const which = c.muteFrom ? c.muteFrom : "-";
        EXPECT_EQ(end, c.end) << which;
        EXPECT_EQ(found, c.found) << which;
        ASSERT_FALSE(progress.empty());
        const auto [done, total, next] = progress.back();
        if (c.end == DIDScanner::ScanEnd::complete) {
            EXPECT_EQ(progress.back(), (Progress{256, 256, 0x01FF}));
            continue;
        }
        // The last report names the first identifier left unread.
        EXPECT_LE(done, static_cast<std::int32_t>(c.found.size()) + 8) << which;
        EXPECT_EQ(std::tuple(total, next), std::tuple(256, 0x0100 + done)) << which;
        EXPECT_FALSE(scanner.isScanning());
    }
}

// Only a request that got no reply at all is asked again, once, and after a silence only once a
// probe was answered; a session change never is. An identifier still unanswered is skipped and
// counted; a lost link ends the scan at once.
TEST(DIDScanner, AnIdentifierWithoutAnyReplyIsAskedOnceMoreAndALostLinkEndsTheScan) {
    using End = DIDScanner::ScanEnd;
    const std::vector<std::uint16_t> all{0xF190, 0xF191, 0xF192};
    const Lines once{"1003", "22F190", "22F191", "22F192", "22F193"};
    const Lines twice{"1003", "22F190", "22F191", "22F191", "22F192", "22F193"};
    const struct {
        const char* name;
        Asks asks;
        DIDScanner::ScanOutcome outcome;
        std::vector<std::uint16_t> found;
        Lines requests;
    } cases[] = {
        {"answered", {}, {End::complete, 0}, all, once},
        {"lost", {{"22F191", {""}}}, {End::complete, 0}, all, twice},
        {"late", {{"22F191", {"late:62 F1 91 42"}}}, {End::complete, 0}, all, twice},
        // Frozen at 22F191, its first probe too: everything comes with the second probe's answer.
        {"frozen", {{"22F191", {"late:62 F1 91 42"}}, {"ATI", {"late:ELM327 v1.5"}}}, {End::complete, 0}, all, twice},
        {"refused", {{"22F191", {"?"}}}, {End::complete, 0}, all,
         {"1003", "22F190", "22F191", "22F191!", "22F192", "22F193"}},
        {"no data", {{"22F191", {"NO DATA"}}}, {End::complete, 0}, {0xF190, 0xF192}, once},
        {"lost twice", {{"22F191", {"", ""}}, {"22F192", {"", "?"}}}, {End::incomplete, 2}, {0xF190},
         {"1003", "22F190", "22F191", "22F191", "22F192", "22F192", "22F193"}},
        // A clone refusing the probes ("?"), the first one's answer lost: the second ask goes out
        // once the probes' wait passed, and the reads after it take their own "NO DATA".
        {"lost through a clone",
         {{"22F191", {""}}, {"ATI", {"", "?"}}, {"ATRV", {"?", "?"}}, {"22F192", {"NO DATA"}}, {"22F193", {"NO DATA"}}},
         {End::complete, 0}, {0xF190, 0xF191}, twice},
        // Neither probe answered: the second ask is not sent.
        {"not sent", {{"22F191", {""}}, {"ATI", {""}}, {"ATRV", {""}}}, {End::incomplete, 1}, {0xF190, 0xF192}, once},
        {"session opening lost", {{"1003", {""}}}, {End::complete, 0}, all, once},
        // "link": the link goes at that ask.
        {"link lost", {{"22F191", {"link"}}}, {End::linkLost, 0}, {0xF190}, {"1003", "22F190", "22F191"}},
    };
    for (const auto& c : cases) {
        const auto ecu =
            askByAsk(c.asks, ecuWith({{0xF190, "62 F1 90 41"}, {0xF191, "62 F1 91 42"}, {0xF192, "62 F1 92 43"}}));
        ScriptedAdapter rig([&](const std::string& line, const AdapterState& state) -> std::optional<Lines> {
            const auto answer = ecu(line, state);
            if (answer != Lines{reply("link")}) return answer;
            rig.transport().failSendsContaining(""); // the link is gone: no send goes through
            rig.transport().loseLink();
            return Lines{};
        }, {.responseTimeout = 100ms});
        std::vector<std::uint16_t> found;
        const auto onFound = [&](const DiscoveredDID& d) { found.push_back(d.did); };
        const auto outcome = DIDScanner(rig.session()).scan("7E0", range(0xF190, 0xF193), onFound, {});
        EXPECT_EQ(outcome, c.outcome) << c.name;
        EXPECT_EQ(found, c.found) << c.name;
        EXPECT_EQ(requestsIn(rig.lines()), c.requests) << c.name;
    }
}

// With the ECU's response header given, an identifier's own answer counts whatever line took it,
// up to the scan's last read: found, and never counted unanswered. An answer that names another
// ECU, a refusal (it names no identifier), a pending answer or one cut short is no value. A read
// answered only by another ECU, or cut short, is asked again.
TEST(DIDScanner, AnIdentifiersOwnAnswerCountsWhateverLineTookIt) {
    using End = DIDScanner::ScanEnd;
    const std::string own = "7E8 04 62 F1 91 42";
    const std::string next = "7E8 04 62 F1 92 43\r\r>"; // 22F192's own answer, before a reply too many
    const struct {
        const char* name;
        Asks asks;
        DIDScanner::ScanOutcome outcome;
        std::vector<std::uint16_t> found;
    } cases[] = {
        // Its second ask held back, the probes unanswered: the answer comes with the next read's.
        {"held back, then late", {{"22F191", {""}}, {"ATI", {""}}, {"ATRV", {""}}, {"22F192", {own + "\r\r>" + next}}},
         {End::complete, 0}, {0xF190, 0xF192, 0xF191}},
        {"lost twice, then one too many", {{"22F191", {"", ""}}, {"22F192", {next + own}}}, {End::complete, 0},
         {0xF190, 0xF192, 0xF191}},
        {"late, its second ask lost", {{"22F191", {"late:" + own, ""}}}, {End::complete, 0}, {0xF190, 0xF191, 0xF192}},
        {"NO DATA, then one too many", {{"22F191", {"NO DATA\r\r>" + own}}}, {End::complete, 0},
         {0xF190, 0xF191, 0xF192}},
        {"another ECU's", {{"22F191", {"", ""}}, {"22F192", {next + "7E9 04 62 F1 91 42"}}}, {End::incomplete, 1},
         {0xF190, 0xF192}},
        {"refused", {{"22F191", {"", ""}}, {"22F192", {next + "7E8 03 7F 22 31"}}}, {End::incomplete, 1},
         {0xF190, 0xF192}},
        {"pending", {{"22F191", {"", ""}}, {"22F192", {next + "7E8 03 7F 22 78"}}}, {End::incomplete, 1},
         {0xF190, 0xF192}},
        {"cut short", {{"22F191", {"", ""}}, {"22F192", {next + "7E8 10 0A 62 F1 91 42"}}}, {End::incomplete, 1},
         {0xF190, 0xF192}},
        // Another ECU's answer to the read is no value of this one's: the read is asked again.
        {"another ECU's, then its own", {{"22F191", {"7E9 04 62 F1 91 4A"}}}, {End::complete, 0},
         {0xF190, 0xF191, 0xF192}},
        {"another ECU's, then its own refusal", {{"22F191", {"7EA 04 62 F1 91 4A", "7E8 03 7F 22 31"}}},
         {End::complete, 0}, {0xF190, 0xF192}},
        {"cut short, then whole", {{"22F191", {"7E8 10 0A 62 F1 91 42"}}}, {End::complete, 0}, {0xF190, 0xF191, 0xF192}},
        // Its ECU's answer to another identifier is no answer of the read's: asked again, and
        // counted when both asks get nothing else.
        {"its ECU's answer to another identifier, then its own", {{"22F191", {"7E8 04 62 F1 8C 4A"}}}, {End::complete, 0},
         {0xF190, 0xF191, 0xF192}},
        {"its ECU's answer to another identifier twice", {{"22F191", {"7E8 04 62 F1 8C 4A", "7E8 04 62 F1 8C 4A"}}},
         {End::incomplete, 1}, {0xF190, 0xF192}},
        {"a message cut short by its own sent whole", {{"22F191", {"7E8 10 0A 62 F1 91 4A\r" + own}}}, {End::complete, 0},
         {0xF190, 0xF191, 0xF192}},
        // frames of no message are dropped: the whole answer after them is found; alone they are
        // a broken answer, asked again and then counted
        {"a stray consecutive frame before its own", {{"22F191", {"7E8 22 30\r" + own}}}, {End::complete, 0},
         {0xF190, 0xF191, 0xF192}},
        {"a stray consecutive frame twice", {{"22F191", {"7E8 22 30", "7E8 22 30"}}}, {End::incomplete, 1}, {0xF190, 0xF192}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedAdapter rig(askByAsk(c.asks, [](const std::string& line, const AdapterState&) -> std::optional<Lines> {
            if (line == "1003") return Lines{reply("7E8 06 50 03 00 32 01 F4")};
            if (line.size() != 6 || !line.starts_with("22")) return std::nullopt;
            const int last = std::stoi(line.substr(5), nullptr, 16);
            return Lines{reply(fmt::format("7E8 04 62 {} {} {:02X}", line.substr(2, 2), line.substr(4), 0x41 + last))};
        }), {.responseTimeout = 100ms});
        rig.session().setFormat(FrameFormat::can11);
        std::vector<std::uint16_t> found;
        std::vector<Bytes> values;
        const auto onFound = [&](const DiscoveredDID& d) {
            found.push_back(d.did);
            values.push_back(d.bytes);
        };
        const auto outcome = DIDScanner(rig.session()).scan("7E0", range(0xF190, 0xF192), onFound, {}, {}, ECUResponder("7E8"));
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(found, c.found);
        EXPECT_TRUE(std::all_of(values.begin(), values.end(), [](const Bytes& v) { return v.size() == 1 && v[0] != 0x4A; }));
        EXPECT_EQ(rig.session().takeKeptAnswers("7E8"), (std::vector<std::pair<std::string, Bytes>>{})); // forgotten
    }
}

// A run selects its ECU only when another header is in force, and leaves it: the next OBD request
// selects the functional header of the bus itself.
TEST(DIDScanner, ARunSendsItsECUsHeaderAndLeavesNothingToPutBack) {
    const struct {
        std::optional<std::string> before; // sent with ATSH before the run
        FrameFormat format;
        std::string ecu;
        Lines lines; // of the run, then of one OBD request
    } cases[] = {
        {"7E1", FrameFormat::can11, "7E0", {"ATSH7E0", "1003", "222001", "ATSH7DF", "0100"}},
        {"7E0", FrameFormat::can11, "7E0", {"1003", "222001", "ATSH7DF", "0100"}},
        {std::nullopt, FrameFormat::can11, "7E0", {"ATSH7E0", "1003", "222001", "ATSH7DF", "0100"}},
        {std::nullopt, FrameFormat::can29, "18DA10F1", {"ATSH18DA10F1", "1003", "222001", "ATSH18DB33F1", "0100"}},
    };
    for (const auto& c : cases) {
        const std::string ecuHeader = c.format == FrameFormat::can29 ? "18DAF110" : "7E8";
        for (const bool watch : {false, true}) {
            ScriptedAdapter adapter(ecuWith({{0x2001, ecuHeader + " 05 62 20 01 0B B8"}}, ecuHeader + " 06 50 03 00 32 01 F4"));
            if (c.before) adapter.session().raw("ATSH" + *c.before);
            adapter.session().setFormat(c.format);
            const std::size_t start = adapter.lines().size();
            DIDScanner scanner(adapter.session(), DIDScanner::Timing{std::chrono::nanoseconds::zero()});
            std::size_t found = 0;
            if (watch) scanner.watch(c.ecu, {0x2001}, [&](std::uint16_t, const Bytes&) { ++found; scanner.stop(); });
            else scanner.scan(c.ecu, range(0x2001, 0x2001), [&](const DiscoveredDID&) { ++found; }, {});
            EXPECT_EQ(found, 1u);
            adapter.session().probeVehicle();
            EXPECT_EQ(adapter.linesFrom(start), c.lines) << c.before.value_or("-") << watch;
        }
    }
}

TEST(DIDScanner, WatchHandsEveryReadToOnUpdateUntilStopped) {
    int reads = 0;
    ScriptedAdapter adapter([&](const std::string& line, const AdapterState&) -> std::optional<Lines> {
        if (line == "222001") return Lines{reply(fmt::format("62 20 01 {:02X}", ++reads))};
        if (line == "222002") return Lines{reply("7F 22 31")};
        return std::nullopt;
    });
    DIDScanner scanner(adapter.session(), DIDScanner::Timing{std::chrono::nanoseconds::zero()});
    std::vector<std::pair<std::uint16_t, Bytes>> updates;
    scanner.watch("7E0", {0x2001, 0x2002}, [&](std::uint16_t did, const Bytes& value) {
        updates.emplace_back(did, value);
        if (updates.size() == 3) scanner.stop();
    });
    EXPECT_EQ(updates, (std::vector<std::pair<std::uint16_t, Bytes>>{{0x2001, {0x01}}, {0x2001, {0x02}}, {0x2001, {0x03}}}));
    EXPECT_EQ(adapter.lines().back(), "222001");

    // A stop request wakes the pause between passes.
    DIDScanner slow(adapter.session(), DIDScanner::Timing{std::chrono::hours(1)});
    std::stop_source source;
    slow.watch("7E0", {0x2001}, [&](std::uint16_t, const Bytes&) { source.request_stop(); }, source.get_token());
    EXPECT_EQ(reads, 4);
}

TEST(DIDScanner, AScanAndAWatchTogetherEachReadTheirOwnECU) {
    // Every ECU answers with the last byte of its header, so a read sent under the other run's
    // header shows in the value.
    ScriptedAdapter adapter([](const std::string& line, const AdapterState& state) -> std::optional<Lines> {
        if (line.size() != 6 || !line.starts_with("22")) return std::nullopt;
        return Lines{reply("62 " + line.substr(2, 2) + " " + line.substr(4) + " " + state.header.substr(1))};
    });
    DIDScanner scanner(adapter.session(), DIDScanner::Timing{std::chrono::nanoseconds::zero()});
    std::mutex mutex;
    std::vector<Bytes> scanned, watched;
    std::stop_source watchStop;
    std::jthread watcher;
    const auto watchOn7E1 = [&] {
        scanner.watch("7E1", {0x2001}, [&](std::uint16_t, const Bytes& v) {
            std::lock_guard lock(mutex);
            watched.push_back(v);
        }, watchStop.get_token());
    };
    // The watch starts once the scan is under way, and ends after it.
    scanner.scan("7E0", range(0x0100, 0x011F), [&](const DiscoveredDID& d) { scanned.push_back(d.bytes); },
                 [&](std::int32_t done, std::int32_t, std::uint16_t) {
                     if (done != 8) return;
                     watcher = std::jthread(watchOn7E1);
                     ASSERT_TRUE(eventually([&] { std::lock_guard lock(mutex); return !watched.empty(); }));
                 });
    watchStop.request_stop();
    watcher.join();

    EXPECT_EQ(scanned, std::vector<Bytes>(32, Bytes{0xE0}));
    EXPECT_TRUE(std::all_of(watched.begin(), watched.end(), [](const Bytes& v) { return v == Bytes{0xE1}; }));
    const Lines lines = adapter.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "ATSH7DF"), 0); // nothing is put back
}

TEST(DIDScanner, ACallbackThatThrowsLeavesNothingBehind) {
    ScriptedAdapter adapter(ecuWith({{0x2001, "62 20 01 0B B8"}, {0x2002, "62 20 02 0C"}}));
    DIDScanner scanner(adapter.session(), DIDScanner::Timing{std::chrono::nanoseconds::zero()});
    const auto fail = [] { throw std::runtime_error("rappel en échec"); };
    const std::function<void()> runs[] = {
        [&] { scanner.scan("7E0", range(0x2001, 0x2002), [&](const DiscoveredDID&) { fail(); }, {}); },
        [&] { scanner.scan("7E0", range(0x2001, 0x2002), {}, [&](auto...) { fail(); }); },
        [&] {
            scanner.watch("7E0", {0x2001, 0x2002}, [&](std::uint16_t did, const Bytes&) {
                if (did == 0x2002) scanner.stop();
                fail();
            });
        },
    };
    for (std::size_t k = 0; k < std::size(runs); ++k) {
        const std::size_t start = adapter.lines().size();
        EXPECT_NO_THROW(runs[k]()) << k;
        EXPECT_FALSE(scanner.isScanning());
        const Lines lines = adapter.linesFrom(start);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "222002"), 1) << k; // the run went on
        EXPECT_EQ(lines.back(), "222002") << k;
    }
}

} // namespace
