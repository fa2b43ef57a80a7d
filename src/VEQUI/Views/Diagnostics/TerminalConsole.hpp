#pragma once

#include "VEQSupport/UUID.hpp"

#include <QColor>
#include <QString>
#include <QTextEdit>

#include <vector>

class QPropertyAnimation;

namespace veq {

class AppModel;

// The terminal's transcript: one selectable, wrapping line per entry of the model's log, its
// prefix and colour after the entry's kind. Follows the log as it grows, is cut at the front or
// cleared, and scrolls to its end whenever the number of entries changes (not when first built).
class TerminalConsole : public QTextEdit {
public:
    // A line as shown.
    struct Line {
        QString prefix;
        QString text;
        QColor colour;
        bool operator==(const Line&) const = default;
    };

    explicit TerminalConsole(AppModel& model, QWidget* parent = nullptr);

    std::vector<Line> lines() const;
    // Draws the lines anew, as after a change of accent.
    void rebuild();

private:
    void follow();
    void append(std::size_t from);
    void scrollToEnd();

    AppModel& model_;
    std::vector<UUID> shown_; // the entries shown, in order
    QPropertyAnimation* scroll_;
};

} // namespace veq
