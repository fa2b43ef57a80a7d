#pragma once

#include <QString>

class QPushButton;

namespace veq {

// A small framed button of the selected drive's panel: its export formats and its timeline's actions.
QPushButton* makePanelButton(const QString& title, const QString& objectName);

} // namespace veq
