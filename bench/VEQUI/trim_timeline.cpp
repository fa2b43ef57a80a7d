// The trips screen's trim timeline over a three-hour drive (43,200 records, 70 channels at 4 Hz,
// GPS among them, built as the exporters' benchmark builds it), offscreen. Targets:
// - selecting the drive reads it and computes its trend off the GUI thread: the longest hold of
//   the GUI thread while it reads stays under 100 ms; the contents the panel keeps are measured;
// - a paint of the strip (the 240-slot trend, the dimmed outside and the handles) under 4 ms;
// - a drag step (a mouse move that moves a handle, and the strip's repaint) under 8 ms of GUI thread;
// - a trimmed export (an hour out of the middle) holds the GUI thread under 100 ms in each format.
#include "VEQProtocol/ChannelRegistry.hpp"
#include "VEQProtocol/GPSChannel.hpp"
#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Kit/AppLook.hpp"
#include "VEQUI/Views/Kit/RangeTimeline.hpp"
#include "VEQUI/Views/Trips/DrivePanel.hpp"
#include "VEQUI/Views/Trips/DriveTimeline.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"
#include "VEQUI/Views/Trips/TripsView.hpp"

#include "TestSupport/TemporaryFolder.hpp"
#include "VEQUI/RecordingDialogs.hpp"
#include "DriveBenchmarks.hpp"
#include "WidgetBenchmarks.hpp"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>

namespace {

using veq::bench::catalogueThreeHourDrive;
using veq::bench::Hold;
using veq::bench::HoldTally;
using veq::bench::settle;
using veq::bench::threadCPUSeconds;
using veq::bench::watchGUIThread;

using namespace veq;
using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

const QSize contentArea(869, 680);
const SessionRecord::Date driveStart = std::chrono::sys_days{std::chrono::year{2024} / 1 / 1} + std::chrono::hours{7};

// The trips screen over the three-hour drive, shown at the content area's size.
struct Fixture : veq::bench::ScratchModel {
    SessionRecord drive;
    std::unique_ptr<TripsView> screen;

    Fixture() {
        drive = catalogueThreeHourDrive(*model, driveStart);
        screen = std::make_unique<TripsView>(*model);
        screen->resize(contentArea);
        screen->show();
        settle([&] { return screen->sessions().paintedRows() > 0 && readIn(); }, std::chrono::seconds(30));
    }

