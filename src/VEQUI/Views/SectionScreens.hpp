#pragma once

#include "VEQUI/Model/AppSection.hpp"

#include <array>
#include <vector>

class QWidget;

namespace veq {

class AppModel;

// Which screen fills the content area for each section. A section whose screen is not built yet
// shows an empty content area; giving it one is one line of the table.
namespace SectionScreens {

using Maker = QWidget* (*)(AppModel& model);

struct Entry {
    AppSection section;
    bool inSidebar; // capture, trips and report belong to a part of the system that is not built
    Maker make;     // null: an empty content area
};

const std::array<Entry, 11>& table();

// The sections the sidebar lists, in order.
std::vector<AppSection> sidebarSections();

// The screen of a section, given the model only.
QWidget* make(AppSection section, AppModel& model);

// The full-window focus gauge of focus mode.
QWidget* makeFocusGauge(AppModel& model);

} // namespace SectionScreens

} // namespace veq
