#include "VEQTransport/TransportTrace.hpp"

#include "VEQTransport/IncomingStream.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

namespace {

// Whether tracing is on is decided once per process, so each case runs in a child process
// (threadsafe death tests re-execute the program); the parent's environment is restored after.
class TraceInChildProcess : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    void TearDown() override { saved_ ? ::setenv("VEQ_TRACE", saved_->c_str(), 1) : ::unsetenv("VEQ_TRACE"); }

private:
    const char* current_ = std::getenv("VEQ_TRACE");
    std::optional<std::string> saved_ = current_ ? std::optional<std::string>(current_) : std::nullopt;
};

} // namespace

TEST(TransportTraceTests, HexAsciiDump) {
    const std::pair<Bytes, std::string> cases[] = {
        {{},                       "\"\" []"},
        {{0x41, 0x54, 0x5A, 0x0D}, "\"ATZ\u23CE\" [41 54 5A 0D]"},
        {{0x0A},                   "\"\u240A\" [0A]"},
        {{0x41, 0xFF, 0x42},       "\"A\uFFFDB\" [41 FF 42]"}, // not UTF-8
        {{0xE2, 0x82},             "\"\uFFFD\" [E2 82]"},      // truncated sequence
        {{0xC3, 0xA9, 0x3E},       "\"\u00E9>\" [C3 A9 3E]"},
        {{0x22, 0x00, 0x09},       "\"\"\0\t\" [22 00 09]"s},  // shown as they are
    };
    for (const auto& [bytes, dump] : cases) EXPECT_EQ(veqHexAscii(bytes), dump);
}

// With tracing on, messages and the chunks an overfull stream drops are written.
TEST_F(TraceInChildProcess, AnEmptyValueSwitchesTracingOn) {
    ::setenv("VEQ_TRACE", "", 1);
    EXPECT_EXIT(
        {
            veqTrace([] { return std::string("WiFi ← ") + veqHexAscii(Bytes{0x4F, 0x4B, 0x0D}); });
            IncomingStream stream(8);
            for (std::uint8_t fill : {0x41, 0x42, 0x43}) stream.push(Bytes(6, fill));
            std::exit(veqTraceEnabled() && stream.droppedChunks() == 2 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0),
        "^\\[transport\\] WiFi ← \"OK\u23CE\" \\[4F 4B 0D\\]\n"
        "\\[transport\\] flux entrant saturé : 1 fragment\\(s\\) ancien\\(s\\) abandonné\\(s\\), 1 au total\n"
        "\\[transport\\] flux entrant saturé : 1 fragment\\(s\\) ancien\\(s\\) abandonné\\(s\\), 2 au total\n$");
}

// Without the variable nothing is written nor even built, and setting it later changes nothing.
TEST_F(TraceInChildProcess, TheEnvironmentIsReadOnlyOnce) {
    ::unsetenv("VEQ_TRACE");
    EXPECT_EXIT(
        {
            bool built = false;
            veqTrace([&] {
                built = true;
                return std::string("never");
            });
            ::setenv("VEQ_TRACE", "1", 1);
            veqTrace([] { return std::string("late"); });
            std::exit(built || veqTraceEnabled() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "^$");
}

// Lines of many threads, each written at once, must come out whole: the child sends its
// standard error to a file, traces 300 lines from each of eight threads, then checks every line.
TEST_F(TraceInChildProcess, LinesOfDifferentThreadsNeverInterleave) {
    ::setenv("VEQ_TRACE", "1", 1);
    EXPECT_EXIT(
        {
            // Named in the child, which removes it: the threadsafe style runs the statement again there.
            const std::string path = ::testing::TempDir() + "veq_trace_lines_" + std::to_string(::getpid());
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
            if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0) std::_Exit(2);
            {
                std::vector<std::jthread> writers;
                for (int t = 0; t < 8; ++t) {
                    writers.emplace_back([t] {
                        for (int i = 0; i < 300; ++i)
                            veqTrace([&] { return std::to_string(t) + ":" + std::string(2000, static_cast<char>('a' + t)); });
                    });
                }
            }
            std::ifstream in(path);
            std::string line;
            int good = 0;
            int bad = 0;
            while (std::getline(in, line)) {
                const bool whole = line.size() == 12 + 2 + 2000 && line.starts_with("[transport] ") && line[13] == ':' &&
                                   line.find_first_not_of(static_cast<char>('a' + (line[12] - '0')), 14) == std::string::npos;
                (whole ? good : bad) += 1;
            }
            std::remove(path.c_str());
            std::_Exit(bad == 0 && good == 8 * 300 ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}
