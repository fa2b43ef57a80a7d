#include "VEQUI/Views/Shell/SectionScreens.hpp"

#include "VEQUI/Views/Kit/CentredColumn.hpp"
#include "VEQUI/Views/Instruments/CockpitView.hpp"
#include "VEQUI/Views/Diagnostics/DiagnosticView.hpp"
#include "VEQUI/Views/Diagnostics/ECUMapView.hpp"
#include "VEQUI/Views/Expert/ExpertView.hpp"
#include "VEQUI/Views/Instruments/GaugeFocusView.hpp"
#include "VEQUI/Views/Instruments/LiveDataView.hpp"
#include "VEQUI/Views/Instruments/MessagesView.hpp"
#include "VEQUI/Views/Shell/SettingsView.hpp"
#include "VEQUI/Views/Diagnostics/TerminalView.hpp"

namespace veq::SectionScreens {

namespace {

QWidget* cockpit(AppModel& model, bool animated) {
    auto* screen = new CockpitView(model);
    screen->setAnimated(animated);
    return screen;
}
// The other screens have no animation the switch governs.
QWidget* liveData(AppModel& model, bool) { return new LiveDataView(model); }
QWidget* messages(AppModel& model, bool) { return new MessagesView(model); }
QWidget* diagnostic(AppModel& model, bool) { return new DiagnosticView(model); }
QWidget* ecuMap(AppModel& model, bool) { return new ECUMapView(model); }
QWidget* terminal(AppModel& model, bool) { return new TerminalView(model); }
QWidget* expert(AppModel& model, bool) { return new ExpertView(model); }
QWidget* settings(AppModel& model, bool) { return new SettingsView(model); }

QWidget* emptyScreen(const QString& name) {
    auto* screen = new ScreenWidget;
    screen->setObjectName(name);
    return screen;
}

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

const std::array<Entry, 11>& table() {
    static const std::array<Entry, 11> entries{{
        // section                inSidebar  screen
        {AppSection::cockpit,     true,      cockpit},
        {AppSection::liveData,    true,      liveData},
        {AppSection::capture,     false,     nullptr},
        {AppSection::messages,    true,      messages},
        {AppSection::diagnostic,  true,      diagnostic},
        {AppSection::ecus,        true,      ecuMap},
        {AppSection::trips,       false,     nullptr},
        {AppSection::terminal,    true,      terminal},
        {AppSection::expert,      true,      expert},
        {AppSection::report,      false,     nullptr},
        {AppSection::settings,    true,      settings},
    }};
    return entries;
}

std::vector<AppSection> sidebarSections() {
    std::vector<AppSection> sections;
    for (const auto& entry : table()) {
        if (entry.inSidebar) sections.push_back(entry.section);
    }
    return sections;
}

QWidget* make(AppSection section, AppModel& model, bool animated) {
    for (const auto& entry : table()) {
        if (entry.section == section && entry.make) return entry.make(model, animated);
    }
    return emptyScreen(QStringLiteral("emptySection.") + qs(rawValue(section)));
}

QWidget* makeFocusGauge(AppModel& model, bool animated) {
    auto* screen = new GaugeFocusView(model);
    screen->setAnimated(animated);
    return screen;
}

} // namespace veq::SectionScreens
