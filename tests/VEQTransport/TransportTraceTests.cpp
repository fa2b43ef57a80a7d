#include "VEQTransport/TransportTrace.hpp"

#include "VEQTransport/IncomingStream.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

namespace {

// Tracing is decided once per process, so each case sets the environment in a child of its own
// (the threadsafe style re-executes the program rather than fork this one).
class TraceInChildProcess : public ::testing::Test {
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

} // namespace

TEST(TransportTraceTests, HexAsciiDump) {
    const std::pair<Bytes, std::string> cases[] = {
        {{}, "\"\" []"},
        {{0x41, 0x54, 0x5A, 0x0D}, "\"ATZ\u23CE\" [41 54 5A 0D]"},
        {{0x0A, 0x41, 0xFF, 0x42}, "\"\u240AA\uFFFDB\" [0A 41 FF 42]"},
        {{0xC3, 0xA9, 0xE2, 0x82}, "\"\u00E9\uFFFD\" [C3 A9 E2 82]"}, // a truncated sequence at the end
        {{0x22, 0x00, 0x09}, "\"\"\0\t\" [22 00 09]"s},
    };
    for (const auto& [bytes, dump] : cases) EXPECT_EQ(veqHexAscii(bytes), dump);
}

// An empty value switches tracing on: messages and the chunks an overfull stream drops are written.
TEST_F(TraceInChildProcess, AnEmptyValueSwitchesTracingOn) {
    EXPECT_EXIT(
        {
            ::setenv("VEQ_TRACE", "", 1);
            veqTrace([] { return std::string("WiFi ← ") + veqHexAscii(Bytes{0x4F, 0x4B, 0x0D}); });
            IncomingStream stream(8);
            for (std::uint8_t fill : {0x41, 0x42, 0x43}) stream.push(Bytes(6, fill));
            std::exit(stream.droppedChunks() == 2 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0),
        "^\\[transport\\] WiFi ← \"OK\u23CE\" \\[4F 4B 0D\\]\n"
        "\\[transport\\] flux entrant saturé : 1 fragment\\(s\\) ancien\\(s\\) abandonné\\(s\\), 1 au total\n"
        "\\[transport\\] flux entrant saturé : 1 fragment\\(s\\) ancien\\(s\\) abandonné\\(s\\), 2 au total\n$");
}

// Without the variable nothing is written nor even built, and setting it later changes nothing.
TEST_F(TraceInChildProcess, TheEnvironmentIsReadOnlyOnce) {
    EXPECT_EXIT(
        {
            ::unsetenv("VEQ_TRACE");
            bool built = false;
            veqTrace([&] { return built = true, std::string("never"); });
            ::setenv("VEQ_TRACE", "1", 1);
            veqTrace([] { return std::string("late"); });
            std::exit(built ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "^$");
}

// Eight threads trace 300 long lines each into a file; every line must come out whole.
TEST_F(TraceInChildProcess, LinesOfDifferentThreadsNeverInterleave) {
    EXPECT_EXIT(
        {
            ::setenv("VEQ_TRACE", "1", 1);
            const std::string path = ::testing::TempDir() + "veq_trace_lines_" + std::to_string(::getpid());
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
            if (fd < 0 || ::dup2(fd, STDERR_FILENO) < 0) std::_Exit(2);
            {
                std::vector<std::jthread> writers;
                for (char t = 0; t < 8; ++t)
                    writers.emplace_back([t] {
                        for (int i = 0; i < 300; ++i) veqTrace([&] { return std::string(1, char('0' + t)) + ":" + std::string(2000, char('a' + t)); });
                    });
            }
            std::ifstream in(path);
            int good = 0;
            int bad = 0;
            for (std::string line; std::getline(in, line);) {
                const bool whole = line.size() == 12 + 2 + 2000 && line.starts_with("[transport] ") && line[13] == ':' &&
                                   line.find_first_not_of(char('a' + (line[12] - '0')), 14) == std::string::npos;
                ++(whole ? good : bad);
            }
            ::unlink(path.c_str());
            std::_Exit(bad == 0 && good == 8 * 300 ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}
