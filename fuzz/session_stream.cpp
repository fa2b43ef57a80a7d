#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/Session/MonitorStream.hpp"
#include "VEQTransport/OBDTransport.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// The session's cutting of the adapter's byte stream: replies at the prompt, then bus monitor
// lines, from whatever bytes an adapter sends, in chunks of any size. Each command sent is
// answered with the next piece of the input and a prompt; what is left after the monitor starts
// is bus traffic.
namespace {

using namespace std::chrono_literals;

class FuzzedAdapter final : public veq::OBDTransport {
public:
    explicit FuzzedAdapter(FuzzedDataProvider& input) : input_(input) {}

    void connect(std::stop_token) override { std::lock_guard lock(mutex_); connected_ = true; }
    void disconnect() override { std::lock_guard lock(mutex_); connected_ = false; }
    veq::TransportState state() const override {
        std::lock_guard lock(mutex_);
        return connected_ ? veq::TransportState::connected() : veq::TransportState::disconnected();
    }
    // Only the caller's thread sends, so the input is read on one thread.
    void send(std::span<const std::uint8_t> data, std::stop_token) override {
        for (const std::uint8_t byte : data) {
            // Ended by a prompt, so that a silent adapter's time-out does not eat the fuzzing
            // time; prompts inside the piece cut it into several replies.
            if (byte == '\r') pushChunks(input_.ConsumeRandomLengthString(96) + ">");
        }
    }
    void pushChunks(const std::string& bytes) {
        std::size_t at = 0;
        while (at < bytes.size()) {
            const std::size_t length = 1 + (bytes[at] & 0x0F); // chunks of 1 to 16 bytes
            const std::string chunk = bytes.substr(at, length);
            incoming()->push(veq::IncomingStream::Chunk(chunk.begin(), chunk.end()));
            at += chunk.size();
        }
    }

private:
    FuzzedDataProvider& input_;
    mutable std::mutex mutex_;
    bool connected_ = false;
};

// A monitor line is one non-empty line of bus traffic, never a prompt. (A line feed of an
// adapter with line feeds on still rides along inside a line.)
void checkLine(const std::string& line) {
    if (line.empty() || line.find_first_of(">\r") != std::string::npos) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    auto adapter = std::make_shared<FuzzedAdapter>(input);
    veq::ELM327Session session(adapter, {.responseTimeout = 2ms, .monitorStopPause = 1ms, .progressLimit = 4ms});
    session.connect();
    const char* commands[] = {"ATI", "0100", "22F190", "ATDPN"};
    const int count = input.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < count; ++i) {
        try {
            const auto response = session.raw(commands[i]);
            for (const auto& ecu : response.ecus) {
                if (ecu.payload.empty() && !ecu.cutShort()) __builtin_trap();
            }
        } catch (const std::exception&) {
        }
    }
    std::shared_ptr<veq::MonitorStream> stream;
    try {
        stream = session.startMonitoring();
    } catch (const std::exception&) {
        return 0;
    }
    adapter->pushChunks(input.ConsumeRemainingBytesAsString());
    for (int i = 0; i < 512; ++i) {
        const auto line = stream->pop(1ms, {});
        if (!line) break;
        checkLine(*line);
    }
    session.stopMonitoring();
    while (const auto line = stream->pop(0ms, {})) checkLine(*line);
    return 0;
}
