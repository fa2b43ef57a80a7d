#pragma once

#include "VEQUI/Model/AppModel.hpp"

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>

class QHBoxLayout;
class QVariantAnimation;

namespace veq {

// The control of the event recorder's marks (cockpit and capture), in one of four forms after the model's
// log phase: idle (the "LOG" button and the last save's result), running (a blinking dot, the
// running time and a stop button), ended (the marked time, "Sauver" and a cross to discard) and
// saving (an activity indicator and "Écriture…").
class EventLogControl : public QWidget {
public:
    using Date = std::chrono::system_clock::time_point;
    using Clock = std::function<Date()>;

    explicit EventLogControl(AppModel& model, QWidget* parent = nullptr);

    AppModel::LogPhase::Kind form() const { return form_; }

    // The running form's time, "mm:ss"; empty in the other forms.
    QString runningTime() const;

    // The running time's clock; the system clock by default.
    void setClock(Clock clock);
    // Form changes fade in over 0.15 s by default; off, they show at once.
    void setAnimated(bool animated);

private:
    void rebuild();
    void showRunningTime();
    void clearForm();

    AppModel& model_;
    QHBoxLayout* layout_;
    AppModel::LogPhase::Kind form_ = AppModel::LogPhase::Kind::idle;
    bool built_ = false;
    Clock clock_;
    QTimer runningTimer_;
    QWidget* runningClock_ = nullptr;
    QVariantAnimation* fade_ = nullptr;
    bool animated_ = true;
};

} // namespace veq
