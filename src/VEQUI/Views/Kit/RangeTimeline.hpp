#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;

namespace veq {

// A span of time picked between two handles on a strip: the trips screen's trim of a drive and
// the capture's range to save. Times are seconds on the owner's axis, from `lower()` to `upper()`;
// the owner says how a time reads (a clock duration, a time of day). Under the strip: the start,
// the end and the length between them.
//
// The mouse drags a handle, or a click into the strip moves the nearer one there. From the
// keyboard, left and right move the focused handle by 1 s (with Shift by 10 s), Home and End to
// the ends of the axis; Tab goes from the start handle to the end handle. The start never
// passes the end; both stay within the axis. A handle stops only on a whole second of the axis
// or at one of its ends, however it is moved, so that what the texts read is what it holds.
class RangeTimeline : public QWidget {
public:
    enum class Handle { start, end };

    explicit RangeTimeline(QWidget* parent = nullptr);

    double lower() const { return lower_; }
    double upper() const { return upper_; }
    double start() const { return start_; }
    double end() const { return end_; }
    bool isWhole() const { return start_ <= lower_ && end_ >= upper_; }
    bool isEmpty() const { return end_ <= start_; }

    // A new axis. The handles keep their times, held within it; an end handle that sat at the old
    // upper end follows it to the new one (a drive still being recorded, "now" moving on).
    void setAxis(double lower, double upper);
    // Puts both handles, held within the axis and in order (the start first).
    void setRange(double start, double end);
    void selectWhole() { setRange(lower_, upper_); }

    // How a time on the axis reads under the strip; the length always reads as a clock duration.
    // A handle at an end of the axis that is not a whole second reads as the second it falls in,
    // as a clock and a duration tile read it (304.97 s reads 5:04); the length reads as the end
    // less the start as they read, so the three agree.
    void setTimeText(std::function<QString(double)> text);

    // A trend drawn across the strip, left to right over the whole axis; empty draws none.
    void setBackdrop(std::vector<double> values);
    // The colour of the handles, the range's edges and the trend: the screen's accent, amber at
    // night.
    void setAccent(const QColor& accent);
    // While the owner reads what the strip shows: a mark in place of the trend, handles still live.
    void setBusy(bool busy);
    bool isBusy() const { return busy_; }

    // The handle the keyboard moves.
    Handle focusedHandle() const { return focused_; }
    void setFocusedHandle(Handle handle);

    QLabel& startLabel() const { return *startLabel_; }
    QLabel& endLabel() const { return *endLabel_; }
    QLabel& lengthLabel() const { return *lengthLabel_; }
    QWidget& strip() const;

    // Runs on every change of either handle, by the user or by the owner.
    std::function<void(double start, double end)> onChange;

    QSize sizeHint() const override;

private:
    class Strip;
    friend class Strip;
    class Texts;

    // The stop nearest to a time: a whole second within the axis, or one of its ends.
    double stopAt(double time) const;
    // Puts the handles on their nearest stops; false when neither moved.
    bool place(double start, double end);
    void moveHandle(Handle handle, double to);
    void refreshTexts();

    Strip* strip_;
    QLabel* startLabel_;
    QLabel* endLabel_;
    QLabel* lengthLabel_;
    std::function<QString(double)> timeText_;
    double lower_ = 0;
    double upper_ = 0;
    double start_ = 0;
    double end_ = 0;
    bool busy_ = false;
    Handle focused_ = Handle::start;
};

} // namespace veq