    DriveTimeline& timeline() const { return screen->panel().timeline(); }
    bool readIn() const { return timeline().contents() != nullptr && !timeline().range().isBusy(); }
    std::size_t row() const {
        const auto& rows = screen->sessions().rows();
        return static_cast<std::size_t>(
            std::find_if(rows.begin(), rows.end(), [&](const SessionRow& r) { return r.record == drive; }) - rows.begin());
    }
    // Reads the selected drive again, as "Actualiser" does, and waits for its timeline.
    Hold open(bool& finished) {
        return watchGUIThread([&] { timeline().onRefresh(); }, [&] { return readIn(); }, finished);
    }

};

// The heap a drive's contents hold: records, their values, channels and names.
double contentsMegabytes(const TelemetryFile::Contents& drive) {
    std::size_t bytes = sizeof(drive) + drive.records.capacity() * sizeof(TelemetryFile::Record) +
                        drive.channels.capacity() * sizeof(TelemetryFile::Channel);
    for (const auto& record : drive.records) bytes += record.values.capacity() * sizeof(std::optional<float>);
    for (const auto& channel : drive.channels) bytes += channel.name.capacity();
    return static_cast<double>(bytes) / 1e6;
}

void BM_TimelineReadsTheDrive(benchmark::State& state) {
    Fixture fixture;
    HoldTally holds;
    for (auto _ : state) {
        bool finished = false;
        const auto start = Steady::now();
        const Hold hold = fixture.open(finished);
        const double elapsed = std::chrono::duration<double>(Steady::now() - start).count();
        if (!finished) {
            state.SkipWithError("the drive was never read");
            return;
        }
        state.SetIterationTime(elapsed);
        holds.add(hold, elapsed);
    }
    holds.report(state, "read_s");
    state.counters["kept_contents_MB"] = contentsMegabytes(*fixture.timeline().contents());
    state.counters["records"] = static_cast<double>(fixture.timeline().contents()->records.size());
}

// Paints of the strip, and drag steps: a move of the pointer with the button held, the start
// handle following it, and the strip repainted at once.
void BM_TimelineStrip(benchmark::State& state) {
    const bool drag = state.range(0) == 1;
    state.SetLabel(drag ? "drag step" : "paint");
    Fixture fixture;
    bool finished = false;
    fixture.open(finished);
    if (!finished) {
        state.SkipWithError("the drive was never read");
        return;
    }
    RangeTimeline& range = fixture.timeline().range();
    range.setRange(1800, 9000);
    QWidget& strip = range.strip();
    settle([] { return false; }, std::chrono::milliseconds(50));
    const double y = strip.height() / 2.0;
    double x = strip.width() * 0.2;
    const auto mouse = [&](QEvent::Type type, double at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at, y), strip.mapToGlobal(QPointF(at, y)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&strip, &event);
    };
    if (drag) mouse(QEvent::MouseButtonPress, x, Qt::LeftButton);
    double cpu = 0, worst = 0;
    const double first = range.start();
    for (auto _ : state) {
        const double cpuStart = threadCPUSeconds();
        if (drag) {
            x = x + 1 < strip.width() * 0.5 ? x + 1 : strip.width() * 0.2;
            mouse(QEvent::MouseMove, x, Qt::LeftButton);
        }
        strip.repaint();
        const double step = threadCPUSeconds() - cpuStart;
        state.SetIterationTime(step);
        cpu += step;
        worst = std::max(worst, step);
    }
    if (drag) {
        mouse(QEvent::MouseButtonRelease, x, Qt::NoButton);
        if (range.start() == first) state.SkipWithError("the drag moved no handle");
    }
    const auto n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["gui_ms"] = 1000 * cpu / n;
    state.counters["gui_max_ms"] = 1000 * worst;
    state.counters["strip_width"] = strip.width();
}

// An hour out of the middle of the drive, from the contents the panel keeps.
void BM_TrimmedExport(benchmark::State& state) {
    const DriveExport::FormatRow& format = DriveExport::formats()[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(format.title);
    Fixture fixture;
    bool finished = false;
    fixture.open(finished);
    if (!finished || fixture.row() == fixture.screen->sessions().rows().size()) {
        state.SkipWithError("the drive was never read");
        return;
    }
    fixture.timeline().range().setRange(3600, 7200);
    veq::testing::TemporaryFolder out;
    const fs::path destination = out / ("excerpt." + format.type.extension);
    HoldTally holds;
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        fixture.dialogs->saveAnswers = {destination};
        fixture.dialogs->messages.clear();
        const auto start = Steady::now();
        const Hold hold = watchGUIThread([&] { fixture.screen->exportSelected(format.format); },
                                         [&] { return !fixture.model->isExporting(fixture.drive); }, finished);
        const double elapsed = std::chrono::duration<double>(Steady::now() - start).count();
        std::error_code error;
        bytes = fs::file_size(destination, error);
        if (!finished || error || bytes == 0) {
            const std::string why = fixture.dialogs->messages.empty() ? "no file written" : fixture.dialogs->messages.back().text;
            state.SkipWithError(("the export did not finish: " + why).c_str());
            return;
        }
        fs::remove(destination, error);
        state.SetIterationTime(elapsed);
        holds.add(hold, elapsed);
    }
    holds.report(state, "export_s");
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}

} // namespace

BENCHMARK(BM_TimelineReadsTheDrive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TimelineStrip)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200)->DenseRange(0, 1);
BENCHMARK(BM_TrimmedExport)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(2)->DenseRange(0, 5);

int main(int argc, char** argv) { return veq::bench::runWidgetBenchmarks(argc, argv, veq::applyApplicationLook); }
