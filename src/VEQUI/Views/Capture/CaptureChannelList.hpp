#pragma once

#include "VEQStore/Telemetry/EventRecorder.hpp"

#include <QColor>
#include <QString>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

class QCheckBox;
class QVBoxLayout;

namespace veq {

// A moment of the recorder, `seconds` after its origin: the time of day it stands for, or the
// seconds themselves ("61.3 s") without an origin.
QString recorderMoment(double seconds, std::optional<std::chrono::system_clock::time_point> origin);

// What the capture screen shows of one recorded channel.
struct CaptureChannelLine {
    using Date = std::chrono::system_clock::time_point;

    std::uint8_t channel = 0;
    QString name;
    bool gps = false;
    QString value;       // the last value as the HTML report writes numbers, then the unit
    QString events;      // events held
    QString lastArrival; // the time of day it last arrived; seconds since the start without an origin

    static CaptureChannelLine of(const EventRecorder::ChannelSummary& summary, std::optional<Date> origin);
    bool operator==(const CaptureChannelLine&) const = default;
};

// One channel's row: name (with a GPS mark for the GPS channels), last value, events held, last
// arrival, and the switch that keeps the channel in saved logs or leaves it out.
class CaptureChannelRow : public QWidget {
public:
    CaptureChannelRow(CaptureChannelLine line, const QColor& accent, QWidget* parent = nullptr);

    const CaptureChannelLine& line() const { return line_; }
    void set(CaptureChannelLine line);
    void setAccent(const QColor& accent);
    QCheckBox& keepSwitch() const { return *keep_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CaptureChannelLine line_;
    QCheckBox* keep_;
};

// The column titles over the rows.
class CaptureChannelHeader : public QWidget {
public:
    explicit CaptureChannelHeader(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The rows of every recorded channel, in the recorder's order, kept while only their figures
// change.
class CaptureChannelList : public QWidget {
public:
    using Date = std::chrono::system_clock::time_point;

    explicit CaptureChannelList(QWidget* parent = nullptr);

    // The channels of `summaries`, in order; a switch is off for a channel of `excluded`.
    void show(const std::vector<EventRecorder::ChannelSummary>& summaries, std::optional<Date> origin,
              const std::set<std::uint8_t>& excluded);
    // The switches' tint.
    void setAccent(const QColor& accent);
    // Runs when the user turns a channel's switch: the channel, and whether it is to be kept.
    std::function<void(std::uint8_t channel, bool keep)> onKeepChanged;

    std::vector<std::uint8_t> channels() const;
    CaptureChannelRow* row(std::uint8_t channel) const;

private:
    QVBoxLayout* rows_;
    std::map<std::uint8_t, CaptureChannelRow*> byChannel_;
    std::vector<std::uint8_t> order_;
    QColor accent_;
};

} // namespace veq
