#include "VEQUI/Views/Shell/SectionScreens.hpp"

#include "VEQUI/Views/Diagnostics/DiagnosticView.hpp"
#include "VEQUI/Views/Diagnostics/ECUMapView.hpp"
#include "VEQUI/Views/Diagnostics/TerminalView.hpp"
#include "VEQUI/Views/Expert/ExpertView.hpp"
#include "VEQUI/Views/Instruments/CockpitView.hpp"
#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"
#include "VEQUI/Views/Instruments/LiveDataView.hpp"
#include "VEQUI/Views/Instruments/MessagesView.hpp"
#include "VEQUI/Views/Capture/CaptureView.hpp"
#include "VEQUI/Views/Report/ReportView.hpp"
#include "VEQUI/Views/Trips/TripsSection.hpp"
#include "VEQUI/Views/Shell/SettingsView.hpp"

#include <algorithm>

namespace veq::SectionScreens {

namespace {

QWidget* cockpit(AppModel& model, bool animated) {
    auto* screen = new CockpitView(model);
    screen->setAnimated(animated);
    return screen;
}
QWidget* capture(AppModel& model, bool animated) {
    auto* screen = new CaptureView(model);
    screen->setAnimated(animated);
    return screen;
}
// The trips list, or the replay of the drive under way in its place.
QWidget* trips(AppModel& model, bool animated) { return new TripsSection(model, animated); }
// The other screens have no animation the switch governs.
QWidget* liveData(AppModel& model, bool) { return new LiveDataView(model); }
QWidget* messages(AppModel& model, bool) { return new MessagesView(model); }
QWidget* diagnostic(AppModel& model, bool) { return new DiagnosticView(model); }
QWidget* ecuMap(AppModel& model, bool) { return new ECUMapView(model); }
QWidget* terminal(AppModel& model, bool) { return new TerminalView(model); }
QWidget* expert(AppModel& model, bool) { return new ExpertView(model); }
QWidget* report(AppModel& model, bool) { return new ReportView(model); }
QWidget* settings(AppModel& model, bool) { return new SettingsView(model); }

} // namespace

// clang-format off
constexpr std::array<Entry, 11> entries{{
    // section                screen
    {AppSection::cockpit,     cockpit},
    {AppSection::liveData,    liveData},
    {AppSection::capture,     capture},
    {AppSection::messages,    messages},
    {AppSection::diagnostic,  diagnostic},
    {AppSection::ecus,        ecuMap},
    {AppSection::trips,       trips},
    {AppSection::terminal,    terminal},
    {AppSection::expert,      expert},
    {AppSection::report,      report},
    {AppSection::settings,    settings},
}};
// clang-format on

// One row per section, in the sidebar's order, so that a section's screen is found by its place.
constexpr bool followsTheSections() {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].section != EnumTraits<AppSection>::allCases[i]) return false;
    }
    return entries.size() == EnumTraits<AppSection>::allCases.size();
}
static_assert(followsTheSections());

std::vector<AppSection> sidebarSections() {
    const auto& all = EnumTraits<AppSection>::allCases;
    return {all.begin(), all.end()};
}

QWidget* make(AppSection section, AppModel& model, bool animated) {
    const auto& all = EnumTraits<AppSection>::allCases;
    const auto index = static_cast<std::size_t>(std::find(all.begin(), all.end(), section) - all.begin());
    return entries.at(index).make(model, animated);
}

QWidget* makeFocusGauge(AppModel& model, bool animated) {
    auto* screen = new GaugeFocusView(model);
    screen->setAnimated(animated);
    return screen;
}

} // namespace veq::SectionScreens
