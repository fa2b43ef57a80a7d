#pragma once

#include "VEQUI/Views/Recording/DriveExport.hpp"
#include "VEQUI/Views/Trips/DriveReading.hpp"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace veq {

class RangeTimeline;

// The trim of the selected drive: the trend of one of its channels under two handles, the times
// under them, "Tout le trajet" and, for the drive being recorded, "Actualiser". It keeps the drive
// it shows, read by the trips screen, and the exports take the excerpt from it. The handles stop on
// whole seconds of the drive or at its end, which reads as the second it falls in, as the drive's
// duration tile and the excerpt's file name give it.
class DriveTimeline : public QWidget {
public:
    explicit DriveTimeline(int width, QWidget* parent = nullptr);

    // The drive is being read: a busy mark on the strip. Read again, the drive shown stays until
    // the new read arrives; another drive's contents go at once (no export takes them for it).
    void showReading(bool live, bool again);
    // The drive read. A drive read again (refreshed) keeps the handles' times, and an end handle
    // at the old end moves to the new end; another drive starts whole.
    void showDrive(DriveReading::Opened opened, bool live, bool again);
    // No drive to show, and why.
    void showUnavailable(const QString& reason);
    // The trend of the channel picked, computed for the drive shown.
    void setBackdrop(std::uint8_t channel, std::vector<double> backdrop);

    // The drive shown, when it has been read.
    const std::shared_ptr<const TelemetryFile::Contents>& contents() const { return opened_.contents; }
    // The channel whose trend is drawn.
    std::optional<std::uint8_t> channel() const { return opened_.channel; }
    // The excerpt between the handles; none when they hold the whole drive (or nothing is shown).
    std::optional<DriveExport::Excerpt> excerpt() const;

    std::function<void()> onRefresh;
    std::function<void(std::uint8_t channel)> onChannel;

    RangeTimeline& range() const { return *range_; }
    QComboBox& channelPicker() const { return *channels_; }
    QPushButton& wholeButton() const { return *whole_; }
    QPushButton& refreshButton() const { return *refresh_; }
    QLabel& note() const { return *note_; }

private:
    void fillChannels();

    DriveReading::Opened opened_;
    RangeTimeline* range_;
    QComboBox* channels_;
    QPushButton* whole_;
    QPushButton* refresh_;
    QLabel* note_;
};

} // namespace veq
