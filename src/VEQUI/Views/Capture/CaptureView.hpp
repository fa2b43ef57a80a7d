#pragma once

#include "VEQUI/Views/Recording/FactView.hpp"

#include <QWidget>

#include <array>

class QLabel;

namespace veq {

class AppModel;
class CaptureChannelList;
class CaptureRangeCard;
class EventLogControl;
class HeaderBar;
class ProminentButton;
class RoundedPanel;

// The section "Capture": the event recorder of the connection. Its counts and marks, the same
// marking control as the cockpit's, a range of the held events to save, the last saved log with its HTML report, and one row per
// recorded channel with a switch that keeps it in, or leaves it out of, the next saved log. The
// recorder's summaries are refreshed every second while the screen shows.
class CaptureView : public QWidget {
public:
    explicit CaptureView(AppModel& model, QWidget* parent = nullptr);
    ~CaptureView() override;

    // The marking control fades between its forms unless switched off.
    void setAnimated(bool animated);

    CaptureChannelList& channels() const { return *channels_; }
    EventLogControl& logControl() const { return *logControl_; }
    CaptureRangeCard& rangeCard() const { return *range_; }
    // Whether the HTML report of the last saved log is being written.
    bool exportingReport() const { return exporting_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refreshStatus();
    void refreshChannels();
    void refreshSavedLog();
    void exportReport();

    AppModel& model_;
    HeaderBar* header_;
    // Events, channels, dropped, start mark, end mark.
    std::array<FactView*, 5> status_{};
    EventLogControl* logControl_;
    RoundedPanel* savedCard_;
    // File, records, channels, events, duration.
    std::array<FactView*, 5> saved_{};
    ProminentButton* reportButton_;
    QLabel* reportNote_;
    QLabel* noEvents_;
    CaptureRangeCard* range_;
    CaptureChannelList* channels_;
    bool refreshing_ = false;
    bool exporting_ = false;
};

} // namespace veq
