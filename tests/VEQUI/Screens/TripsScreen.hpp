#pragma once

#include "RecordingFixtures.hpp"
#include "ScreenRig.hpp"

#include "VEQSupport/FileReading.hpp"
#include "VEQUI/Views/Kit/RangeTimeline.hpp"
#include "VEQUI/Views/Trips/DrivePanel.hpp"
#include "VEQUI/Views/Trips/DriveTimeline.hpp"
#include "VEQUI/Views/Trips/SessionList.hpp"
#include "VEQUI/Views/Trips/TripsView.hpp"

#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <string>

// The trips screen of a live window, as the trim and export tests drive it.
namespace veq::testing {

struct TripsScreen {
    ScreenRig& rig;

    TripsView& view() const { return *rig.find<TripsView>(QStringLiteral("TripsView")); }
    SessionList& list() const { return view().sessions(); }
    DrivePanel& panel() const { return view().panel(); }
    DriveTimeline& timeline() const { return panel().timeline(); }
    RangeTimeline& range() const { return timeline().range(); }

    bool open() const {
        if (!rig.click(QStringLiteral("sidebarRow.Trajets"))) return false;
        rig.settle();
        return rig.find<TripsView>(QStringLiteral("TripsView")) != nullptr;
    }
    // Selects the drive by clicking its row; false when it is not listed.
    bool select(const SessionRecord& record) const {
        const auto& rows = list().rows();
        const auto it = std::find_if(rows.begin(), rows.end(), [&](const SessionRow& r) { return r.record == record; });
        if (it == rows.end()) return false;
        const auto index = static_cast<std::size_t>(it - rows.begin());
        list().select(index); // brings it into view
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, list().rowRect(index).center());
        return list().selectedIndex() == index;
    }
    // Selects the drive and waits for its timeline to have read it.
    bool open(const SessionRecord& record) const { return select(record) && readIn(); }
    bool readIn() const {
        return waitUntil([&] { return timeline().contents() != nullptr && !range().isBusy(); }, std::chrono::seconds(20));
    }
    const SessionRow* row(const SessionRecord& record) const {
        for (const SessionRow& r : list().rows()) {
            if (r.record == record) return &r;
        }
        return nullptr;
    }
    // What the drive's row shows.
    const SessionRowTexts& texts(const SessionRecord& record) const {
        const auto& rows = list().rows();
        const auto it = std::find_if(rows.begin(), rows.end(), [&](const SessionRow& r) { return r.record == record; });
        return list().textsOf(static_cast<std::size_t>(it - rows.begin()));
    }
    // Exports the selected drive to `file` through the panel's button; true once written and over.
    bool exportTo(DriveExport::Format format, const std::filesystem::path& file) const {
        rig.dialogs->saveAnswers.push_back(file);
        QTest::mouseClick(panel().exportButton(format), Qt::LeftButton);
        return waitUntil([&] { return std::filesystem::exists(file) && !rig.model().isExporting(list().selectedRow()->record); },
                         std::chrono::seconds(20));
    }
    // The name the last save panel suggested.
    const std::string& suggested() const { return rig.dialogs->saveRequests.back().suggestedName; }
};

inline std::string contentsOf(const std::filesystem::path& file) { return readWholeFile(file, 1 << 28); }

inline std::size_t occurrences(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
    return n;
}

} // namespace veq::testing
