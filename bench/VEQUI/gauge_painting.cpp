// Eight vector gauges animating, painted offscreen into one image per frame: the cost of a
// cockpit's instruments when the GPU dial is not available. Target: under 4 ms per frame.
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"

#include "WidgetBenchmarks.hpp"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <array>
#include <memory>
#include <vector>

namespace {

constexpr int gaugeSide = 300;
constexpr int columns = 4;
constexpr int rows = 2;
constexpr std::array<std::uint8_t, 8> pids{0x0C, 0x0D, 0x05, 0x04, 0x0B, 0x42, 0x5C, 0x2F};

void EightVectorGaugesAnimating(benchmark::State& state) {
    QWidget board;
    board.resize(columns * gaugeSide, rows * gaugeSide);
    std::vector<veq::CircularGaugeView*> gauges;
    for (std::size_t i = 0; i < pids.size(); ++i) {
        const auto scale = veq::GaugeScale::defaultFor(pids[i]);
        auto* view = new veq::CircularGaugeView({.value = scale.min, .scale = scale, .title = QStringLiteral("Jauge"),
                                                 .unit = QStringLiteral("u")},
                                                &board);
        view->setGeometry(static_cast<int>(i % columns) * gaugeSide, static_cast<int>(i / columns) * gaugeSide,
                          gaugeSide, gaugeSide);
        gauges.push_back(view);
    }
    QImage frame(board.size(), QImage::Format_ARGB32_Premultiplied);
    long long n = 0;
    for (auto _ : state) {
        // Every 20 frames each needle sets off towards a new value, so the springs never rest.
        if (n % 20 == 0) {
            for (std::size_t i = 0; i < gauges.size(); ++i) {
                auto gauge = gauges[i]->gauge();
                const double t = static_cast<double>((n / 20 + static_cast<long long>(i) * 3) % 10) / 9.0;
                gauge.value = gauge.scale.min + t * (gauge.scale.max - gauge.scale.min);
                gauges[i]->setGauge(gauge);
            }
        }
        for (auto* gauge : gauges) gauge->advanceFrame();
        board.render(&frame, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(frame.constBits());
        ++n;
    }
    state.counters["gauges"] = static_cast<double>(gauges.size());
}
BENCHMARK(EightVectorGaugesAnimating)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return veq::bench::runWidgetBenchmarks(argc, argv); }
