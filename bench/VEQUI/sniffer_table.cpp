// The bus monitor's table with a thousand identifiers heard: the cost of one frame taken into
// the table, and of one refresh tick that draws the rows in view. Target: an update well under
// a millisecond, a tick under 4 ms, whatever the number of identifiers.
#include "VEQUI/Model/CANFrameTable.hpp"
#include "VEQUI/Views/Diagnostics/FrameTable.hpp"

#include "WidgetBenchmarks.hpp"

#include <benchmark/benchmark.h>

#include <fmt/format.h>

#include <QApplication>
#include <QImage>

namespace {

veq::CANFrameTable thousandRows() {
    veq::CANFrameTable table;
    for (int i = 0; i < 1000; ++i) {
        table.apply(*veq::MonitorFrame::parse(fmt::format("{:08X} 01 02 03 04 05 06 07 08", 0x18DA0000 + i)));
    }
    return table;
}

// One frame of a known identifier, its counter byte moving.
void FrameIntoAThousandRows(benchmark::State& state) {
    veq::CANFrameTable table = thousandRows();
    std::uint8_t counter = 0;
    int id = 0;
    for (auto _ : state) {
        auto frame = *veq::MonitorFrame::parse(fmt::format("{:08X} 01 02 03 04 05 06 07 {:02X}", 0x18DA0000 + id, counter));
        benchmark::DoNotOptimize(table.apply(frame));
        id = (id + 37) % 1000;
        ++counter;
    }
}
BENCHMARK(FrameIntoAThousandRows)->Unit(benchmark::kMicrosecond);

// One refresh tick: the scroll range and the rows in view drawn, scrolled midway.
void TickOverAThousandRows(benchmark::State& state) {
    const veq::CANFrameTable table = thousandRows();
    veq::FrameTable view([&table]() -> const veq::CANFrameTable::Rows& { return table.rows(); },
                         [] { return QColor(0x00, 0xE5, 0xFF); });
    view.resize(900, 520);
    view.refresh();
    QImage frame(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.refresh();
        view.render(&frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.counters["rowsInView"] = static_cast<double>(view.idsInView().size());
}
BENCHMARK(TickOverAThousandRows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return veq::bench::runWidgetBenchmarks(argc, argv); }
