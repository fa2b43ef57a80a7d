#pragma once

#include "ModelFixtures.hpp"

#include "VEQEngine/Session/ScriptedTransport.hpp"
#include "VEQTransport/ELM327Emulator.hpp"
#include "VEQTransport/VehicleSimulation.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/RecordingDialogs.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <QGeoPositionInfoSource>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A model that connects: to the built-in simulated car, or to a scripted adapter through the
// transport factory; with recorded dialogs and, when asked, a position source the test drives.
namespace veq::testing {

// A scripted adapter in front of the simulated car: the script answers the lines it knows, the
// car's emulator every other. Each connection gets a new transport; the car and what it was
// sent are shared by all of them.
class ScriptedCar {
public:
    // The chunks the adapter prints for `line` (see says() and silence()), or nothing to let the
    // car answer. Runs on the connection's thread and may block.
    using Script = std::function<std::optional<std::vector<std::string>>(const std::string& line)>;

    explicit ScriptedCar(Script script = {}) : script_(std::move(script)) {}

    TransportFactory factory() {
        return [this](const TransportRequest&) {
            auto transport = std::make_shared<ScriptedTransport>([this](const std::string& line) { return answer(line); });
            std::lock_guard lock(mutex_);
            transport->failSendsContaining(failOn_);
            emulator_ = ELM327Emulator{};
            emulator_.vin = vin_;
            transport_ = transport;
            return std::shared_ptr<OBDTransport>(transport);
        };
    }

    // The VIN the car gives (mode 09 and identifier F190), from the next connection on; empty:
    // none at all.
    void setVIN(std::string vin) {
        std::lock_guard lock(mutex_);
        vin_ = std::move(vin);
    }

    // The moment of the drive the car answers at, from now on.
    void holdMoment(double seconds) {
        std::lock_guard lock(mutex_);
        moment_ = seconds;
    }

    // The gear the car reports engaged (0 neutral, -1 reverse) from now on; none: the drive's own.
    void holdGear(std::optional<int> gear) {
        std::lock_guard lock(mutex_);
        gear_ = gear;
    }

    // Sends holding `marker` throw a transport error, from the next connection on.
    void failSendsContaining(std::optional<std::string> marker) {
        std::lock_guard lock(mutex_);
        failOn_ = std::move(marker);
    }

    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::size_t count(const std::string& line) const {
        const auto all = lines();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), line));
    }
    bool sent(const std::string& line) const { return count(line) > 0; }
    std::shared_ptr<ScriptedTransport> transport() const {
        std::lock_guard lock(mutex_);
        return transport_;
    }
    // What the car's own adapter prints for `line`, without recording it.
    std::vector<std::string> carAnswer(const std::string& line) {
        std::lock_guard lock(mutex_);
        VehicleState state = simulation_.state(moment_);
        if (gear_) state.gear = *gear_;
        const auto bytes = emulator_.respond(line, state);
        return {std::string(bytes.begin(), bytes.end())};
    }

private:
    std::vector<std::string> answer(const std::string& line) {
        Script script;
        {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
            script = script_;
        }
        if (script) {
            if (auto chunks = script(line)) return *chunks;
        }
        return carAnswer(line);
    }

    mutable std::mutex mutex_;
    Script script_;
    ELM327Emulator emulator_;
    VehicleSimulation simulation_;
    std::vector<std::string> lines_;
    std::optional<std::string> failOn_;
    double moment_ = 30.0;
    std::optional<int> gear_;
    std::string vin_ = ELM327Emulator{}.vin;
    std::shared_ptr<ScriptedTransport> transport_;
};

// A position source the test feeds.
class FakePositionSource final : public QGeoPositionInfoSource {
public:
    FakePositionSource() : QGeoPositionInfoSource(nullptr) {}

    void deliver(const QGeoPositionInfo& info) { Q_EMIT positionUpdated(info); }

    QGeoPositionInfo lastKnownPosition(bool = false) const override { return {}; }
    PositioningMethods supportedPositioningMethods() const override { return AllPositioningMethods; }
    int minimumUpdateInterval() const override { return 0; }
    Error error() const override { return NoError; }
    void startUpdates() override {}
    void stopUpdates() override {}
    void requestUpdate(int) override {}
};

