#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class QWidget;

// The layout check the layout tour (ScreenLayoutTests) runs over every screen of the window: texts
// that overlap, texts cut without "…", characters the font lacks, buttons out of reach. Each widget is painted on
// its own into a recorder that reads back the text items it draws (see TextRecorder.hpp).
namespace veq::testing {

struct LayoutFault {
    std::string rule;  // the rule broken, in a few words
    std::string text;  // the text (or button) at fault
    std::string where; // which widgets, and what was measured
};

struct LayoutCheckOptions {
    // Buttons, by object name, that must be seen as the screen opens, without scrolling.
    QStringList shownWithoutScrolling;
};

// Checks `root` (a window, or any widget shown) as it stands.
std::vector<LayoutFault> checkLayout(QWidget& root, const LayoutCheckOptions& options = {});

// One line per fault, each naming the screen, the root's size, the rule and the text.
std::string layoutReport(const QString& screen, const QWidget& root, const std::vector<LayoutFault>& faults);

// The rules by name, for tests that look for one.
namespace LayoutRule {
inline constexpr const char* textsOverlap = "texts overlap";
inline constexpr const char* widgetsOverlap = "widgets showing text overlap";
inline constexpr const char* textCut = "text cut without \u2026";
inline constexpr const char* missingGlyph = "character missing from the font";
inline constexpr const char* buttonOutOfReach = "button out of reach";
inline constexpr const char* buttonNeedsScrolling = "button hidden until scrolled to";
} // namespace LayoutRule

} // namespace veq::testing
