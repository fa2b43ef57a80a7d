#pragma once

#include "VEQStore/Export/SubtitleExporter.hpp"
#include "VEQUI/Views/Recording/DriveExport.hpp"
#include "VEQUI/Views/Recording/SessionList.hpp"
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
class PlainButton;
class SegmentedPicker;

// The selected drive: its date, vehicle and figures, its export section (one button per format
// and the subtitles' layout) and its deletion.
class DrivePanel : public QWidget {
public:
    static constexpr int width = 300;

    explicit DrivePanel(QWidget* parent = nullptr);

    // The drive shown, and the subtitles' layout the picker shows.
    void show(const SessionRow& row, SubtitleExporter::Layout layout);

    std::function<void(DriveExport::Format)> onExport;
    std::function<void()> onDelete;
    std::function<void(SubtitleExporter::Layout)> onSubtitleLayout;

    QPushButton* exportButton(DriveExport::Format format) const;
    PlainButton& deleteButton() const { return *delete_; }
    SegmentedPicker& subtitlePicker() const { return *subtitles_; }

private:
    QLabel* title_;
    QLabel* vehicle_;
    QWidget* figures_;
    AdaptiveGridLayout* figureGrid_;
    std::vector<FactView*> facts_;
    QLabel* liveNote_;
    SegmentedPicker* subtitles_;
    std::map<DriveExport::Format, QPushButton*> exports_;
    QLabel* exportNote_;
    PlainButton* delete_;
    QLabel* deleteNote_;
};

} // namespace veq
