#pragma once

#include "TestSupport/ExternalTool.hpp"

#include <string>

// Outside programs that read our exports back (ffprobe, Python readers, gpsbabel, tidy,
// Chromium). scripts/install-deps installs them all, so a missing one is a failure, not a skip.
namespace veq::testing {

inline bool toolExists(const std::string& program) {
    return runTool("command -v " + shellQuoted(program) + " >/dev/null 2>&1").exitStatus == 0;
}

// One of the Python readers of tests/VEQStore/data, run by the system's Python (where the
// Debian python3-* modules are installed) with the arguments (already quoted).
inline ToolResult runPythonReader(const std::string& script, const std::string& arguments) {
    const std::string python = toolExists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    return runTool(python + " " + shellQuoted(std::string(VEQ_TEST_DATA_DIR) + "/" + script) + " " + arguments);
}

} // namespace veq::testing

// Fails the test at once, naming the program, when it is not installed.
#define VEQ_REQUIRE_TOOL(program)                                                                  \
    ASSERT_TRUE(::veq::testing::toolExists(program))                                               \
        << (program) << " is missing: scripts/install-deps installs it"