struct ConnectionRigOptions {
    ScriptedCar* car = nullptr; // none: the built-in simulated car
    bool positionSource = false; // none: no source at all
    TransportFactory factory{};  // overrides `car`
    std::chrono::milliseconds responseTimeout = std::chrono::seconds(2);
    std::chrono::milliseconds monitorStartPause = std::chrono::milliseconds(160);
    std::chrono::milliseconds valueSilence = std::chrono::seconds(20);
    std::chrono::milliseconds adapterSilence = std::chrono::seconds(30);
};

// The model's surroundings in a test: files in `folder`, no position source, dialogs recorded,
// the simulated car or `car`'s scripted adapter, and short pauses (what is tested is their
// order, never their length).
inline AppModel::Environment testEnvironment(const std::filesystem::path& folder, std::shared_ptr<Dialogs> dialogs,
                                             ScriptedCar* car = nullptr) {
    AppModel::Environment environment;
    environment.dataFolder = folder;
    environment.locationSource = [] { return nullptr; };
    if (car) environment.transportFactory = car->factory();
    environment.dialogs = std::move(dialogs);
    environment.connectionTiming.initStepPause = std::chrono::milliseconds(1);
    environment.connectionTiming.probePause = std::chrono::milliseconds(1);
    environment.connectionTiming.busListening = std::chrono::milliseconds(300);
    environment.connectionTiming.session.responseTimeout = std::chrono::seconds(2);
    return environment;
}

struct ConnectionRig {
    TemporaryFolder folder;
    std::shared_ptr<RecordingDialogs> dialogs = std::make_shared<RecordingDialogs>();
    FakePositionSource* source = nullptr; // owned by the model's provider
    std::unique_ptr<AppModel> model;

    explicit ConnectionRig(ConnectionRigOptions options = {}) {
        AppModel::Environment environment = testEnvironment(folder.path(), dialogs, options.car);
        if (options.positionSource) {
            environment.locationSource = [this]() -> QGeoPositionInfoSource* { return source = new FakePositionSource(); };
        }
        if (options.factory) environment.transportFactory = options.factory;
        environment.connectionTiming.session.responseTimeout = options.responseTimeout;
        environment.connectionTiming.monitorStartPause = options.monitorStartPause;
        environment.connectionTiming.valueSilence = options.valueSilence;
        environment.connectionTiming.adapterSilence = options.adapterSilence;
        model = std::make_unique<AppModel>(std::move(environment));
    }

    AppModel& operator*() const { return *model; }
    AppModel* operator->() const { return model.get(); }

    std::filesystem::path sessionsFolder() const { return model->sessionCatalog().sessionsDirectory(); }

    // Connects and waits for the end of the sequence: true when the phase is live.
    bool connect(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        model->connect();
        return waitUntil([&] { return settled(); }, timeout) && model->phase() == AppModel::Phase::live();
    }
    bool settled() const {
        const auto kind = model->phase().kind;
        return kind == AppModel::Phase::Kind::live || kind == AppModel::Phase::Kind::failed;
    }
};

// A gate a scripted adapter waits at (at most 20 s) until the test opens it; `reached` tells
// the test it is there.
class ScriptGate {
public:
    void wait() {
        std::unique_lock lock(mutex_);
        reached_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(20), [&] { return open_; });
    }
    bool reached() {
        std::lock_guard lock(mutex_);
        return reached_;
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool open_ = false;
};

// A whole reply: the lines, the blank line and the prompt.
inline std::optional<std::vector<std::string>> says(std::string_view lines) { return std::vector<std::string>{reply(lines)}; }
// Nothing printed at all (an adapter in monitor mode on a silent bus).
inline std::optional<std::vector<std::string>> silence() { return std::vector<std::string>{}; }

} // namespace veq::testing

// Access to what the model keeps private, for checks that have no other window on it.
namespace veq {
struct AppModelConnectionAccess {
    static bool hasCodingEngine(const AppModel& m) { return m.codingEngine_ != nullptr; }
    static std::shared_ptr<EventRecorder> recorder(const AppModel& m) { return m.recorder_; }
    static std::optional<SessionRecord> currentSession(const AppModel& m) { return m.currentSession_; }
    // The session's waits that ran out with no reply (ELM327Session::fruitlessWaits()).
    static std::uint64_t fruitlessWaits(const AppModel& m) { return m.session_ ? m.session_->fruitlessWaits() : 0; }
};
} // namespace veq
