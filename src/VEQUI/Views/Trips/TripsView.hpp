#pragma once

#include "VEQUI/Views/Recording/DriveExport.hpp"

#include "VEQStore/Catalog/SessionRecord.hpp"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

class QLabel;
class QScrollArea;

namespace veq {

class AppModel;
class CurrentTripTiles;
class DrivePanel;
class HeaderBar;
class RoundedPanel;
class SessionList;
struct SessionRow;

// The section "Trajets": while connected, the figures of the drive under way ("Trajet interrompu"
// once the link is lost, its figures and replay still there); then every drive of the catalogue,
// newest first, and for the selected one its figures, its trim timeline, its export (whole or the
// excerpt) in every format and its deletion. Listing reads no drive file, it only looks whether
// each is there; selecting a drive reads its file once, off the GUI thread.
class TripsView : public QWidget {
public:
    explicit TripsView(AppModel& model, QWidget* parent = nullptr);

    SessionList& sessions() const { return *list_; }
    DrivePanel& panel() const { return *panel_; }
    CurrentTripTiles& tripTiles() const { return *tiles_; }

    // Exports the selected drive, or the excerpt between the timeline's handles (the panel's
    // buttons call it).
    void exportSelected(DriveExport::Format format);
    // Asks, then deletes the selected drive (the panel's button calls it).
    void deleteSelected();
    // Runs when the card of the drive under way asks to replay it on the gauges.
    std::function<void()> onReplay;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refreshDrives();
    void refreshCurrentTrip();
    void showSelected();
    void showExportsOf(const SessionRow& row);
    // Reads the selected drive's file for its timeline: `again` when it is the drive shown, read anew.
    void openSelected(bool again);
    struct ReadRequest {
        std::filesystem::path file;
        std::optional<std::uint8_t> channel;
        bool live = false;
        bool again = false;
        std::uint64_t generation = 0;
        // An ended drive's length as the catalogue has it, which its tile shows.
        std::optional<double> recordedLength;
    };
    void startRead(const ReadRequest& request);
    void exportFinished(const SessionRecord& record, const std::optional<std::filesystem::path>& written);

    AppModel& model_;
    HeaderBar* header_;
    RoundedPanel* currentCard_;
    QLabel* currentTitle_;
    CurrentTripTiles* tiles_;
    SessionList* list_;
    QWidget* noDrives_;
    RoundedPanel* panelCard_;
    DrivePanel* panel_;
    QScrollArea* panelScroll_;
    // The drive the timeline shows (or is reading) and whether it was being recorded then.
    std::optional<SessionRecord> opened_;
    bool openedLive_ = false;
    std::uint64_t readGeneration_ = 0;
    // One read at a time: a drive selected while another is read waits for it, and only the
    // latest selection waits (going down the list key by key would read every drive at once).
    bool reading_ = false;
    std::optional<ReadRequest> waitingRead_;
    // The file the last export of a drive from this screen wrote.
    std::optional<std::pair<SessionRecord, QString>> exported_;
};

} // namespace veq
