#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// "--self-check": whether the installation is complete, printed on standard output.
namespace veq::SelfCheck {

inline constexpr std::string_view kSwitch = "--self-check";

// True when one argument (the program path included) is exactly the switch.
bool requested(const std::vector<std::string>& arguments);

// What the check looks at.
struct Inputs {
    bool gpuGauge = false;
    std::size_t recipes = 0;
    std::size_t profiles = 0;
    std::size_t catalogueEntries = 0;
    std::size_t describedCodes = 0;

    bool operator==(const Inputs&) const = default;
};

struct Result {
    std::string label;
    bool ok = false;
    std::string detail;

    bool operator==(const Result&) const = default;
};

// The five rows, in order: GPU gauge shader, coding recipes, vehicle profiles, parameter
// catalogue, trouble-code base.
std::vector<Result> results(const Inputs& inputs);

// The heading, an empty line, one line per row, an empty line and the verdict.
std::string report(const std::vector<Result>& results);

bool anyFailed(const std::vector<Result>& results);

// Reads the GPU probe (a QGuiApplication must exist) and the packaged catalogues.
Inputs gather();

// Prints the report of gather() to `out`; true when at least one row failed.
bool run(std::ostream& out);

} // namespace veq::SelfCheck
