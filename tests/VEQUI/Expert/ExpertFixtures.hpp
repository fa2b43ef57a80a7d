#pragma once

#include "VEQUI/Model/ConnectionFixtures.hpp"
#include "VEQUI/Views/ScreenFixtures.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Expert/ExpertControls.hpp"
#include "VEQUI/Views/Expert/ExpertView.hpp"

#include <QApplication>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
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

// Runs the event loop (deleting replaced parts) until `done` holds.
inline bool settleUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    return waitUntil(
        [&] {
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return done();
        },
        timeout);
}

// The section's area beside the sidebar, in the window as it opens and at its minimum: the sizes
// users see the expert screens at.
inline const QSize expertScreenSize = userSizes[0].content;
inline const QSize expertMinimumScreenSize = userSizes[1].content;
inline const QSize userScreenSizes[] = {expertScreenSize, expertMinimumScreenSize};

// A picture's name with the size it was taken at: "expert-recipes-1069x800".
inline QString sized(const QString& name, QSize size) {
    return QStringLiteral("%1-%2x%3").arg(name).arg(size.width()).arg(size.height());
}

struct ExpertRig {
    ConnectionRig rig;
    RevealRecorder reveals;
    std::unique_ptr<ExpertView> view;

    explicit ExpertRig(ConnectionRigOptions options = {}) : rig(options) {}

    AppModel& model() { return *rig.model; }
    RecordingDialogs& dialogs() { return *rig.dialogs; }

    // Connected, the coding engine set up and every recipe judged.
    bool connect() {
        return rig.connect() &&
               waitUntil([&] { return model().feasibilities().size() == model().recipes().size(); });
    }
    // Connected, past the gate (its acceptance audited), the screen shown.
    bool open() {
        if (!connect()) return false;
        model().acceptExpertMode();
        view = std::make_unique<ExpertView>(model(), reveals.action());
        present(*view, expertScreenSize);
        return settleUntil([&] { return !model().auditEntries().empty(); });
    }
    const CodingRecipe& recipe(const std::string& id) {
        for (const CodingRecipe& recipe : model().recipes()) {
            if (recipe.id == id) return recipe;
        }
        throw std::runtime_error("no recipe " + id);
    }
    // Backs up the recipe's ECU and waits for the backup to be listed.
    bool backUp(const std::string& id) {
        model().backupECU(recipe(id));
        return settleUntil([&] { return !model().backupProgress() && !model().backupList().empty(); }, std::chrono::seconds(30));
    }
};

inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace veq::testing
