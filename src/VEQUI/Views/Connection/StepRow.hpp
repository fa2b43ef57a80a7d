#pragma once

#include "VEQEngine/Session/InitStep.hpp"
#include "VEQUI/Views/Gauges/DampedSpring.hpp"

#include <QTimer>
#include <QWidget>

class QLabel;

namespace veq {

// The marker of one adapter step: an empty ring, and a green dot that springs in once the step
// has succeeded (and out again should it be reset).
class StepMarker : public QWidget {
public:
    explicit StepMarker(bool lit, QWidget* parent = nullptr);

    void setLit(bool lit);
    bool isLit() const { return lit_; }
    // The dot's scale, 0 (absent) to 1 (full size); it overshoots a little while springing.
    double dotScale() const { return spring_.position(); }
    bool isAnimating() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void tick();

    bool lit_;
    DampedSpring spring_;
    QTimer timer_;
};

// One row of the steps card: marker, French label, and the adapter command.
class StepRow : public QWidget {
public:
    explicit StepRow(const InitStep& step, QWidget* parent = nullptr);

    const std::string& command() const { return command_; }
    void setSucceeded(bool succeeded);
    StepMarker* marker() const { return marker_; }

private:
    std::string command_;
    StepMarker* marker_;
    QLabel* label_;
};

} // namespace veq
