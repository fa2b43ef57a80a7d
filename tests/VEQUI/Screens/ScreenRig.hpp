#pragma once

#include "VEQUI/Model/ConnectionFixtures.hpp"
#include "VEQUI/Views/Shell/LiveInterface.hpp"
#include "VEQUI/Views/Shell/MainWindow.hpp"
#include "VEQUI/Views/Shell/RootView.hpp"
#include "VEQUI/Views/Connection/StepRow.hpp"

#include <QAbstractButton>
#include <QDir>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The window of the application over a model on a temporary folder, its dialogs recorded, and
// what the screen tests do with it: find, click, press keys, wait, take pictures.
namespace veq::testing {

using namespace std::chrono_literals;

// The scripted adapter's gate, shared with the model's tests.
using Gate = ScriptGate;

// Opens the gate as it goes; declared after the rig, it goes before the window (and its connection).
struct GateOpener {
    Gate& gate;
    ~GateOpener() { gate.open(); }
};

// A bus that never answers a request and, in monitor mode, prints `frames`.
inline ScriptedCar::Script silentBus(std::string frames = {}) {
    return [frames](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "ATMA") return frames.empty() ? silence() : std::vector<std::string>{frames};
        if (line.starts_with("AT")) return std::nullopt;
        return says("NO DATA");
    };
}

// An adapter held at the fifth set-up step ("ATH1") until `gate` opens.
inline ScriptedCar::Script heldAtTheFifthStep(Gate& gate) {
    return [&gate](const std::string& line) -> std::optional<std::vector<std::string>> {
        if (line == "ATH1") gate.wait();
        return std::nullopt;
    };
}

// The first four set-up steps shown taken, the fifth under way.
inline bool fourStepsTaken(const AppModel& model) {
    const auto& steps = model.initSteps();
    return steps.size() == 7 && steps[3].succeeded;
}

struct ScreenRigOptions {
    ScriptedCar* car = nullptr; // none: the built-in simulated car
    bool animations = false;
};

class ScreenRig {
public:
    TemporaryFolder folder;
    std::shared_ptr<RecordingDialogs> dialogs = std::make_shared<RecordingDialogs>();
    std::unique_ptr<MainWindow> window;

    explicit ScreenRig(ScreenRigOptions options = {}) {
        window = std::make_unique<MainWindow>(testEnvironment(folder.path(), dialogs, options.car));
        root().setAnimationsEnabled(options.animations);
        window->show();
        window->activateWindow();
        activated_ = QTest::qWaitForWindowActive(window.get());
    }

    ~ScreenRig() {
        if (window) window->close();
        window.reset();
    }

    bool isActive() const { return activated_; }
    RootView& root() const { return window->rootView(); }
    AppModel& model() const { return root().model(); }

    // The visible widget of that name (a replaced screen may linger until its deletion).
    template <typename T = QWidget>
    T* find(const QString& name) const {
        for (T* widget : window->findChildren<T*>(name)) {
            if (widget->isVisibleTo(window.get())) return widget;
        }
        return nullptr;
    }

    // Every visible widget of that name, in creation order.
    template <typename T = QWidget>
    QList<T*> findAll(const QString& name) const {
        QList<T*> found;
        for (T* widget : window->findChildren<T*>(name)) {
            if (widget->isVisibleTo(window.get())) found << widget;
        }
        return found;
    }

    bool click(const QString& name) const {
        auto* button = find<QAbstractButton>(name);
        if (!button) return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
        QTest::keyClick(window.get(), key, modifiers);
    }

    // Presses "Se connecter" and waits for the end of the sequence: true when live.
    bool connect(std::chrono::milliseconds timeout = 30s) const {
        if (!click(QStringLiteral("connectButton"))) return false;
        return waitUntil([this] { return settled(); }, timeout) && model().phase() == AppModel::Phase::live();
    }
    bool settled() const {
        const auto kind = model().phase().kind;
        return kind == AppModel::Phase::Kind::live || kind == AppModel::Phase::Kind::failed;
    }

    // Waits for replaced screens to go and for every animation to end.
    bool settle() const {
        QCoreApplication::processEvents();
        return waitUntil([this] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (auto* live = root().liveInterface(); live && live->isAnimating()) return false;
            for (auto* widget : window->findChildren<QWidget*>(QStringLiteral("stepMarker"))) {
                const auto* marker = dynamic_cast<const StepMarker*>(widget);
                if (marker && marker->isAnimating()) return false;
            }
            return true;
        });
    }

    // Marks a stretch with the marking control shown (a start, a few records, an end) and saves it
    // to `file`: true once the model holds it as the last saved log.
    bool saveMarkedStretch(const std::filesystem::path& file) const {
        dialogs->saveAnswers.push_back(file);
        if (!click(QStringLiteral("logButton"))) return false;
        const std::size_t records = model().store().recordedSampleCount();
        if (!waitUntil([&] { return model().store().recordedSampleCount() > records + 2; })) return false;
        if (!click(QStringLiteral("stopLogButton")) || !click(QStringLiteral("saveLogButton"))) return false;
        return waitUntil([&] { return model().lastSavedLog() && model().lastSavedLog()->url == file; });
    }

    // Writes the window as it stands to build/<flavour>/screens/shell-<name>.png.
    bool snapshot(const QString& name) const {
        settle();
        return window->grab().save(QStringLiteral(VEQ_SCREENS_DIR "/shell-") + name + QStringLiteral(".png"));
    }

private:
    bool activated_ = false;
};

// Turns the mouse wheel a notch towards the user (down the page) over `widget`, as the window
// system delivers it: what the widget leaves goes on to the widgets under it.
inline void wheelDown(QWidget& widget) {
    const QPointF centre = QRectF(widget.rect()).center();
    QWheelEvent wheel(centre, widget.mapToGlobal(centre), QPoint(), QPoint(0, -QWheelEvent::DefaultDeltasPerStep),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::instance()->notify(&widget, &wheel);
}

} // namespace veq::testing
