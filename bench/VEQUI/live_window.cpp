// The whole application as a user runs it: the window at its default size, live on the simulated
// car, cockpit shown, on a real display (bench/run starts this program under xvfb-run when there
// is none). Reports the process's processor time as a share of one core (every thread: the GUI,
// the polling, and a software rasteriser's own threads when the dials are drawn by OpenGL) and
// its resident memory at the end. The dials are drawn as the GPU probe decides; with
// VEQ_TEST_ACCEPT_SOFTWARE_OPENGL=1 a software rasteriser draws them, for comparison.
// Target: well under 25 % of a core.
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Gauges/GPUGaugeProbe.hpp"
#include "VEQUI/Views/Kit/AppLook.hpp"
#include "VEQUI/Views/Shell/MainWindow.hpp"
#include "VEQUI/Views/Shell/RootView.hpp"

#include "BenchEnvironment.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "WidgetBenchmarks.hpp"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <time.h>

#include <chrono>
#include <fstream>
#include <string>

namespace {

double processCPUSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// VmRSS of /proc/self/status, in megabytes.
double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kilobytes = 0;
            status >> kilobytes;
            return kilobytes / 1024.0;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

void spin(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_LiveWindowCockpit(benchmark::State& state) {
    if (QGuiApplication::platformName() == QStringLiteral("offscreen")) {
        state.SkipWithError("needs a display: bench/run starts this program under xvfb-run");
        return;
    }
    veq::testing::TemporaryFolder scratch;
    veq::AppModel::Environment environment;
    environment.dataFolder = scratch.path();
    environment.locationSource = [] { return nullptr; };
    veq::MainWindow window(std::move(environment));
    window.show();
    veq::AppModel& model = window.rootView().model();
    model.connect();
    QElapsedTimer waited;
    waited.start();
    while (model.phase() != veq::AppModel::Phase::live() && waited.elapsed() < 60'000) spin(std::chrono::milliseconds(50));
    if (model.phase() != veq::AppModel::Phase::live()) {
        state.SkipWithError("the simulated car did not go live within 60 s");
        return;
    }
    spin(std::chrono::seconds(1)); // the cockpit's first frames and caches

    const double seconds = veq::bench::lengthFromEnvironment("VEQ_BENCH_WINDOW_SECONDS", 10.0);
    for (auto _ : state) {
        const auto wallStart = std::chrono::steady_clock::now();
        const double cpuStart = processCPUSeconds();
        spin(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
        const double cpu = processCPUSeconds() - cpuStart;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        state.counters["process_cpu_%"] = 100.0 * cpu / wall;
        state.counters["wall_s"] = wall;
    }
    state.counters["resident_MB"] = residentMegabytes();
    state.counters["gpu_dials"] = veq::gpuGaugeSupported() ? 1 : 0;
    model.disconnect();
    spin(std::chrono::milliseconds(500));
}

} // namespace

BENCHMARK(BM_LiveWindowCockpit)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    return veq::bench::runWidgetBenchmarks(argc, argv, veq::applyApplicationLook, veq::bench::DefaultPlatform::display);
}
