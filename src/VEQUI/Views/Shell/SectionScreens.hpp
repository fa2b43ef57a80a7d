#pragma once

#include "VEQUI/Model/AppSection.hpp"

#include <vector>

class QWidget;

namespace veq {

class AppModel;

// Which screen fills the content area for each section: one line of the table each.
namespace SectionScreens {

// `animated` is the shell's animations switch: off, the screen shows every change at once.
using Maker = QWidget* (*)(AppModel& model, bool animated);

struct Entry {
    AppSection section;
    Maker make;
};

// The sections the sidebar lists, in order.
std::vector<AppSection> sidebarSections();

// The screen of a section, given the model and the animations switch.
QWidget* make(AppSection section, AppModel& model, bool animated);

// The full-window focus gauge of focus mode.
QWidget* makeFocusGauge(AppModel& model, bool animated);

} // namespace SectionScreens

} // namespace veq
