#pragma once

#include <QColor>
#include <QString>

#include <string>

class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace veq {

class AppModel;
class HeaderBar;

// Pieces shared by the screens that open with a header bar over a list.
namespace ListScreen {

// Starts the screen's column: no margins or spacing, the header, then the line under it. The
// header's contents clear the show-sidebar button while the model's sidebar is hidden.
void openColumn(QVBoxLayout& column, HeaderBar* header, AppModel& model);

// The centred state shown while the list is empty: a symbol in `tint` over one line of text.
QWidget* makeEmptyState(std::string symbol, int symbolSize, const QColor& tint, const QString& text);

// A borderless scroll view of `content`, scrolling down only, through which the screen's own
// background shows.
QScrollArea* makeScroll(const QString& name, QWidget* content);

} // namespace ListScreen

} // namespace veq
