#include "VEQTransport/BLETransport.hpp"

#include "VEQSupport/UnicodeText.hpp"
#include "VEQTransport/LinkError.hpp"
#include "VEQTransport/TransportTrace.hpp"

#include <algorithm>

namespace veq {

const std::array<std::string_view, 15> BLETransport::adapterNameHints{
    "obd", "elm", "vlink", "v-link", "veepeak", "vgate", "icar", "obdlink",
    "kiwi", "carista", "konnwei", "kw9", "viecar", "obdii", "scan",
};

bool BLETransport::looksLikeAdapter(const std::optional<std::string>& name) {
    if (!name) return false;
    const std::string lower = unicode::lowercased(*name);
    if (lower.empty()) return false;
    return std::any_of(adapterNameHints.begin(), adapterNameHints.end(),
                       [&](std::string_view hint) { return lower.find(hint) != std::string::npos; });
}

BLETransport::BLETransport(std::unique_ptr<BLECentral> central, Options options, std::size_t incomingCapacityBytes)
    : OBDTransport(incomingCapacityBytes), options_(options), central_(std::move(central)) {
    controller_ = std::make_unique<BLEPeripheralController>(
        *central_, [stream = incoming()](IncomingStream::Chunk chunk) { stream->push(std::move(chunk)); },
        [this] { linkLost(); });
    central_->start(*controller_);
}

BLETransport::~BLETransport() {
    // The central's queue stops first: no report can then reach the controller or this object.
    central_.reset();
}

void BLETransport::connect(std::stop_token stop) {
    std::uint64_t attempt = 0;
    {
        std::lock_guard lock(mutex_);
        attempt = ++attempt_;
        state_ = TransportState::connecting();
    }
    // Never post while holding the mutex: the queue's work takes it to report back.
    central_->post([this, attempt] {
        controller_->connect([this, attempt](std::exception_ptr error) { connectFinished(attempt, error); },
                             options_.connectLimit);
    });

    std::unique_lock lock(mutex_);
    // The controller's own limit ends every attempt; the stop token and disconnect end it sooner.
    changed_.wait(lock, stop, [&] { return finishedAttempt_ == attempt || attempt_ != attempt; });
    if (attempt_ != attempt) throw connectCancelled();
    if (finishedAttempt_ != attempt) {
        ++attempt_;
        state_ = TransportState::disconnected();
        lock.unlock();
        central_->post([this] { controller_->disconnect(); });
        throw connectCancelled();
    }
    if (outcome_) std::rethrow_exception(outcome_);
}

void BLETransport::connectFinished(std::uint64_t attempt, std::exception_ptr error) {
    {
        std::lock_guard lock(mutex_);
        if (attempt != attempt_) return;
        finishedAttempt_ = attempt;
        outcome_ = error;
        if (!error) {
            state_ = TransportState::connected();
        } else {
            state_ = TransportState::failed(printedForm(error));
        }
    }
    changed_.notify_all();
}

void BLETransport::linkLost() {
    {
        std::lock_guard lock(mutex_);
        if (!state_.isConnected()) return;
        state_ = TransportState::disconnected();
    }
    veqTrace([] { return std::string("BLE: liaison perdue (l'adaptateur s'est déconnecté)"); });
}

void BLETransport::disconnect() {
    {
        std::lock_guard lock(mutex_);
        ++attempt_;
        state_ = TransportState::disconnected();
    }
    changed_.notify_all();
    central_->post([this] { controller_->disconnect(); });
}

void BLETransport::send(std::span<const std::uint8_t> data, std::stop_token) {
    {
        std::lock_guard lock(mutex_);
        if (!state_.isConnected()) throw TransportError::notConnected();
    }
    central_->post([this, bytes = std::vector<std::uint8_t>(data.begin(), data.end())]() mutable {
        controller_->send(std::move(bytes));
    });
}

TransportState BLETransport::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::vector<std::string> BLETransport::serviceUUIDs() const { return controller_->services(); }

std::vector<BLESighting> BLETransport::sightings() const { return controller_->sightings(); }

} // namespace veq
