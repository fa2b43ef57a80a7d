// The built program as the user starts it: without a display, and with --self-check offscreen
// and under xvfb-run.
#include "OskavelCarApp/Startup.hpp"

#include "ProcessRun.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <string>
#include <vector>

namespace veq::testing {
namespace {

// The environment of a terminal with no display at all, and its own data folder.
QProcessEnvironment withoutDisplay(const TemporaryFolder& data) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QString::fromUtf8(name));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(data.path().string()));
    return environment;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (start < text.size()) out.push_back(text.substr(start));
    return out;
}

const QString kApplication = QStringLiteral(VEQ_APP_EXECUTABLE);

TEST(Executable, WithoutADisplayItSaysSoInOneLineInsteadOfStarting) {
    TemporaryFolder data;
    const ProcessRun result = run(kApplication, {}, withoutDisplay(data));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, std::string(Startup::kNoDisplayMessage) + "\n");
}

// Rows 2 to 5 depend on the packaged catalogues, which are complete.
void expectCatalogueRowsPass(const std::vector<std::string>& report) {
    ASSERT_EQ(report.size(), 9u);
    EXPECT_EQ(report[0], "Oskavel Car — auto-diagnostic");
    EXPECT_EQ(report[1], "");
    for (std::size_t row = 3; row <= 6; ++row) EXPECT_TRUE(report[row].starts_with("  ✓ ")) << report[row];
    EXPECT_EQ(report[7], "");
}

TEST(Executable, TheSelfCheckWithoutADisplayRunsOffscreenWhereTheOpenGLRowFails) {
    TemporaryFolder data;
    const ProcessRun result = run(kApplication, {QStringLiteral("--self-check")}, withoutDisplay(data));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "");
    const auto report = lines(result.out);
    expectCatalogueRowsPass(report);
    ASSERT_EQ(report.size(), 9u);
    EXPECT_EQ(report[2], "  ✗ Shader OpenGL des jauges — le cadran retomberait sur le rendu vectoriel");
    EXPECT_EQ(report[8], "✗ Paquet incomplet.");
}

// Xvfb's OpenGL is Mesa's software rasteriser: a user's process there has no GPU dial, and only
// the tests' variable makes it accept that renderer.
TEST(Executable, TheSelfCheckUnderXvfbFailsTheOpenGLRowUnlessTheSoftwareRasteriserIsAccepted) {
    const QString xvfb = QStringLiteral(VEQ_XVFB_RUN);
    if (xvfb.isEmpty()) GTEST_SKIP() << "xvfb-run is not installed";
    struct Case { bool acceptSoftware; int exitCode; const char* openGLRow; const char* verdict; };
    static const Case cases[] = {
        {false, 1, "  ✗ Shader OpenGL des jauges — le cadran retomberait sur le rendu vectoriel", "✗ Paquet incomplet."},
        {true, 0, "  ✓ Shader OpenGL des jauges (le cadran retomberait sur le rendu vectoriel)",
         "✓ Toutes les ressources sont présentes."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.acceptSoftware ? "software rasteriser accepted" : "as a user runs it");
        TemporaryFolder data;
        QProcessEnvironment environment = withoutDisplay(data);
        environment.remove(QStringLiteral("VEQ_TEST_ACCEPT_SOFTWARE_OPENGL"));
        if (c.acceptSoftware) environment.insert(QStringLiteral("VEQ_TEST_ACCEPT_SOFTWARE_OPENGL"), QStringLiteral("1"));
        // Mesa's drivers keep allocations for the life of the process; the leak checker would
        // report them on standard error.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        // The X authority file in a folder of the test's own: xvfb-run then makes no temporary
        // folder, whose removal can fail while the machine is busy ("problem while cleaning up").
        const QString authority = QString::fromStdString((data.path() / "Xauthority").string());
        const ProcessRun result = run(xvfb, {QStringLiteral("-a"), QStringLiteral("-f"), authority, QStringLiteral("-s"),
                                             QStringLiteral("-screen 0 1024x768x24"), kApplication,
                                             QStringLiteral("--self-check")},
                                      environment);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
        EXPECT_EQ(result.err, "");
        const auto report = lines(result.out);
        expectCatalogueRowsPass(report);
        ASSERT_EQ(report.size(), 9u);
        EXPECT_EQ(report[2], c.openGLRow);
        EXPECT_EQ(report[8], c.verdict);
    }
}

} // namespace
} // namespace veq::testing
