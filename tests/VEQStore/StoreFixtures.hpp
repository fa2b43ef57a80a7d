#pragma once

#include "VEQStore/Export/LocalTime.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include "TestSupport/ExternalTool.hpp"
#include "TestSupport/StorePrinters.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

// Drives, zones and outside readers shared by the store's tests.
namespace veq::testing {

using Values = std::vector<std::optional<float>>;
inline constexpr std::optional<float> kNone = std::nullopt;
inline constexpr float kInfF = std::numeric_limits<float>::infinity();

// 2026-07-14 10:00:00 UTC: noon in Paris (summer time).
inline const TelemetryFile::Date kDriveStart = TelemetryFile::Date(std::chrono::seconds(1'784'023'200));

inline TelemetryFile::Date dateAt(std::int64_t ms) { return TelemetryFile::Date{std::chrono::milliseconds(ms)}; }

// A drive with these channel identifiers (named "ch<id>") and records.
inline TelemetryFile::Contents makeDrive(const std::vector<std::uint8_t>& pids, std::vector<TelemetryFile::Record> records,
                                         TelemetryFile::Date start = kDriveStart) {
    TelemetryFile::Contents contents{{}, start, std::move(records)};
    for (std::uint8_t pid : pids) contents.channels.push_back({pid, "ch" + std::to_string(pid)});
    return contents;
}

// The drive of the CSV and JSON golden files: French names, one that needs CSV quoting, one
// holding "/", a three-decimal tie (2.0625), a record with every value missing, the latest time.
inline TelemetryFile::Contents goldenDrive() {
    using namespace std::chrono;
    const auto start = sys_days{year{2024} / 5 / 1} + hours{6} + minutes{30} + seconds{5} + milliseconds{250};
    return {{{0x0C, "R\u00E9gime moteur"}, {0x10, "D\u00E9bit d'air (g/s)"}, {0x0D, "Vitesse; \"GPS\""}, {240, "Latitude GPS"}},
            start,
            {{0, {850.0f, 2.0625f, 0.0f, 48.8566f}},
             {250, {912.5f, kNone, 0.1f, 48.85661f}},
             {1000, {kNone, kNone, kNone, kNone}},
             {std::numeric_limits<std::uint32_t>::max(), {-1.0005f, 1e-4f, -0.0004f, kNone}}}};
}

// The drive of the HTML and subtitle golden files: OBD and GPS channels, values missing here
// and there, at irregular times.
inline TelemetryFile::Contents gaugeDrive() {
    return makeDrive({0x0D, 0x0C, 0x11, 0x05, 0x0B, 240, 241, 242, 227, 238, 247}, {
        {0,    {0.0f,  820.0f,  0.0f,  21.0f, 98.0f,  48.856613f, 2.352222f, 35.0f, 0.02f,  kNone, 1.0f}},
        {480,  {12.5f, 1650.0f, 18.4f, 21.5f, 112.0f, kNone,      kNone,     kNone, 0.31f,  kNone, kNone}},
        {1010, {24.0f, 2210.5f, 22.0f, 22.0f, 121.7f, 48.856701f, 2.352390f, 35.4f, 0.28f,  1.0f,  1.0f}},
        {1530, {31.5f, 2480.0f, 9.0f,  22.5f, 95.0f,  kNone,      kNone,     kNone, -0.42f, kNone, kNone}},
        {2040, {33.0f, 1900.0f, kNone, 23.0f, 101.3f, 48.856850f, 2.352611f, 36.1f, kNone,  kNone, 2.0f}},
    });
}

// Up to `maxChannels` channels, gaps of 0 to 5 s (some outlast a 3 s hold), about a third of
// the values missing and the odd infinity.
inline TelemetryFile::Contents randomDrive(std::mt19937& random, std::size_t maxChannels) {
    using namespace std::chrono;
    auto uniform = [&](auto low, auto high) { return std::uniform_int_distribution<decltype(high)>(low, high)(random); };
    TelemetryFile::Contents drive{{}, sys_days{year{2023} / 1 / 1} + milliseconds(uniform(0LL, 63'072'000'000LL)), {}};
    const auto channelCount = uniform(std::size_t{0}, maxChannels);
    for (std::size_t k = 0; k < channelCount; ++k) {
        drive.channels.push_back({static_cast<std::uint8_t>(uniform(0, 255)), "canal " + std::to_string(k) + (k % 3 ? "" : " \u00E9t\u00E9")});
    }
    std::uint32_t ms = uniform(0u, 2000u);
    for (int r = uniform(0, 60); r > 0; --r, ms += uniform(0u, 5000u)) {
        TelemetryFile::Record record{ms, {}};
        for (std::size_t k = 0; k < channelCount; ++k) {
            const int dice = uniform(0, 99);
            record.values.push_back(dice < 35 ? kNone : dice < 37 ? std::optional(kInfF)
                                                                  : std::uniform_real_distribution<float>(-5000, 5000)(random));
        }
        drive.records.push_back(std::move(record));
    }
    return drive;
}

// The exception of type E that `action` throws; nothing, and a failure, when it throws none.
template <typename E> std::optional<E> thrown(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e;
    }
    ADD_FAILURE() << "expected an exception";
    return std::nullopt;
}

// The message of the veq::Error `action` throws ("" when it throws none).
inline std::string errorText(const std::function<void()>& action) {
    const auto error = thrown<Error>(action);
    return error ? error->what() : "";
}

inline TimeZone zone(const char* identifier) {
    auto found = TimeZone::named(identifier);
    if (!found) ADD_FAILURE() << "no zone " << identifier;
    return found.value_or(TimeZone::utc());
}

inline std::string dataFile(const std::string& name) { return readFile(std::string(VEQ_TEST_DATA_DIR) + "/" + name); }

// Outside programs that read our exports back: scripts/install-deps installs them all, so a
// missing one is a failure, not a skip.
inline bool toolExists(const std::string& program) {
    return runTool("command -v " + shellQuoted(program) + " >/dev/null 2>&1").exitStatus == 0;
}

// A Python reader of tests/VEQStore/data run by the system's Python (where python3-* live).
inline ToolResult runPythonReader(const std::string& script, const std::string& quotedArguments) {
    const std::string python = toolExists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    return runTool(python + " " + shellQuoted(std::string(VEQ_TEST_DATA_DIR) + "/" + script) + " " + quotedArguments);
}

} // namespace veq::testing

#define VEQ_REQUIRE_TOOL(program)                                                                  \
    ASSERT_TRUE(::veq::testing::toolExists(program)) << (program) << " is missing: scripts/install-deps installs it"
