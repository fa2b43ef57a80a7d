#pragma once

#include <QString>

class QVBoxLayout;

namespace veq {

class RoundedPanel;

// The cards of the recording screens: a rounded surface holding a column that opens with the
// card's title.
RoundedPanel* makeRecordingCard(const QString& title, const QString& objectName, QVBoxLayout*& column);

// Ends a screen's column with a scrolling stack of cards, through which the screen's background
// shows; returns the stack's layout for the cards.
QVBoxLayout* addScrollingCards(QVBoxLayout& column, const QString& scrollName);

} // namespace veq
