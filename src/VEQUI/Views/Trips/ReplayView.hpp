#pragma once

#include "VEQUI/Views/Kit/FrameTicker.hpp"

#include <QWidget>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

class QGridLayout;
class QLabel;
class QSlider;

namespace veq {

class AppModel;
class CircularGaugeView;
class HeaderBar;
class PlainButton;
class SegmentedPicker;

// The drive under way played back on circular gauges from the store's snapshots: a time bar to
// scrub, step and play at 1x, 4x or 16x, and up to eight dials showing the snapshot in force at
// the replay time. Its frames, playing or settling needles, come from one display tick, which
// stops once the replay is paused and every needle has settled.
class ReplayView : public QWidget {
public:
    static constexpr std::array<int, 3> rates{1, 4, 16};
    // What playing measures the real time on.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit ReplayView(AppModel& model, QWidget* parent = nullptr);

    // Runs when "‹ Trajets" is pressed.
    std::function<void()> onBack;

    // The replay time, in seconds from the first measurement.
    double time() const { return time_; }
    // `replayStart` of the store: where the slider begins, the first snapshot held.
    double start() const;
    // `replayDuration` of the store: where the slider ends.
    double duration() const;
    // Moves the replay time, kept within start() ... duration().
    void seek(double seconds);
    bool playing() const { return playing_; }
    // Playing from the end starts over from start().
    void setPlaying(bool playing);
    // The speed of play: rates[index].
    int rate() const { return rates.at(rateIndex_); }
    void setRateIndex(int index);

    // The dials, in their order, and the parameter each shows.
    const std::vector<CircularGaugeView*>& gauges() const { return gauges_; }
    const std::vector<std::uint8_t>& parameters() const { return pids_; }

    // The steady clock unless replaced (tests step their own); an empty one restores it.
    void setClock(Clock now);

    // One frame of the display tick: plays on by the real time since the last tick at the rate,
    // then steps the needles and digits that move (the ticker's work; tests call it to count frames).
    void tick();
    bool ticking() const { return ticker_.running(); }

    // Needles spring and digits roll; off, each change shows at once.
    void setAnimated(bool animated);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void followSnapshots();
    void placeGauges(std::vector<std::uint8_t> pids);
    void showValues();
    void showTime();
    void showPlaying();

    AppModel& model_;
    HeaderBar* header_;
    PlainButton* back_;
    QWidget* empty_;
    QWidget* dials_;
    QGridLayout* grid_;
    QWidget* timeBar_;
    PlainButton* play_;
    QSlider* slider_;
    QLabel* clock_;
    SegmentedPicker* ratePicker_;
    std::vector<CircularGaugeView*> gauges_;
    std::vector<std::uint8_t> pids_;
    Clock now_;
    std::chrono::steady_clock::time_point lastTick_;
    double time_ = 0;
    bool playing_ = false;
    int rateIndex_ = 0;
    bool animated_ = true;
    FrameTicker ticker_{[this] { tick(); }};
};

} // namespace veq
