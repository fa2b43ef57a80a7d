#include "VEQSupport/FileReading.hpp"
#include "VEQSupport/Resources.hpp"
#include "VEQUI/Views/Gauges/GPUGaugeProbe.hpp"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <fstream>
#include <string>

namespace veq {
namespace {

namespace fs = std::filesystem;

struct BundleLayout {
    const char* name;
    bool shaderFile;
    // Applied to the real shader text before it is written.
    std::string (*edit)(std::string);
    // Whether the process is told to accept Mesa's software rasteriser, as the OpenGL tests are.
    bool acceptSoftware;
    bool probe;
};

std::string unchanged(std::string text) { return text; }
std::string withoutFragment(std::string text) { return text.substr(0, text.find("//! section gauge_fragment")); }
std::string brokenFragment(std::string text) { return text + "\nthis is not GLSL;\n"; }

// A fresh process whose interface bundle is the one laid out here: a copy of the probe program
// with a bundle folder beside it, where a program looks first.
std::string probeWith(const BundleLayout& layout, const std::string& shaders) {
    const fs::path dir = fs::path(VEQ_PROBE_WORK_DIR) / layout.name;
    fs::remove_all(dir);
    fs::create_directories(dir / "OskavelCar_VEQUI.bundle");
    const fs::path tool = dir / fs::path(VEQ_GPU_PROBE_TOOL).filename();
    std::error_code linkError;
    fs::create_hard_link(VEQ_GPU_PROBE_TOOL, tool, linkError);
    if (linkError) fs::copy_file(VEQ_GPU_PROBE_TOOL, tool);
    if (layout.shaderFile) {
        std::ofstream(dir / "OskavelCar_VEQUI.bundle" / "GaugeShaders.glsl", std::ios::binary) << layout.edit(shaders);
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const QString accept = QString::fromLatin1(kAcceptSoftwareOpenGLVariable);
    if (layout.acceptSoftware) {
        environment.insert(accept, QStringLiteral("1"));
    } else {
        environment.remove(accept);
    }
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(tool.string()), {});
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        return "timed out";
    }
    return process.readAllStandardOutput().trimmed().toStdString();
}

TEST(GPUProbeProcess, EachBundleFaultAndTheSoftwareRasteriserMakeTheProbeFalseInItsOwnProcess) {
    const auto shaderPath = resources::bundleResource("VEQUI", "GaugeShaders", "glsl");
    ASSERT_TRUE(shaderPath.has_value());
    const std::string shaders = readWholeFile(*shaderPath, 1 << 20);
    static const BundleLayout layouts[] = {
        {"intact", true, unchanged, true, true}, // the copy itself works: the faults below are what fails
        {"no-shader-file", false, unchanged, true, false},
        {"no-fragment-section", true, withoutFragment, true, false},
        {"fragment-does-not-compile", true, brokenFragment, true, false},
        // Xvfb's OpenGL is Mesa's llvmpipe: a user's process there draws vector dials.
        {"software-rasteriser", true, unchanged, false, false},
    };
    for (const auto& layout : layouts) {
        EXPECT_EQ(probeWith(layout, shaders), layout.probe ? "true" : "false") << layout.name;
    }
}

} // namespace
} // namespace veq
