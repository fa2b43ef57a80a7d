#pragma once

#include "VEQUI/Model/ConnectionFixtures.hpp"
#include "VEQUI/Views/ScreenFixtures.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/ExpertControls.hpp"

#include <QApplication>

#include <filesystem>
#include <string>
#include <vector>

// The expert screens over a model: connected to the simulated car (or a scripted adapter), with
// the dialogs and the file manager answered by the test.
namespace veq::testing {

// Lets layouts, paints and the deletion of replaced parts happen.
inline void settleAll() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Records what the screens asked the file manager to show.
struct RevealRecorder {
    std::vector<std::filesystem::path> shown;
    RevealAction action() {
        return [this](const std::filesystem::path& item) { shown.push_back(item); };
    }
};

struct ExpertRig {
    ConnectionRig rig;
    RevealRecorder reveals;

    explicit ExpertRig(ConnectionRigOptions options = {}) : rig(options) {}

    AppModel& model() { return *rig.model; }
    RecordingDialogs& dialogs() { return *rig.dialogs; }

    // Connected, the coding engine set up and every recipe judged.
    bool connect() {
        return rig.connect() &&
               waitUntil([&] { return model().feasibilities().size() == model().recipes().size(); });
    }
};

// Runs the event loop (deleting replaced parts) until `done` holds.
inline bool settleUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    return waitUntil(
        [&] {
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return done();
        },
        timeout);
}

} // namespace veq::testing
