#include "VEQStore/TelemetryFile.hpp"

#include "TestSupport/StorePrinters.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tf = veq::TelemetryFile;

namespace {

constexpr std::size_t channelCount = 70;

std::vector<tf::Channel> channels() {
    std::vector<tf::Channel> out;
    for (std::size_t c = 0; c < channelCount; ++c) out.push_back({static_cast<std::uint8_t>(c), "canal " + std::to_string(c)});
    return out;
}

// The n-th record of the drive: every value derives from n, one in seven missing.
std::vector<std::optional<float>> valuesOf(std::uint32_t n) {
    std::vector<std::optional<float>> values(channelCount);
    for (std::size_t c = 0; c < channelCount; ++c) {
        if ((n + c) % 7 != 0) values[c] = static_cast<float>(n) * 0.25F + static_cast<float>(c);
    }
    return values;
}

// A writer in a child process that tells the parent, after each flush, how many records it has
// flushed. `flushEvery` records it flushes by hand; `stopAfter` flushes it appends a few more
// records without flushing and waits to be killed (0: it never stops writing).
struct WritingChild {
    pid_t pid = -1;
    int reports = -1;

    WritingChild(const std::filesystem::path& path, std::uint32_t flushEvery, int stopAfter) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            try {
                tf::Writer writer(path, channels(), tf::Date{std::chrono::seconds(1'700'000'000)});
                std::uint32_t n = 0;
                for (int flushes = 0; stopAfter == 0 || flushes < stopAfter; ++flushes) {
                    for (std::uint32_t i = 0; i < flushEvery; ++i, ++n) writer.append(n * 250, valuesOf(n));
                    writer.flush();
                    if (::write(fds[1], &n, sizeof n) != sizeof n) ::_exit(3);
                }
                for (std::uint32_t i = 0; i < 10; ++i, ++n) writer.append(n * 250, valuesOf(n)); // never flushed
                for (;;) ::pause();
            } catch (...) {
                ::_exit(2);
            }
        }
        ::close(fds[1]);
        reports = fds[0];
    }

    // The count of the latest report, waiting for `wanted` reports (nothing on a dead child or
    // after a generous safety time-out, so the test can never hang).
    std::optional<std::uint32_t> awaitReports(int wanted) {
        std::uint32_t latest = 0;
        for (int got = 0; got < wanted; ++got) {
            pollfd p{reports, POLLIN, 0};
            if (::poll(&p, 1, 60'000) <= 0) return std::nullopt;
            if (::read(reports, &latest, sizeof latest) != sizeof latest) return std::nullopt;
        }
        return latest;
    }

    // Kills with SIGKILL and reaps; true when the child did die of it.
    bool kill() {
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    ~WritingChild() {
        if (pid > 0) kill();
        if (reports >= 0) ::close(reports);
    }
};

void expectRecordsOfTheDrive(const tf::Contents& contents) {
    EXPECT_EQ(contents.channels, channels());
    EXPECT_EQ(contents.startDate, tf::Date{std::chrono::seconds(1'700'000'000)});
    for (std::uint32_t n = 0; n < contents.records.size(); ++n) {
        ASSERT_EQ(contents.records[n], (tf::Record{n * 250, valuesOf(n)})) << "record " << n;
    }
}

} // namespace

TEST(TelemetryFileCrashTests, KilledWriterLeavesEveryFlushedRecordAndNothingElse) {
    veq::testing::TemporaryFolder folder;
    const auto path = folder / "drive.veqt";
    // 1,000 records of 284 bytes pass the 65,536-byte threshold several times on the way.
    WritingChild child(path, 1000, 3);
    ASSERT_GT(child.pid, 0);
    const auto flushed = child.awaitReports(3);
    ASSERT_TRUE(flushed.has_value()) << "the writing process did not report";
    ASSERT_EQ(*flushed, 3000U);
    ASSERT_TRUE(child.kill());

    const auto contents = tf::read(path);
    EXPECT_EQ(contents.records.size(), 3000U) << "the ten unflushed records died with the process";
    expectRecordsOfTheDrive(contents);
}

TEST(TelemetryFileCrashTests, KilledWhileWritingReadsBackUpToTheLastFlush) {
    veq::testing::TemporaryFolder folder;
    const auto path = folder / "drive.veqt";
    WritingChild child(path, 97, 0); // writes without pause until killed
    ASSERT_GT(child.pid, 0);
    const auto flushed = child.awaitReports(20);
    ASSERT_TRUE(flushed.has_value()) << "the writing process did not report";
    ASSERT_TRUE(child.kill());

    const auto contents = tf::read(path);
    EXPECT_GE(contents.records.size(), *flushed);
    expectRecordsOfTheDrive(contents);
}
