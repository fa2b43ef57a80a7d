// The built program started twice on one data folder: the second is refused before it touches
// anything, the self-check is not, and neither a killed holder nor a lock file nobody holds
// keeps the folder locked.
#include "OskavelCarApp/Startup.hpp"

#include "ProcessRun.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace veq::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const QString kApplication = QStringLiteral(VEQ_APP_EXECUTABLE);

// A session's environment on the offscreen platform, with its own data and runtime folders (Qt
// warns on standard error without the latter).
QProcessEnvironment offscreenOn(const TemporaryFolder& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(home.path().string()));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(home.path().string()));
    return environment;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        QThread::msleep(50);
    }
    return true;
}

// Every file of the folder with its bytes and its modification time.
struct FileState {
    std::string bytes;
    fs::file_time_type modified;
    bool operator==(const FileState&) const = default;
};
std::map<std::string, FileState> filesIn(const fs::path& folder) {
    std::map<std::string, FileState> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).string()] = {readFile(entry.path()), entry.last_write_time()};
        }
    }
    return files;
}

// A program that keeps running until the test ends it.
struct Running {
    QProcess process;
    explicit Running(const QProcessEnvironment& environment) {
        process.setProcessEnvironment(environment);
        process.start(kApplication, {});
        process.waitForStarted(10'000);
    }
    ~Running() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10'000);
        }
    }
};

TEST(SingleInstance, ASecondInstanceOnTheSameDataFolderIsRefusedAndLeavesTheFirstsFilesAsTheyWere) {
    TemporaryFolder home;
    const fs::path data = home / "OskavelCar";
    const QProcessEnvironment environment = offscreenOn(home);
    Running first(environment);
    // The window is up once the catalogue's store and the audit log are there.
    ASSERT_TRUE(waitFor([&] { return fs::exists(data / "Sessions" / "sessions.store") && fs::exists(data / "audit.log"); },
                        60s));
    ASSERT_TRUE(fs::exists(data / std::string(instanceLockName)));
    QThread::msleep(1000);
    const auto before = filesIn(data);

    const ProcessRun second = run(kApplication, {}, environment);
    ASSERT_TRUE(second.finished);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.err, std::string(Startup::kAlreadyOpenMessage) + "\n");
    EXPECT_EQ(second.out, "");
    EXPECT_FALSE(first.process.waitForFinished(0)) << "the first instance ended";
    EXPECT_EQ(first.process.state(), QProcess::Running);
    EXPECT_TRUE(filesIn(data) == before) << "the refused instance changed a file of the running one";

    // The self-check reads the packaged resources only: it runs beside a window.
    const ProcessRun check = run(kApplication, {QStringLiteral("--self-check")}, environment);
    ASSERT_TRUE(check.finished);
    EXPECT_EQ(check.err.find(Startup::kAlreadyOpenMessage), std::string::npos);
    EXPECT_TRUE(check.out.starts_with("Oskavel Car — auto-diagnostic")) << check.out;
    EXPECT_TRUE(filesIn(data) == before);
}

TEST(SingleInstance, AHolderThatNoLongerRunsDoesNotKeepTheFolder) {
    TemporaryFolder home;
    const fs::path data = home / "OskavelCar";
    {
        Running crashed(offscreenOn(home));
        ASSERT_TRUE(waitFor([&] { return fs::exists(data / std::string(instanceLockName)); }, 60s));
        crashed.process.kill(); // leaves its lock file behind
        ASSERT_TRUE(crashed.process.waitForFinished(10'000));
    }
    ASSERT_TRUE(fs::exists(data / std::string(instanceLockName)));
    auto lock = Startup::claimDataFolder(data);
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(lock->isLocked());
    // Held by this process now: a claim from elsewhere is refused.
    EXPECT_EQ(run(kApplication, {}, offscreenOn(home)).exitCode, 1);
}

TEST(SingleInstance, ALockFileNobodyHoldsNeverKeepsTheFolderWhateverItHolds) {
    // Left by a holder cut off as it wrote, damaged, or written on another machine (a data folder
    // restored from a backup or synced).
    const std::vector<std::pair<std::string, std::string>> leftovers{
        {"empty", ""},
        {"garbled", std::string("\x01\xff\x00PID?", 8)},
        {"another machine", "4242\noskavel-car\nposte-atelier\n3b9f6c1e-0d2a-4c55-9a7e-5e8f2d1c0b47\n"},
    };
    for (const auto& [what, bytes] : leftovers) {
        SCOPED_TRACE(what);
        TemporaryFolder home;
        const fs::path data = home / "OskavelCar";
        fs::create_directories(data);
        writeFile(data / std::string(instanceLockName), bytes);
        const auto lock = Startup::claimDataFolder(data);
        ASSERT_NE(lock, nullptr);
        EXPECT_TRUE(lock->isLocked());
        // Held now, whatever the file held before.
        EXPECT_EQ(Startup::claimDataFolder(data), nullptr);
    }
}

TEST(SingleInstance, TheProgramStartsOverAnEmptyLockFile) {
    TemporaryFolder home;
    const fs::path data = home / "OskavelCar";
    fs::create_directories(data);
    writeFile(data / std::string(instanceLockName), "");
    Running program(offscreenOn(home));
    EXPECT_TRUE(waitFor([&] { return fs::exists(data / "Sessions" / "sessions.store"); }, 60s));
    EXPECT_EQ(program.process.state(), QProcess::Running);
}

TEST(SingleInstance, AProgramStartedByTheHolderDoesNotKeepTheFolder) {
    TemporaryFolder home;
    const fs::path data = home / "OskavelCar";
    auto lock = Startup::claimDataFolder(data);
    ASSERT_NE(lock, nullptr);
    // Spawned as the file manager would be: it inherits every descriptor not closed on exec.
    pid_t child = 0;
    char sleep[] = "sleep";
    char seconds[] = "30";
    char* arguments[] = {sleep, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, arguments, environ), 0);
    lock.reset();
    // The spawn returns as the child's exec begins; its close-on-exec descriptors go a moment
    // later, so a loaded machine may still see the child's copy at first. It runs 30 s: a lock
    // it kept would never come free within the wait.
    std::unique_ptr<DataFolderLock> claimed;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!(claimed = Startup::claimDataFolder(data)) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_NE(claimed, nullptr) << "the child kept the lock";
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

} // namespace
} // namespace veq::testing
