// The data-identifier scanner against scripted ECUs: values found, progress, keep-alive, stop,
// watch passes and the transmit header put back after every run.
#include "VEQEngine/DIDScanner.hpp"

#include "VEQEngine/ScriptedAdapter.hpp"
#include "VEQSupport/Text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>
#include <fmt/format.h>
#include <tuple>

using namespace veq;
using namespace veq::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Progress = std::tuple<std::int32_t, std::int32_t, std::uint16_t>;

// An ECU whose identifiers in `values` answer with their bytes; every other one is out of range.
ScriptedAdapter::Script ecuWith(std::map<std::uint16_t, std::string> values) {
    return [values = std::move(values)](const std::string& line, const AdapterState&)
               -> std::optional<std::vector<std::string>> {
        if (line == "1003") return std::vector<std::string>{reply("50 03 00 32 01 F4")};
        if (line == "3E00") return std::vector<std::string>{reply("7E 00")};
        if (line.size() != 6 || !line.starts_with("22")) return std::nullopt;
        const auto did = static_cast<std::uint16_t>(std::stoul(line.substr(2), nullptr, 16));
        const auto it = values.find(did);
        if (it == values.end()) return std::vector<std::string>{reply("7F 22 31")};
        return std::vector<std::string>{reply(it->second)};
    };
}

DIDRange range(std::uint16_t start, std::uint16_t end) { return DIDRange{start, end, "essai", "essai"}; }

struct ScanRecord {
    std::vector<DiscoveredDID> found;
    std::vector<Progress> progress;
};

ScanRecord scan(ScriptedAdapter& adapter, const DIDRange& r, DIDScanner* scanner = nullptr,
                std::function<void(const Progress&)> onProgress = {}) {
    DIDScanner own(adapter.session());
    DIDScanner& s = scanner ? *scanner : own;
    ScanRecord record;
    s.scan("7E0", r, [&](const DiscoveredDID& d) { record.found.push_back(d); },
           [&](std::int32_t done, std::int32_t total, std::uint16_t did) {
               record.progress.emplace_back(done, total, did);
               if (onProgress) onProgress(record.progress.back());
           });
    return record;
}

