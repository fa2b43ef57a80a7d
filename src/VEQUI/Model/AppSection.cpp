#include "VEQUI/Model/AppSection.hpp"

#include <algorithm>

namespace veq {

namespace {

struct SectionRow {
    AppSection section;
    std::string_view icon;
};

// clang-format off
constexpr std::array<SectionRow, 11> sectionRows{{
    {AppSection::cockpit,     "gauge.open.with.lines.needle.33percent"},
    {AppSection::liveData,    "waveform.path.ecg"},
    {AppSection::capture,     "record.circle"},
    {AppSection::messages,    "bell.badge.fill"},
    {AppSection::diagnostic,  "exclamationmark.triangle"},
    {AppSection::ecus,        "point.3.connected.trianglepath.dotted"},
    {AppSection::trips,       "map"},
    {AppSection::terminal,    "terminal"},
    {AppSection::expert,      "wrench.and.screwdriver.fill"},
    {AppSection::report,      "doc.text"},
    {AppSection::settings,    "gearshape"},
}};
// clang-format on

} // namespace

std::string_view icon(AppSection section) {
    return std::find_if(sectionRows.begin(), sectionRows.end(),
                        [section](const SectionRow& r) { return r.section == section; })
        ->icon;
}

} // namespace veq
