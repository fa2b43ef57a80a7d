#pragma once

#include <QString>

class QVBoxLayout;

namespace veq {

class RoundedPanel;

// The cards of the recording screens: a rounded surface holding a column that opens with the
// card's title.
RoundedPanel* makeRecordingCard(const QString& title, const QString& objectName, QVBoxLayout*& column);

} // namespace veq
