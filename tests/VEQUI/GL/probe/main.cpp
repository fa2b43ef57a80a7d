#include "VEQUI/Views/Gauges/GPUGaugeProbe.hpp"

#include <QGuiApplication>

#include <cstdio>

// Prints "true" or "false": what the GPU probe answers in a fresh process, with the interface
// bundle found beside this program.
int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::puts(veq::VEQDiagnostics::gpuGaugeAvailable() ? "true" : "false");
    return 0;
}
