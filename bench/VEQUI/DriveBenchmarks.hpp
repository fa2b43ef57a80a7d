#pragma once

#include "VEQProtocol/ChannelRegistry.hpp"
#include "VEQProtocol/GPSChannel.hpp"
#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "TestSupport/TemporaryFolder.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/RecordingDialogs.hpp"
#include "WidgetBenchmarks.hpp"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

// What the benchmarks of the drive screens share: the long drive they work on, and the watch kept
// on the GUI thread while a drive is read or exported off it.
namespace veq::bench {

// A model on a fresh data folder, without a position source, whose dialogs answer from a queue.
struct ScratchModel {
    veq::testing::TemporaryFolder data;
    std::shared_ptr<veq::testing::RecordingDialogs> dialogs = std::make_shared<veq::testing::RecordingDialogs>();
    std::unique_ptr<AppModel> model;

    ScratchModel() {
        AppModel::Environment environment;
        environment.dataFolder = data.path();
        environment.locationSource = [] { return nullptr; };
        environment.dialogs = dialogs;
        model = std::make_unique<AppModel>(std::move(environment));
    }
};

// A three-hour drive at 4 Hz (43,200 records) over 68 OBD channels and the GPS latitude and
// longitude, one value in ten missing, streamed into the sessions folder and catalogued with its
// figures.
inline SessionRecord catalogueThreeHourDrive(AppModel& model, SessionRecord::Date start) {
    constexpr std::uint32_t recordCount = 3 * 3600 * 4;
    std::vector<TelemetryFile::Channel> channels;
    for (std::uint8_t pid = 1; pid <= 68; ++pid) channels.push_back({pid, ChannelRegistry::name(pid)});
    for (const std::uint8_t pid : {GPSChannel::latitude, GPSChannel::longitude}) {
        channels.push_back({pid, ChannelRegistry::name(pid)});
    }
    SessionCatalog& catalog = model.sessionCatalog();
    const std::string name = "three-hours.veqt";
    {
        TelemetryFile::Writer writer(catalog.sessionsDirectory() / name, channels, start);
        std::mt19937 random(70);
        std::bernoulli_distribution missing(0.1);
        std::normal_distribution<float> noise(0.0f, 3.0f);
        std::vector<std::optional<float>> values(channels.size());
        for (std::uint32_t r = 0; r < recordCount; ++r) {
            for (std::size_t k = 0; k < 68; ++k) {
                values[k] = missing(random) ? std::nullopt
                                            : std::optional<float>(static_cast<float>(k * 40) +
                                                                   25.0f * std::sin(r * 0.01f + k) + noise(random));
            }
            values[68] = 48.85f + 0.00002f * static_cast<float>(r); // heading north-east out of Paris
            values[69] = 2.35f + 0.00003f * static_cast<float>(r);
            writer.append(r * 250, values);
        }
        writer.close();
    }
    SessionRecord record = catalog.createSession(name, "VF1RFB00012345678", std::nullopt, "Renault Clio V", start);
    SessionCatalog::Update figures;
    figures.endDate = start + std::chrono::hours{3};
    figures.sampleCount = recordCount;
    figures.channelCount = static_cast<std::int64_t>(channels.size());
    figures.distanceKm = 243.0;
    figures.maxSpeedKmh = 131;
    catalog.update(record, figures);
    model.refreshSessions();
    return record;
}

// The longest gap between the ticks of a 1 ms timer on the GUI thread, and the GUI thread's
// processor time within it.
struct Hold {
    double ms = 0;
    double cpuMs = 0;
};

// The worst hold over a benchmark's iterations and the seconds they took, as its counters show
// them: "gui_hold_max_ms", "gui_cpu_in_hold_ms" and the mean seconds under `secondsName`.
struct HoldTally {
    Hold worst;
    double seconds = 0;

    void add(const Hold& hold, double elapsed) {
        seconds += elapsed;
        if (hold.ms > worst.ms) worst = hold;
    }
    void report(benchmark::State& state, const char* secondsName) const {
        state.counters["gui_hold_max_ms"] = worst.ms;
        state.counters["gui_cpu_in_hold_ms"] = worst.cpuMs;
        state.counters[secondsName] = seconds / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    }
};

// Runs `start` from the event loop and watches the GUI thread until `done` holds, then 50 ms
// more (what follows, a repaint, is still watched); `finished` says whether `done` came before
// the five minutes the watch lasts at most.
template <typename Start, typename Done>
Hold watchGUIThread(Start start, Done done, bool& finished) {
    using Steady = std::chrono::steady_clock;
    Hold hold;
    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    auto lastTick = Steady::now();
    double lastCPU = threadCPUSeconds();
    bool started = false;
    finished = false;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = Steady::now();
        const double cpu = threadCPUSeconds();
        const double gap = std::chrono::duration<double, std::milli>(now - lastTick).count();
        if (gap > hold.ms) hold = {gap, 1000 * (cpu - lastCPU)};
        lastTick = now;
        lastCPU = cpu;
        if (started && !finished && done()) {
            finished = true;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
        }
    });
    QTimer::singleShot(0, [&] {
        start();
        started = true;
    });
    QTimer::singleShot(std::chrono::minutes(5), &loop, &QEventLoop::quit);
    ticker.start();
    loop.exec();
    return hold;
}

} // namespace veq::bench
