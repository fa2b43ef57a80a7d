#pragma once

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

class QLabel;

namespace veq {

class AppModel;
class ProminentButton;
class RangeTimeline;

// The capture's card "Plage à enregistrer": a start and an end, as times of day, within what the
// recorder holds (from its oldest event to now), and the button that saves that range through the
// model's save panel as a marked stretch is saved. The range is the whole held span at first; an
// end left at now follows now, one moved back stays where the user put it. The handles stop on
// whole seconds of the clock, or at now. A save that is refused or fails is told in a message.
class CaptureRangeCard : public QWidget {
public:
    using Date = std::chrono::system_clock::time_point;
    using Clock = std::function<Date()>;

    explicit CaptureRangeCard(AppModel& model, QWidget* parent = nullptr);

    RangeTimeline& timeline() const { return *timeline_; }
    ProminentButton& saveButton() const { return *saveButton_; }
    QLabel& note() const { return *note_; }

    // What "now" is; the system clock by default.
    void setClock(Clock clock);
    // Reads the held span, the marking phase and the clock again.
    void refresh();
    // The chosen range as dates; nothing while the recorder holds no event.
    std::optional<std::pair<Date, Date>> range() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The strip's seconds count from the whole second of the clock the recorder started in, so
    // that its whole seconds are the clock's.
    Date axisOrigin() const;
    double secondsAt(Date date) const;
    Date dateAt(double seconds) const;
    void refreshButton();
    void saveRange();

    AppModel& model_;
    RangeTimeline* timeline_;
    ProminentButton* saveButton_;
    QLabel* note_;
    Clock clock_;
    // Now moves on between the recorder's refreshes too, when no value arrives.
    QTimer tick_;
    // The origin of the recorder whose span the strip shows, and whether it held an event: a new
    // recorder, or a first event, starts again from the whole span.
    std::optional<Date> origin_;
    bool held_ = false;
};

} // namespace veq
