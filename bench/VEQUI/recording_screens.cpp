// The recording screens on the GUI thread, offscreen at 869 x 680 (the content area of the
// smallest window). Targets:
// - the trips screen built over a catalogue of 1,000 drives and painted once in under 100 ms;
// - scrolling its list paints only the rows in view (rows painted per step against rows in view);
// - exporting a three-hour drive (43,200 records, 70 channels at 4 Hz, GPS among them) in each
//   format never holds the GUI thread for more than 100 ms: a 1 ms timer on the GUI thread
//   records the longest gap between its ticks while the export runs;
// - the capture screen's refresh with 40 channels (one a second in the application) costs under
//   2 ms of GUI thread: the model's summaries and status change, the screen follows and repaints,
//   the range card's end following now.
#include "VEQProtocol/ChannelRegistry.hpp"
#include "VEQProtocol/GPSChannel.hpp"
#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Kit/AppLook.hpp"
#include "VEQUI/Views/Capture/CaptureChannelList.hpp"
#include "VEQUI/Views/Capture/CaptureRangeCard.hpp"
#include "VEQUI/Views/Capture/CaptureView.hpp"
#include "VEQUI/Views/Recording/DriveExport.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"
#include "VEQUI/Views/Trips/TripsView.hpp"

#include "TestSupport/TemporaryFolder.hpp"
#include "VEQUI/Model/ModelFixtures.hpp"
#include "VEQUI/RecordingDialogs.hpp"
#include "DriveBenchmarks.hpp"
#include "WidgetBenchmarks.hpp"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>


#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <random>

