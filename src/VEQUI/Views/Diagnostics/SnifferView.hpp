#pragma once

#include "VEQUI/Views/Kit/Dot.hpp"

#include <QTimer>
#include <QWidget>

class QLabel;
class QStackedLayout;

namespace veq {

class AppModel;
class FrameTable;
class ToolButton;

// The bus monitor, shown as the terminal's second mode. The monitor runs exactly while the
// screen is shown: showing it starts the model's monitor (polling pauses), hiding or removing it
// stops it. Lists every identifier heard with its latest bytes, records frames on request and
// exports the recording as an ASC trace; all the work is the model's.
class SnifferView : public QWidget {
public:
    // Changes of the rows and of the recording are shown at most once per tick.
    static constexpr int refreshInterval = 16; // ms
    static constexpr const char* suggestedTraceName = "oskavelcar-trace.asc";

    explicit SnifferView(AppModel& model, QWidget* parent = nullptr);
    ~SnifferView() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Follows the table's scroll bar coming and going.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    // Ends the column titles where the rows end: short of the scroll bar while it shows.
    void alignColumnHeader();
    void refreshBanner();
    void scheduleRefresh();
    void exportTrace();

    AppModel& model_;
    DotView* statusDot_;
    QLabel* statusText_;
    ToolButton* recordButton_;
    ToolButton* exportButton_;
    QLabel* idCount_;
    QWidget* columnHeader_;
    QStackedLayout* content_;
    FrameTable* table_;
    QTimer refreshTimer_;
    bool running_ = false; // started by this screen and not yet stopped
};

} // namespace veq
