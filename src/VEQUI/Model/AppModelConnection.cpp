// The connection: from a new transport to a car that is polled, recorded and catalogued, with the
// French diagnosis of each way it can fail; and the disconnection that takes it all down.
//
// The sequence blocks on the adapter, so it runs on a worker thread against its own session.
// Every property it fills reaches the GUI thread as a queued call, in the order made, so that
// observers see the steps fill one by one. Each call carries the connection's generation: once
// disconnect() or a new connect() has moved it on, the calls of the older sequence are dropped.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQEngine/Session/AdapterSilent.hpp"
#include "VEQEngine/Session/ExchangeCancelled.hpp"
#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQSupport/Error.hpp"
#include "VEQUI/Model/BuiltInTransports.hpp"
#include "VEQUI/Model/ConnectionDiagnosis.hpp"
#include "VEQUI/Model/ConnectionReads.hpp"

#include <QMetaObject>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <type_traits>

namespace veq {

namespace {

// Functional addressing, put back after the initialisation and after the ECU scan.
constexpr std::string_view functionalHeader = "ATSH7DF";
// Probes after the first attempt before the protocols are swept.
constexpr int probeOnlyAttempts = 3;
constexpr std::uint8_t udsStatusMask = 0xFF;
constexpr std::size_t recorderCapacity = 2'000'000;

// The first steps, reset and echo-off: an adapter that completes no reply to either is not there,
// and every later step would only wait out its time-out.
constexpr std::size_t presenceSteps = 2;
// The silent adapter's message names these two commands.
static_assert(InitStep::standardSequence[0].command == "ATZ" && InitStep::standardSequence[1].command == "ATE0");

const OBDCommand vehicleProbe(OBDMode::currentData, std::uint8_t{0x00});

// A probe the car passed: no adapter error and at least one ECU that gives its support bitmap.
// Any other data (a clone's garbled line of hex) is no car answering.
bool vehicleAnswered(const ELM327Response& reply) {
    if (reply.isError()) return false;
    const PIDDefinition* supportBitmap = PIDCatalog::definition(0x00);
    const std::vector<const ECUResponse*> answers = RequestEcho::of(vehicleProbe).answersIn(reply);
    return std::any_of(answers.begin(), answers.end(), [supportBitmap](const ECUResponse* ecu) {
        const auto data = ecu->data(OBDMode::currentData, std::uint8_t{0x00});
        return data && supportBitmap->decode(*data).has_value();
    });
}

// The vehicle probe, asked once more at once when an ECU's answer was broken on the way: such a
// reply says the car is there, not what it answered.
ELM327Response probeVehicle(ELM327Session& session, std::stop_token stop) {
    ELM327Response reply = session.probeVehicle(stop);
    if (RequestEcho::of(vehicleProbe).brokenIn(reply)) reply = session.probeVehicle(stop);
    return reply;
}

// The steps as shown: before the adapter has completed any reply, a silent step proves nothing
// and none is shown as succeeded.
std::vector<InitStep> shownSteps(std::vector<InitStep> steps, bool adapterAnswered) {
    if (!adapterAnswered) {
        for (InitStep& step : steps) step.succeeded = false;
    }
    return steps;
}

// The profiles write identifiers as "0x7E0" at times; the adapter takes "7E0".
std::string withoutHexPrefix(std::string identifier) {
    for (auto at = identifier.find("0x"); at != std::string::npos; at = identifier.find("0x")) identifier.erase(at, 2);
    return identifier;
}

// A pause a stop request cuts short. The sequence goes on after it either way: its next exchange
// with the session then gives up.
void pause(std::chrono::nanoseconds duration, std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait_for(lock, stop, duration, [] { return false; });
}

void throwIfStopped(const std::stop_token& stop) {
    if (stop.stop_requested()) throw ExchangeCancelled();
}

// A setting whose reply does not matter and whose failure changes nothing; an adapter found
// silent meanwhile still ends the connection.
void sendIgnoringFailure(ELM327Session& session, std::string_view command, std::stop_token stop) {
    toleratingFailure([&] { session.setting(command, stop); });
}

// A silent adapter fails the connection with the message of the step it went silent in. The
// watch also catches a silence a step swallowed (each of its later exchanges failed at once).
template <class Step>
void failingOnSilence(const ELM327Session::SilenceWatch& watch, std::string_view message, Step step) {
    try {
        step();
    } catch (const AdapterSilent&) {
        throw Error(std::string(message));
    }
    if (watch.tripped()) throw Error(std::string(message));
}

// The answer a worker waits for from the GUI thread. It is settled when the queued call has run
// or has been dropped unrun (the model went away, the connection moved on).
template <class R>
struct Answer {
    std::mutex mutex;
    std::condition_variable_any settledChanged;
    std::optional<R> value;
    bool settled = false;
};

template <class R>
class AnswerSlot {
public:
    explicit AnswerSlot(std::shared_ptr<Answer<R>> answer) : answer_(std::move(answer)) {}
    AnswerSlot(const AnswerSlot&) = delete;
    AnswerSlot& operator=(const AnswerSlot&) = delete;
    ~AnswerSlot() {
        {
            std::lock_guard lock(answer_->mutex);
            answer_->settled = true;
        }
        answer_->settledChanged.notify_all();
    }
    void set(R value) {
        std::lock_guard lock(answer_->mutex);
        answer_->value = std::move(value);
    }

private:
    std::shared_ptr<Answer<R>> answer_;
};

} // namespace

// The polling engine shares the life of the session it reads and of the sink it feeds: whoever
// holds the engine (the polling thread, a tool pausing it) keeps both alive.
struct AppModel::PollingEngine {
    std::shared_ptr<ELM327Session> session;
    std::shared_ptr<TelemetrySink> sink;
    TelemetryEngine engine;

