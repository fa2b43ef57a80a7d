#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <sys/wait.h>

namespace veq::testing {

// What an outside program printed on standard output, and how it ended.
struct ToolResult {
    int exitStatus = -1; // -1 when the program could not be started or did not exit normally
    std::string output;
};

// A word for /bin/sh, single-quoted so that no character in it is interpreted.
inline std::string shellQuoted(std::string_view word) {
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

// Runs a shell command line (arguments already quoted) and collects its standard output; its
// standard error goes to the test's, where a failing check shows it.
inline ToolResult runTool(const std::string& commandLine) {
    ToolResult result;
    FILE* pipe = ::popen(commandLine.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (status != -1 && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

} // namespace veq::testing
