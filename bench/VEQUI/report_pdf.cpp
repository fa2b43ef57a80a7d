// The PDF report of a drive with 60 parameters and 20 trouble codes (10 ECUs answering), offscreen.
// Targets:
// - the PDF is produced in under 300 ms, on a worker thread;
// - the GUI thread is never held for 16 ms or more at a time: the snapshot the report is taken
//   from, and, while the PDF is produced and the preview opens, the longest gap between the ticks
//   of a 1 ms timer on the GUI thread;
// - the preview sheet opens and paints its first page in under 200 ms.
#include "VEQProtocol/DTC.hpp"
#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Kit/AppLook.hpp"
#include "VEQUI/Views/Report/ReportContent.hpp"
#include "VEQUI/Views/Report/ReportDocument.hpp"
#include "VEQUI/Views/Report/ReportPreview.hpp"

#include "TestSupport/TemporaryFolder.hpp"
#include "VEQUI/Model/ModelFixtures.hpp"
#include "VEQUI/RecordingDialogs.hpp"
#include "DriveBenchmarks.hpp"
#include "WidgetBenchmarks.hpp"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPdfPageRenderer>
#include <QPdfView>
#include <QTimer>

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace veq;
using Steady = std::chrono::steady_clock;
using veq::bench::Hold;
using veq::bench::watchGUIThread;

double millisecondsSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// A model whose store holds 60 parameters, each with a few samples.
struct Fixture : veq::bench::ScratchModel {
    Fixture() {
        int fed = 0;
        for (int pid = 0x04; pid < 0x100 && fed < 60; ++pid) {
            if (!PIDCatalog::definition(static_cast<std::uint8_t>(pid))) continue;
            for (int s = 0; s < 5; ++s) {
                model->store().ingest(veq::testing::measured(static_cast<std::uint8_t>(pid), 10.0 * s + fed,
                                                             veq::testing::at(s + 0.01 * fed)));
            }
            ++fed;
        }
    }
};

std::vector<DTC> twentyCodes() {
    std::vector<DTC> codes;
    for (int i = 0; i < 20; ++i) codes.push_back(DTC{DTC::System::powertrain, fmt::format("P03{:02d}", i), {}});
    return codes;
}

std::vector<DiscoveredECU> tenECUs() {
    std::vector<DiscoveredECU> ecus;
    for (int i = 0; i < 10; ++i) {
        ecus.push_back({fmt::format("Calculateur {}", i + 1), fmt::format("7E{:X}", i), fmt::format("7E{:X}", i + 8),
                        true, fmt::format("A20590{:04d}", i), "0044/3.11.0"});
    }
    return ecus;
}

// The snapshot the report is made from, on the GUI thread: the model's content with 20 codes
// and 10 ECUs put in as a connection would have read them.
ReportContent snapshot(const AppModel& model) {
    ReportContent content = Report::contentOf(model);
    content.codes = Report::codesOf(twentyCodes());
    content.ecusScanned = true;
    content.ecus = Report::ecusOf(tenECUs(), {});
    return content;
}

void BM_ReportProduced(benchmark::State& state) {
    Fixture fixture;
    double worstHold = 0, worstSnapshot = 0;
    std::size_t pages = 0, bytes = 0;
    for (auto _ : state) {
        const auto taken = Steady::now();
        const ReportContent content = snapshot(*fixture.model);
        worstSnapshot = std::max(worstSnapshot, millisecondsSince(taken));

        std::atomic<bool> done = false;
        QByteArray pdf;
        double producedMs = 0;
        std::jthread worker;
        bool finished = false;
        const Hold hold = watchGUIThread(
            [&] {
                worker = std::jthread([&] {
                    const auto start = Steady::now();
                    pdf = ReportDocument::pdf(content);
                    producedMs = millisecondsSince(start);
                    done = true;
                });
            },
            [&] { return done.load(); }, finished);
        if (worker.joinable()) worker.join();
        if (!finished) {
            state.SkipWithError("the report was not produced");
            return;
        }
        worstHold = std::max(worstHold, hold.ms);
        state.SetIterationTime(producedMs / 1000.0);
        bytes = static_cast<std::size_t>(pdf.size());
        pages = static_cast<std::size_t>(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r"));
    }
    state.counters["snapshot_ms"] = worstSnapshot;
    state.counters["gui_hold_max_ms"] = worstHold;
    state.counters["file_kB"] = static_cast<double>(bytes) / 1e3;
    state.counters["pages"] = static_cast<double>(pages);
}

// From the sheet's making to the end of the first paint of its view after the first page came
// back from the renderer's thread.
void BM_PreviewFirstPage(benchmark::State& state) {
    Fixture fixture;
    const QByteArray pdf = ReportDocument::pdf(snapshot(*fixture.model));
    double worstHold = 0;
    struct PaintWatch : QObject {
        bool& rendered;
        bool& painted;
        PaintWatch(bool& r, bool& p) : rendered(r), painted(p) {}
        bool eventFilter(QObject*, QEvent* event) override {
            // Seen before the paint; the flag is read once the event loop has returned, the paint done.
            if (event->type() == QEvent::Paint && rendered) painted = true;
            return false;
        }
    };
    for (auto _ : state) {
        Steady::time_point start, firstPage;
        std::unique_ptr<ReportPreview> preview;
        bool rendered = false, painted = false, hasRenderer = true, finished = false;
        PaintWatch paints(rendered, painted);
        // The sheet is made inside the watch: its making holds the GUI thread too.
        const Hold hold = watchGUIThread(
            [&] {
                start = Steady::now();
                preview = std::make_unique<ReportPreview>(pdf, [](const QByteArray&) {});
                preview->resize(820, 740);
                auto* renderer = preview->view().findChild<QPdfPageRenderer*>();
                hasRenderer = renderer != nullptr;
                if (!renderer) return;
                QObject::connect(renderer, &QPdfPageRenderer::pageRendered, [&](int page, auto&&...) {
                    if (page == 0) rendered = true;
                });
                preview->view().viewport()->installEventFilter(&paints);
                preview->show();
            },
            [&] {
                if (!painted && hasRenderer) return false;
                firstPage = Steady::now();
                return true;
            },
            finished);
        if (!hasRenderer || !finished) {
            state.SkipWithError(hasRenderer ? "the first page was never painted" : "the view has no page renderer");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(firstPage - start).count());
        worstHold = std::max(worstHold, hold.ms);
        preview->view().viewport()->removeEventFilter(&paints);
    }
    state.counters["gui_hold_max_ms"] = worstHold;
}

} // namespace

BENCHMARK(BM_ReportProduced)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_PreviewFirstPage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    return veq::bench::runWidgetBenchmarks(argc, argv, [] { veq::applyApplicationLook(); });
}