    PollingEngine(std::shared_ptr<ELM327Session> s, std::shared_ptr<TelemetrySink> k)
        : session(std::move(s)), sink(std::move(k)), engine(*session, *sink) {}
};

class AppModel::Connection {
public:
    Connection(AppModel& model, std::uint64_t generation, std::shared_ptr<ELM327Session> session,
               ConnectionTiming timing)
        : model_(&model), generation_(generation), session_(std::move(session)), timing_(timing) {}

    // The whole sequence; every outcome reaches the model through queued calls.
    void run(std::stop_token stop);

private:
    // Runs `work` on the model later, unless the connection has moved on by then.
    template <class F>
    void post(F work) const {
        AppModel* model = model_;
        const std::uint64_t generation = generation_;
        QMetaObject::invokeMethod(
            model,
            [model, generation, work = std::move(work)]() mutable {
                if (model->isCurrent(generation)) work(*model);
            },
            Qt::QueuedConnection);
    }

    // Runs `work` on the model and waits for its result; nothing when the call was dropped or
    // `stop` was requested.
    template <class F>
    auto ask(F work, std::stop_token stop) const -> std::optional<std::invoke_result_t<F&, AppModel&>> {
        using R = std::invoke_result_t<F&, AppModel&>;
        auto answer = std::make_shared<Answer<R>>();
        auto slot = std::make_shared<AnswerSlot<R>>(answer);
        post([slot, work = std::move(work)](AppModel& model) mutable { slot->set(work(model)); });
        slot.reset(); // the queued call alone holds it now
        std::unique_lock lock(answer->mutex);
        answer->settledChanged.wait(lock, stop, [&] { return answer->settled; });
        return answer->value;
    }

    // Throws when the adapter completes no reply to the reset nor to the echo-off.
    void initialise(std::stop_token stop);
    // True once the car answers a probe; false after the failure has been reported.
    bool reachVehicle(std::stop_token stop);
    bool sweepProtocols(std::stop_token stop);
    void readVehicle(std::stop_token stop);
    void scanECUs(std::stop_token stop);

