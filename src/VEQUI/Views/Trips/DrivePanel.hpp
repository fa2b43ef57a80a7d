#pragma once

#include "VEQStore/Export/SubtitleExporter.hpp"
#include "VEQUI/Views/Recording/DriveExport.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"
#include "VEQUI/Views/Recording/FactView.hpp"

#include <QWidget>

#include <functional>
#include <map>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace veq {

class AdaptiveGridLayout;
class DriveTimeline;
class PlainButton;
class SegmentedPicker;

// The selected drive: its date, vehicle and figures, its trim timeline, its export section (one
// button per format and the subtitles' layout) and its deletion.
class DrivePanel : public QWidget {
public:
    static constexpr int width = 300;

    explicit DrivePanel(QWidget* parent = nullptr);

    // The drive shown, whether an export of it runs, the subtitles' layout the picker shows and the
    // name of the file its last export wrote (none: nothing to say).
    void show(const SessionRow& row, bool busy, SubtitleExporter::Layout layout, const QString& exported = {});

    std::function<void(DriveExport::Format)> onExport;
    std::function<void()> onDelete;
    std::function<void(SubtitleExporter::Layout)> onSubtitleLayout;

    QPushButton* exportButton(DriveExport::Format format) const;
    PlainButton& deleteButton() const { return *delete_; }
    SegmentedPicker& subtitlePicker() const { return *subtitles_; }
    DriveTimeline& timeline() const { return *timeline_; }

private:
    QLabel* title_;
    QLabel* vehicle_;
    QWidget* figures_;
    AdaptiveGridLayout* figureGrid_;
    std::vector<FactView*> facts_;
    QLabel* liveNote_;
    DriveTimeline* timeline_;
    SegmentedPicker* subtitles_;
    std::map<DriveExport::Format, QPushButton*> exports_;
    QLabel* exportNote_;
    PlainButton* delete_;
    QLabel* deleteNote_;
};

} // namespace veq
