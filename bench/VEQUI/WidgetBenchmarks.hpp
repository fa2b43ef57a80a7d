#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFont>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <chrono>

#include <time.h>

namespace veq::bench {

// The calling thread's processor time, in seconds.
inline double threadCPUSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Processes events until `done` holds; false when `limit` passes first. Waits without spinning,
// so that the GUI thread's processor time is the work of the events alone.
template <typename Done>
bool settle(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    QCoreApplication::processEvents();
    if (done()) return true;
    bool late = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&late] { late = true; });
    watchdog.start(limit);
    while (!done() && !late) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// Counts the paint events a screen and the parts it has when counting starts receive.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& root) {
        root.installEventFilter(this);
        for (QWidget* child : root.findChildren<QWidget*>()) child->installEventFilter(this);
    }
    long long paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The platform the widgets draw on when QT_QPA_PLATFORM names none.
enum class DefaultPlatform {
    offscreen, // the figures do not depend on the desktop
    display,   // the display's own when DISPLAY or WAYLAND_DISPLAY names one, else offscreen
};

// Runs the benchmarks of a program that draws widgets, as the application draws them: on
// `platform` unless QT_QPA_PLATFORM asks for another, and in the application's font, so that the
// figures do not depend on the desktop. `prepare` runs once the application exists.
template <typename Prepare>
int runWidgetBenchmarks(int argc, char** argv, Prepare prepare,
                        DefaultPlatform platform = DefaultPlatform::offscreen) {
    const bool display = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !(platform == DefaultPlatform::display && display)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
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
