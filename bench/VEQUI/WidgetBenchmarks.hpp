#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>

namespace veq::bench {

// Runs the benchmarks of a program that draws widgets, as the application draws them: on the
// offscreen platform unless another is asked for, and in the application's font, so that the
// figures do not depend on the desktop. `prepare` runs once the application exists.
template <typename Prepare>
int runWidgetBenchmarks(int argc, char** argv, Prepare prepare) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans")));
    prepare();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

inline int runWidgetBenchmarks(int argc, char** argv) {
    return runWidgetBenchmarks(argc, argv, [] {});
}

} // namespace veq::bench