namespace {

using veq::bench::catalogueThreeHourDrive;
using veq::bench::Hold;
using veq::bench::HoldTally;
using veq::bench::PaintCounter;
using veq::bench::settle;
using veq::bench::watchGUIThread;
using veq::bench::threadCPUSeconds;

using namespace veq;
using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

const QSize contentArea(869, 680);
const SessionRecord::Date firstDrive = std::chrono::sys_days{std::chrono::year{2024} / 1 / 1} + std::chrono::hours{7};


double millisecondsSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

using Fixture = veq::bench::ScratchModel;

// Catalogues `count` drives an hour apart with their figures, each with a file (a bare header)
// so that none is listed as missing.
void fillCatalogue(Fixture& fixture, int count) {
    SessionCatalog& catalog = fixture.model->sessionCatalog();
    const auto header = TelemetryFile::encodeHeader({}, firstDrive);
    for (int i = 0; i < count; ++i) {
        const auto start = firstDrive + std::chrono::hours{i};
        const std::string name = "drive-" + std::to_string(i) + ".veqt";
        std::ofstream(catalog.sessionsDirectory() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
        SessionRecord record = catalog.createSession(name, "VF1RFB00012345678", std::nullopt,
                                                     i % 3 == 0 ? std::optional<std::string>("Renault Clio V") : std::nullopt,
                                                     start);
        SessionCatalog::Update figures;
        figures.endDate = start + std::chrono::minutes{20 + i % 40};
        figures.sampleCount = 4'800 + i;
        figures.channelCount = 30;
        figures.distanceKm = 12.5 + i % 17;
        figures.maxSpeedKmh = 90 + i % 41;
        figures.fuelLiters = 1.1 + 0.01 * (i % 50);
        figures.dtcCount = i % 4;
        if (i % 5 == 0) figures.zeroToHundredSec = 9.8;
        catalog.update(record, figures);
    }
    fixture.model->refreshSessions();
}

// Shows a screen at the content area's size and lets its first paint happen.
bool showAndPaint(QWidget& screen, const std::function<bool()>& painted) {
    screen.resize(contentArea);
    screen.show();
    return settle(painted);
}

void BM_TripsScreenBuild(benchmark::State& state) {
    // The process's first build also loads the fonts and styles every later one finds ready.
    static double firstBuild = -1;
    Fixture fixture;
    fillCatalogue(fixture, 1'000);
    double total = 0;
    double worst = 0;
    std::size_t listed = 0;
    for (auto _ : state) {
        const auto start = Steady::now();
        auto screen = std::make_unique<TripsView>(*fixture.model);
        const bool painted = showAndPaint(*screen, [&] { return screen->sessions().paintedRows() > 0; });
        const double ms = millisecondsSince(start);
        if (!painted) {
            state.SkipWithError("the trips screen never painted its list");
            break;
        }
        state.SetIterationTime(ms / 1000);
        if (firstBuild < 0) firstBuild = ms;
        total += ms;
        worst = std::max(worst, ms);
        listed = screen->sessions().rows().size();
    }
    state.counters["build_ms"] = total / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["build_max_ms"] = worst;
    state.counters["first_build_ms"] = firstBuild;
    state.counters["drives_listed"] = static_cast<double>(listed);
}

// One pass down the whole list, a mouse wheel's notch at a time (three single steps).
void BM_TripsListScroll(benchmark::State& state) {
    Fixture fixture;
    fillCatalogue(fixture, 1'000);
    TripsView screen(*fixture.model);
    SessionList& list = screen.sessions();
    if (!showAndPaint(screen, [&] { return list.paintedRows() > 0; })) {
        state.SkipWithError("the trips screen never painted its list");
        return;
    }
    QScrollBar& bar = *list.verticalScrollBar();
    PaintCounter viewport(*list.viewport());
    const int notch = bar.singleStep() * QApplication::wheelScrollLines();
    long long steps = 0, paints = 0;
    double painted = 0, inView = 0, cpu = 0, worstCPU = 0;
    std::size_t worstPainted = 0;
    for (auto _ : state) {
        bar.setValue(0);
        settle([] { return false; }, std::chrono::milliseconds(20));
        const long long paintsBefore = viewport.paints;
        double passCPU = 0;
        for (int value = notch; value - notch < bar.maximum(); value += notch) {
            const std::size_t before = list.paintedRows();
            const double cpuStart = threadCPUSeconds();
            bar.setValue(std::min(value, bar.maximum()));
            const bool done = settle([&] { return list.paintedRows() != before; });
            const double stepCPU = threadCPUSeconds() - cpuStart;
            if (!done) {
                state.SkipWithError("a scroll step painted nothing");
                return;
            }
            ++steps;
            passCPU += stepCPU;
            worstCPU = std::max(worstCPU, stepCPU);
            worstPainted = std::max(worstPainted, list.paintedRows() - before);
            painted += static_cast<double>(list.paintedRows() - before);
            inView += static_cast<double>(list.rowsInView().size());
        }
        cpu += passCPU;
        paints += viewport.paints - paintsBefore;
        state.SetIterationTime(passCPU);
    }
    const auto n = static_cast<double>(std::max(steps, 1LL));
    state.counters["steps"] = n;
    state.counters["rows_painted/step"] = painted / n;
    state.counters["rows_in_view"] = inView / n;
    state.counters["rows_painted_max/step"] = static_cast<double>(worstPainted);
    state.counters["paints/step"] = static_cast<double>(paints) / n;
    state.counters["gui_ms/step"] = 1000 * cpu / n;
    state.counters["gui_max_ms/step"] = 1000 * worstCPU;
}

struct ExportRun {
    Hold hold;
    double seconds = 0; // from the call to the drive's busy mark gone
    bool finished = false;
};

// Exports the selected drive and watches the GUI thread until its busy mark has gone and the
// screen has repainted it.
ExportRun exportWatched(TripsView& screen, std::size_t row, DriveExport::Format format) {
    ExportRun run;
    Steady::time_point called, ended;
    run.hold = watchGUIThread(
        [&] {
            called = Steady::now();
            screen.exportSelected(format);
        },
        [&] {
            if (screen.sessions().isBusy(screen.sessions().rows()[row])) return false;
            ended = Steady::now();
            return true;
        },
        run.finished);
    run.seconds = std::chrono::duration<double>(ended - called).count();
    return run;
}

void BM_ExportThreeHourDrive(benchmark::State& state) {
    const DriveExport::FormatRow& format = DriveExport::formats()[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(format.title);
    Fixture fixture;
    const SessionRecord drive = catalogueThreeHourDrive(*fixture.model, firstDrive);
    TripsView screen(*fixture.model);
    SessionList& list = screen.sessions();
    if (!showAndPaint(screen, [&] { return list.paintedRows() > 0; })) {
        state.SkipWithError("the trips screen never painted its list");
        return;
    }
    const auto row = static_cast<std::size_t>(
        std::find_if(list.rows().begin(), list.rows().end(), [&](const SessionRow& r) { return r.record == drive; }) -
        list.rows().begin());
    if (row == list.rows().size()) {
        state.SkipWithError("the three-hour drive is not listed");
        return;
    }
    list.select(row);
    veq::testing::TemporaryFolder out;
    const fs::path destination = out / ("export." + format.type.extension);
    HoldTally holds;
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        fixture.dialogs->saveAnswers = {destination};
        fixture.dialogs->messages.clear();
        const ExportRun run = exportWatched(screen, row, format.format);
        std::error_code error;
        bytes = fs::file_size(destination, error);
        if (!run.finished || error || bytes == 0) {
            const std::string why = fixture.dialogs->messages.empty() ? "no file written" : fixture.dialogs->messages.back().text;
            state.SkipWithError(("the export did not finish: " + why).c_str());
            return;
        }
        fs::remove(destination, error);
        state.SetIterationTime(run.seconds);
        holds.add(run.hold, run.seconds);
    }
    holds.report(state, "export_s");
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}

// 40 channels: 38 OBD parameters and the GPS latitude and longitude; each refresh moves every
// value, count and arrival time, as a recorder fed at a few hertz per channel would.
void BM_CaptureRefresh(benchmark::State& state) {
    Fixture fixture;
    CaptureView screen(*fixture.model);
    screen.setAnimated(false);
    std::vector<EventRecorder::ChannelSummary> summaries;
    for (std::uint8_t pid = 4; summaries.size() < 38; ++pid) summaries.push_back({pid, ChannelRegistry::name(pid)});
    for (const std::uint8_t pid : {GPSChannel::latitude, GPSChannel::longitude}) {
        summaries.push_back({pid, ChannelRegistry::name(pid), 0, 0, 0, true});
    }
    EventRecorder::Status status;
    status.channelsSeen = summaries.size();
    long long second = 0;
    const auto advance = [&] {
        ++second;
        for (std::size_t k = 0; k < summaries.size(); ++k) {
            summaries[k].count += 3 + k % 5;
            summaries[k].lastValue = static_cast<float>(k * 40) + 25.0f * std::sin(static_cast<float>(second) * 0.3f + k);
            summaries[k].lastSeconds = static_cast<double>(second) - 0.01 * static_cast<double>(k);
            status.eventCount += 3 + k % 5;
        }
        status.startMark = second > 5 ? std::optional<double>(5.0) : std::nullopt;
    };
    advance();
    AppModelTestAccess::setCaptureSummaries(*fixture.model, summaries);
    AppModelTestAccess::setCaptureStatus(*fixture.model, status);
    PaintCounter setUp(screen);
    if (!showAndPaint(screen, [&] { return setUp.paints > 0; }) || screen.channels().channels().size() != summaries.size()) {
        state.SkipWithError("the capture screen never showed its channels");
        return;
    }
    settle([] { return false; }, std::chrono::milliseconds(20)); // any later layout pass
    // A recorder holding events from its origin on: the range card offers them up to now. Set
    // once the screen shows, so that the model's own refresh, stopped for want of a recorder,
    // never reads this empty one.
    const auto origin = std::chrono::system_clock::now();
    AppModelTestAccess::setRecorder(*fixture.model, std::make_shared<EventRecorder>(origin, 1000));
    AppModelTestAccess::setCaptureOldestEvent(*fixture.model, origin);
    screen.rangeCard().setClock([&] { return origin + std::chrono::seconds(second); });
    AppModelTestAccess::setCaptureSummaries(*fixture.model, summaries);
    AppModelTestAccess::setCaptureStatus(*fixture.model, status);
    settle([] { return false; }, std::chrono::milliseconds(20));
    if (!screen.rangeCard().range()) {
        state.SkipWithError("the range card offered no range");
        return;
    }
    PaintCounter counter(screen); // the rows exist now
    double cpu = 0;
    for (auto _ : state) {
        advance();
        const long long paints = counter.paints;
        const double cpuStart = threadCPUSeconds();
        AppModelTestAccess::setCaptureSummaries(*fixture.model, summaries);
        AppModelTestAccess::setCaptureStatus(*fixture.model, status);
        screen.rangeCard().refresh(); // its tick of the same second
        const bool painted = settle([&] { return counter.paints != paints; });
        const double refreshCPU = threadCPUSeconds() - cpuStart;
        if (!painted) {
            state.SkipWithError("a refresh repainted nothing");
            return;
        }
        state.SetIterationTime(refreshCPU);
        cpu += refreshCPU;
    }
    const auto n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["gui_ms/refresh"] = 1000 * cpu / n;
    state.counters["paints/refresh"] = static_cast<double>(counter.paints) / n;
    state.counters["channels"] = static_cast<double>(screen.channels().channels().size());
    state.counters["range_s"] = screen.rangeCard().range() ? std::chrono::duration<double>(
                                    screen.rangeCard().range()->second - screen.rangeCard().range()->first).count() : 0;
}

} // namespace

BENCHMARK(BM_TripsScreenBuild)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TripsListScroll)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ExportThreeHourDrive)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(2)->DenseRange(0, 5);
BENCHMARK(BM_CaptureRefresh)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return veq::bench::runWidgetBenchmarks(argc, argv, veq::applyApplicationLook); }