std::size_t count(const std::vector<std::string>& lines, std::string_view line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

TEST(DIDScanner, SingleIdentifierFound) {
    ScriptedAdapter adapter(ecuWith({{0xF190, "62 F1 90 57 44 44"}}));
    const ScanRecord r = scan(adapter, range(0xF190, 0xF190));
    ASSERT_EQ(r.found.size(), 1u);
    EXPECT_EQ(r.found[0].did, 0xF190);
    EXPECT_EQ(r.found[0].ecu, "7E0");
    EXPECT_EQ(r.found[0].bytes, (Bytes{0x57, 0x44, 0x44}));
    EXPECT_EQ(r.found[0].asciiValue(), "WDD");
    EXPECT_EQ(r.found[0].reads, 1);
    EXPECT_EQ(r.progress, (std::vector<Progress>{{1, 1, 0xF190}, {1, 1, 0xF190}}));
    EXPECT_EQ(adapter.linesFrom(0), (std::vector<std::string>{"ATSH7E0", "1003", "22F190", "ATSH7DF"}));
}

TEST(DIDScanner, AnswersWithoutValueAreSkipped) {
    struct Case {
        const char* name;
        std::string answer;
    };
    const Case cases[] = {
        {"out of range", "7F 22 31"},
        {"echo only", "62 F1 90"},
        {"half an echo", "62 F1"},
        {"late answer of another identifier", "62 F1 8F 41 42 43"},
        {"no data", "NO DATA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedAdapter adapter(ecuWith({{0xF190, c.answer}}));
        EXPECT_TRUE(scan(adapter, range(0xF190, 0xF190)).found.empty());
    }
}

TEST(DIDScanner, ProgressEveryEightAndAfterTheLast) {
    struct Case {
        std::uint16_t start;
        std::uint16_t end;
        std::vector<Progress> progress;
    };
    const Case cases[] = {
        {0x0100, 0x0109, {{8, 10, 0x0107}, {10, 10, 0x0109}, {10, 10, 0x0109}}},
        {0x0100, 0x010F, {{8, 16, 0x0107}, {16, 16, 0x010F}, {16, 16, 0x010F}}},
        // The last identifier of the whole space: the scan ends without wrapping to 0x0000.
        {0xFFF6, 0xFFFF, {{8, 10, 0xFFFD}, {10, 10, 0xFFFF}, {10, 10, 0xFFFF}}},
        // Start above end: nothing read.
        {0x0200, 0x0100, {{0, 0, 0x0100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.start << "-" << c.end);
        ScriptedAdapter adapter(ecuWith({}));
        const ScanRecord r = scan(adapter, range(c.start, c.end));
        EXPECT_EQ(r.progress, c.progress);
        const auto lines = adapter.lines();
        const auto reads = std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("22"); });
        EXPECT_EQ(reads, std::max<std::int32_t>(0, c.end - c.start + 1));
        EXPECT_EQ(lines.back(), "ATSH7DF");
    }
}

TEST(DIDScanner, TesterPresentAfterEveryFourHundredIdentifiers) {
    struct Case {
        std::uint16_t last;
        std::size_t keepAlives;
    };
    const Case cases[] = {{398, 0}, {399, 1}, {799, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last);
        ScriptedAdapter adapter(ecuWith({}));
        scan(adapter, range(0, c.last));
        const auto lines = adapter.lines();
        EXPECT_EQ(count(lines, "3E00"), c.keepAlives);
        if (c.keepAlives > 0) {
            const auto first = std::find(lines.begin(), lines.end(), "3E00");
            EXPECT_EQ(*(first - 1), "22018F"); // right after the 400th identifier, 0x018F
        }
    }
}

TEST(DIDScanner, StopEndsTheScanAfterTheReadUnderWay) {
    for (const bool byToken : {false, true}) {
        SCOPED_TRACE(byToken ? "stop token" : "stop()");
        ScriptedAdapter adapter(ecuWith({}));
        DIDScanner scanner(adapter.session());
        std::stop_source source;
        std::vector<Progress> progress;
        scanner.scan("7E0", range(0x0000, 0x00FF), {}, [&](std::int32_t done, std::int32_t total, std::uint16_t did) {
            progress.emplace_back(done, total, did);
            if (done != 16) return;
            if (byToken) {
                source.request_stop();
            } else {
                scanner.stop();
            }
        }, source.get_token());
        EXPECT_EQ(progress.back(), (Progress{16, 256, 0x0010})); // the next unread identifier
        const auto lines = adapter.lines();
        EXPECT_EQ(count(lines, "22000F"), 1u);
        EXPECT_EQ(count(lines, "220010"), 0u);
        EXPECT_FALSE(scanner.isScanning());
        EXPECT_EQ(lines.back(), "ATSH7DF"); // put back even when the run was cancelled
    }
}

TEST(DIDScanner, EveryRunPutsBackTheHeaderInForceBefore) {
    struct Case {
        const char* name;
        std::optional<std::string> before; // sent with ATSH before the run
        FrameFormat format;
        std::optional<std::string> restored;
    };
    const Case cases[] = {
        {"functional", "7DF", FrameFormat::can11, "ATSH7DF"},
        {"another ECU", "7E1", FrameFormat::can11, "ATSH7E1"},
        {"nothing known", std::nullopt, FrameFormat::can11, "ATSH7DF"},
        {"29-bit physical", "18DA10F1", FrameFormat::can29, "ATSH18DA10F1"},
        {"29-bit, nothing known", std::nullopt, FrameFormat::can29, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string ecuHeader = c.format == FrameFormat::can29 ? "18DAF110" : "7E8";
        for (const bool watch : {false, true}) {
            SCOPED_TRACE(watch ? "watch" : "scan");
            ScriptedAdapter adapter(ecuWith({{0x2001, ecuHeader + " 05 62 20 01 0B B8"}}));
            if (c.before) adapter.session().raw("ATSH" + *c.before);
            adapter.session().setFormat(c.format);
            const std::size_t start = adapter.lines().size();
            DIDScanner scanner(adapter.session(), DIDScanner::Timing{std::chrono::nanoseconds::zero()});
            std::size_t found = 0;
            if (watch) {
                scanner.watch("7E0", {0x2001}, [&](std::uint16_t, const Bytes&) {
                    ++found;
                    scanner.stop();
                });
            } else {
                found = scan(adapter, range(0x2001, 0x2001), &scanner).found.size();
            }
            EXPECT_EQ(found, 1u);
            const auto lines = adapter.linesFrom(start);
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(lines[0], "ATSH7E0");
            EXPECT_EQ(lines.back(), c.restored.value_or("222001"));
        }
    }
}

TEST(DIDScanner, WatchHandsEveryReadToOnUpdateUntilStopped) {
    int reads = 0;
    ScriptedAdapter adapter([&](const std::string& line, const AdapterState&) -> std::optional<std::vector<std::string>> {
        if (line == "222001") return std::vector<std::string>{reply(fmt::format("62 20 01 {:02X}", ++reads))};
        if (line == "222002") return std::vector<std::string>{reply("7F 22 31")};
        if (line == "222003") return std::vector<std::string>{reply("62 20 03 FF")};
        return std::nullopt;
    });
    DIDScanner scanner(adapter.session(), DIDScanner::Timing{std::chrono::nanoseconds::zero()});
    std::vector<std::pair<std::uint16_t, Bytes>> updates;
    scanner.watch("7E0", {0x2001, 0x2002, 0x2003}, [&](std::uint16_t did, const Bytes& value) {
        updates.emplace_back(did, value);
        if (updates.size() == 5) scanner.stop(); // in the third pass, after 2001
    });
    const std::vector<std::pair<std::uint16_t, Bytes>> expected{
        {0x2001, {0x01}}, {0x2003, {0xFF}}, {0x2001, {0x02}}, {0x2003, {0xFF}}, {0x2001, {0x03}}};
    EXPECT_EQ(updates, expected);
    EXPECT_EQ(adapter.lines(), (std::vector<std::string>{"ATSH7E0", "1003", "222001", "222002", "222003", "222001",
                                                         "222002", "222003", "222001", "ATSH7DF"}));
}

TEST(DIDScanner, WatchEndsOnAStopRequestAndAnEmptyListDoesNothing) {
    ScriptedAdapter adapter(ecuWith({{0x2001, "62 20 01 0B B8"}}));
    DIDScanner scanner(adapter.session(), DIDScanner::Timing{std::chrono::hours(1)});
    scanner.watch("7E0", {}, [](std::uint16_t, const Bytes&) {});
    EXPECT_TRUE(adapter.lines().empty());

    std::stop_source source;
    std::atomic<int> updates = 0;
    std::jthread watcher([&] {
        scanner.watch("7E0", {0x2001}, [&](std::uint16_t, const Bytes&) { ++updates; }, source.get_token());
    });
    ASSERT_TRUE(eventually([&] { return updates == 1; }));
    source.request_stop(); // wakes the hour-long pause between passes
    watcher.join();
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(adapter.lines().back(), "ATSH7DF");
}

} // namespace