    AppModel* const model_;
    const std::uint64_t generation_;
    const std::shared_ptr<ELM327Session> session_;
    const ConnectionTiming timing_;
};

void AppModel::Connection::run(std::stop_token stop) {
    try {
        session_->connect(stop);
        // Until live, an adapter that answers nothing for a while ends the connection, instead
        // of every step waiting out its time-outs in turn.
        bool reached = false;
        {
            const ELM327Session::SilenceWatch watch = session_->watchSilence(timing_.adapterSilence);
            const std::string_view identifying = ConnectionDiagnosis::identificationSilenceMessage;
            failingOnSilence(watch, identifying, [&] {
                initialise(stop);
                reached = reachVehicle(stop);
            });
            if (!reached) return;
            failingOnSilence(watch, identifying, [&] { readVehicle(stop); });
            // 29-bit identifiers: the scan's physical 11-bit headers cannot reach the ECUs.
            if (session_->format() != FrameFormat::can29) {
                failingOnSilence(watch, ConnectionDiagnosis::ecuScanSilenceMessage, [&] { scanECUs(stop); });
            }
        }
        post([session = session_](AppModel& model) { model.goLive(session); });
    } catch (...) {
        session_->disconnect();
        if (stop.stop_requested()) return; // ended by disconnect(): nothing is left to report
        post([error = std::current_exception()](AppModel& model) { model.failConnection(error); });
    }
}

void AppModel::Connection::initialise(std::stop_token stop) {
    std::vector<InitStep> steps;
    for (const InitStep::Row& row : InitStep::standardSequence) {
        steps.push_back({std::string(row.command), std::string(row.label), false});
    }
    post([steps](AppModel& model) { model.setInitSteps(steps); });
    bool adapterAnswered = false; // some reply ended with the prompt
    for (std::size_t i = 0; i < steps.size(); ++i) {
        // A setting goes once more when its reply was lost; the reset never does.
        const ELM327Response reply = i == 0 ? session_->raw(steps[i].command, stop) : session_->setting(steps[i].command, stop);
        adapterAnswered = adapterAnswered || reply.promptTerminated;
        // An adapter error (a command the adapter lacks) clears the step's flag and goes on.
        steps[i].succeeded = !reply.isError();
        post([shown = shownSteps(steps, adapterAnswered)](AppModel& model) { model.setInitSteps(shown); });
        if (i + 1 == presenceSteps && !adapterAnswered) {
            throw Error(std::string(ConnectionDiagnosis::silentAdapterMessage));
        }
        pause(timing_.initStepPause, stop);
    }
    sendIgnoringFailure(*session_, functionalHeader, stop);
}

bool AppModel::Connection::reachVehicle(std::stop_token stop) {
    toleratingFailure([&] { session_->probeVehicle(stop); });
    toleratingFailure([&] { session_->detectAndApplyProtocolFormat(stop); });
    if (vehicleAnswered(probeVehicle(*session_, stop))) return true;
    for (int attempt = 0; attempt < probeOnlyAttempts; ++attempt) {
        pause(timing_.probePause, stop);
        if (vehicleAnswered(probeVehicle(*session_, stop))) return true;
    }
    return sweepProtocols(stop);
}

bool AppModel::Connection::sweepProtocols(std::stop_token stop) {
    post([](AppModel& model) { model.setSweepAttempts({}); });
    const auto progress = [this](const ProtocolSweep::Attempt& attempt) {
        post([attempt](AppModel& model) {
            auto attempts = model.sweepAttempts_;
            attempts.push_back(attempt);
            model.setSweepAttempts(std::move(attempts));
        });
    };
    const ProtocolSweep::Outcome outcome = ProtocolSweep::run(*session_, true, progress, stop);
    throwIfStopped(stop);
    post([outcome](AppModel& model) { model.setLastSweep(outcome); });

    if (outcome.succeeded()) {
        const ELM327Response reply = probeVehicle(*session_, stop);
        if (vehicleAnswered(reply)) return true;
        session_->disconnect();
        post([error = reply.error](AppModel& model) {
            model.setDiagnostics(ConnectionDiagnosis::vehicleUnreachableDiagnostics(error));
            model.setPhase(Phase::failed(ConnectionDiagnosis::unreachableMessage(error)));
        });
        return false;
    }

    std::vector<std::string> heard = ProtocolSweep::listen(*session_, timing_.busListening, stop);
    throwIfStopped(stop);
    post([heard](AppModel& model) { model.setBusTraffic(heard); });
    session_->disconnect();
    post([outcome](AppModel& model) {
        model.setDiagnostics(ConnectionDiagnosis::sweepFailureDiagnostics(outcome, model.busTraffic_));
        model.setPhase(Phase::failed(std::string(ConnectionDiagnosis::noProtocolMessage)));
    });
    return false;
}

void AppModel::Connection::readVehicle(std::stop_token stop) {
    const std::set<std::uint8_t> supported = session_->discoverSupportedPIDs(
        stop, [&](const OBDCommand& request) { return ConnectionReads::askAnswered(*session_, request, stop); });
    post([supported](AppModel& model) { model.setSupportedPIDs(supported); });

    const std::optional<std::string> vin = ConnectionReads::readVIN(*session_, stop);
    post([vin](AppModel& model) { model.setVin(vin); });

    const std::optional<FuelType> fuel = ConnectionReads::fetchFuelType(*session_, stop);
    throwIfStopped(stop); // the fuel read swallows every failure, a stop included
    post([fuel](AppModel& model) {
        model.setReadFuelType(fuel);
        model.identifyVehicle();
    });

    const std::optional<std::vector<DTC>> dtcs = ConnectionReads::readDTCs(*session_, stop);
    post([dtcs](AppModel& model) {
        if (dtcs) {
            model.setDtcs(*dtcs);
        } else {
            model.setDtcsUnread();
        }
    });

    const std::optional<MonitorStatus> monitors = ConnectionReads::readMonitors(*session_, fuel, stop);
    post([monitors](AppModel& model) { model.setMonitorStatus(monitors); });
}

void AppModel::Connection::scanECUs(std::stop_token stop) {
    // The profile that identification selected, once the GUI thread has applied it.
    const auto candidates = ask([](AppModel& model) { return model.scanCandidates(); }, stop);
    if (!candidates) throw ExchangeCancelled();

    ECUScanner scanner(*session_);
    const std::vector<DiscoveredECU> ecus = scanner.scan(*candidates, {}, stop);
    throwIfStopped(stop);
    post([ecus](AppModel& model) { model.setEcus(ecus); });

    // An ECU whose own answer came after its read was decided is shown answering again, with
    // what was read of it then.
    const auto showList = [this](const std::vector<DiscoveredECU>& list) {
        post([list](AppModel& model) { model.setEcus(list); });
    };
    // An ECU that answered the scan but not this: its codes stay unread, not none.
    const auto showCodes = [this](const std::string& header, const ECUScanner::Codes& codes) {
        post([header, codes](AppModel& model) {
            auto all = model.udsDTCs_;
            all[header] = codes;
            model.setUdsDTCs(std::move(all));
        });
    };
    scanner.readCodes(udsStatusMask, showList, showCodes, stop);
    throwIfStopped(stop);
    post([](AppModel& model) { model.refineEngineIdentification(); });
    sendIgnoringFailure(*session_, functionalHeader, stop);
}

// --- GUI thread ------------------------------------------------------------------------------

void AppModel::connect() {
    if (phase_.kind == Phase::Kind::connecting || phase_.kind == Phase::Kind::live) return;
    if (recordLocation_) location_->start();

    ++connectionGeneration_;
    connectionStop_ = std::stop_source();
    setPhase(Phase::connecting());
    setDiagnostics({});
    // A connection that does not scan (a 29-bit car) must not show an earlier attempt's ECUs.
    setEcus({});
    setUdsDTCs({});

    std::shared_ptr<OBDTransport> transport;
    try {
        transport = makeTransport();
    } catch (...) {
        failConnection(std::current_exception());
        return;
    }
    transport_ = transport;
    session_ = std::make_shared<ELM327Session>(transport, environment_.connectionTiming.session);
    auto sequence = std::make_shared<Connection>(*this, connectionGeneration_, session_, environment_.connectionTiming);
    workers_.start([sequence](std::stop_token stop) { sequence->run(std::move(stop)); }, connectionStop_);
}

std::shared_ptr<OBDTransport> AppModel::makeTransport() const {
    const TransportRequest request{transportKind_, wifiHost_, wifiPort_};
    std::shared_ptr<OBDTransport> transport =
        environment_.transportFactory ? environment_.transportFactory(request) : makeBuiltInTransport(request);
    if (!transport) throw Error("Aucun transport n'a pu être créé pour cette connexion.");
    return transport;
}

void AppModel::failConnection(const std::exception_ptr& error) {
    const std::string text = ConnectionDiagnosis::errorText(error);
    setDiagnostics(ConnectionDiagnosis::failureDiagnostics(transportKind_, wifiHost_, wifiPort_, text));
    setPhase(Phase::failed(text));
}

std::vector<ECUCandidate> AppModel::scanCandidates() const {
    std::vector<ECUCandidate> candidates;
    if (selectedProfile_) {
        for (const VehicleECU& ecu : selectedProfile_->ecus) {
            candidates.push_back({ecu.name, withoutHexPrefix(ecu.txId), withoutHexPrefix(ecu.rxId)});
        }
    }
    if (candidates.empty()) return ECUScanner::standardCandidates();
    return candidates;
}

void AppModel::goLive(const std::shared_ptr<ELM327Session>& session) {
    std::set<std::uint8_t> polled = supportedPIDs_;
    polled.insert(baselinePIDs.begin(), baselinePIDs.end());

    store_->openIntake(connectionGeneration_);
    auto holder = std::make_shared<PollingEngine>(session, store_->makeSink(connectionGeneration_, connectionStop_.get_token()));
    holder->engine.configure(polled);
    engine_ = std::shared_ptr<TelemetryEngine>(holder, &holder->engine);
    pollingPause_ = std::make_shared<PollingPause>(engine_);

    setupExpert(session);
    if (recordLocation_) location_->start();
    store_->startRecording({polled.begin(), polled.end()}, sessionCatalog_->sessionsDirectory(), recordLocation_);
    startLocationRelay();

    auto recorder = std::make_shared<EventRecorder>(std::chrono::system_clock::now(), recorderCapacity);
    setRecorder(recorder);
    setLogPhase(LogPhase::idle());
    store_->setEventSink([recorder](std::uint8_t channel, float value, Date at) { recorder->record(channel, value, at); });

    if (const auto& url = store_->recordingURL()) {
        currentSession_ = createSessionRecord(*url);
        // The channels are fixed when the file opens; the syncs leave the count as it is set here.
        // The codes were read before: in the record from the start, a crash keeps them.
        SessionCatalog::Update opening;
        opening.channelCount = static_cast<std::int64_t>(store_->recordedChannelCount());
        opening.dtcCount = static_cast<std::int64_t>(dtcs().size());
        saveSession(*currentSession_, opening);
        refreshSessions();
    }

    takeDIDListForConnection();
    setPhase(Phase::live());
    startLinkWatch();
    engineTask_ = workers_.start(
        [this, generation = connectionGeneration_, engine = engine_](std::stop_token stop) {
            try {
                engine->run(std::move(stop));
            } catch (const std::exception&) {
                // The link to the adapter was lost: polling ends, and the drive with it.
                QMetaObject::invokeMethod(
                    this,
                    [this, generation] {
                        if (isCurrent(generation)) endDriveAtLoss();
                    },
                    Qt::QueuedConnection);
            }
        },
        connectionStop_);
}

void AppModel::disconnect() {
    // From here on, whatever the connection being ended still delivers is dropped.
    ++connectionGeneration_;
    store_->drainIntake(); // what was measured before the call still reaches the file and recorder

    syncCurrentSession();
    currentSession_.reset();
    stopLinkWatch();

    stopLocationRelay();
    location_->stop();

    store_->setEventSink({});
    setRecorder(nullptr);
    setLogPhase(LogPhase::idle());

    // Ends the sequence under way, the polling loop and the sink's waits alike.
    connectionStop_.request_stop();
    workers_.start([engine = engine_, session = session_](std::stop_token) {
        if (engine) engine->stop();
        if (session) session->disconnect();
    });
    engine_.reset();
    session_.reset();
    store_->closeIntake();
    store_->reset();

    // The tools' tasks share the session and stop with the connection; a watch is stopped too.
    stopScannerAtDisconnect();
    pollingPause_.reset();
    ++monitorRun_;
    snifferTask_.cancel();
    setSniffing(false);
    setSnifferRecording(false);
    setSnifferRows({});
    setRecordedFrames({});

    setPhase(Phase::disconnected());
    setInitSteps({});
    setSupportedPIDs({});
    setVin(std::nullopt);
    setDtcs({});
    setEcus({});
    setUdsDTCs({});
}

} // namespace veq
