#include "VEQStore/StoreFixtures.hpp"

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tf = veq::TelemetryFile;

namespace {

std::vector<tf::Channel> channels() {
    std::vector<tf::Channel> out;
    for (std::uint8_t c = 0; c < 70; ++c) out.push_back({c, "canal " + std::to_string(c)});
    return out;
}

// Every value derives from the record's number, one in seven missing.
veq::testing::Values valuesOf(std::uint32_t n) {
    veq::testing::Values values(70);
    for (std::uint32_t c = 0; c < 70; ++c) {
        if ((n + c) % 7 != 0) values[c] = float(n) * 0.25F + float(c);
    }
    return values;
}

} // namespace

// A child writes 3 × 1,000 records of 284 bytes (past the 65,536-byte threshold several times),
// flushing and reporting after each thousand, then 10 more it never flushes, and is killed.
TEST(TelemetryFileCrashTests, KilledWriterLeavesEveryFlushedRecordAndNothingElse) {
    veq::testing::TemporaryFolder folder;
    const auto path = folder / "drive.veqt";
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        try {
            tf::Writer writer(path, channels(), tf::Date{std::chrono::seconds(1'700'000'000)});
            std::uint32_t n = 0;
            for (int flushes = 0; flushes < 3; ++flushes) {
                for (int i = 0; i < 1000; ++i, ++n) writer.append(n * 250, valuesOf(n));
                writer.flush();
                if (::write(fds[1], &n, sizeof n) != sizeof n) ::_exit(3);
            }
            for (int i = 0; i < 10; ++i, ++n) writer.append(n * 250, valuesOf(n));
            for (;;) ::pause();
        } catch (...) {
            ::_exit(2);
        }
    }
    ::close(fds[1]);
    std::uint32_t flushed = 0;
    for (int report = 0; report < 3; ++report) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 60'000) <= 0 || ::read(fds[0], &flushed, sizeof flushed) != sizeof flushed) break;
    }
    ::close(fds[0]);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer did not run until killed";
    ASSERT_EQ(flushed, 3000U);

    const auto contents = tf::read(path);
    EXPECT_EQ(contents.channels, channels());
    ASSERT_EQ(contents.records.size(), 3000U) << "the ten unflushed records died with the process";
    for (std::uint32_t n = 0; n < 3000; ++n) ASSERT_EQ(contents.records[n], (tf::Record{n * 250, valuesOf(n)})) << n;
}
