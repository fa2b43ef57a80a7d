#pragma once

#include "VEQEngine/ELM327Session.hpp"
#include "VEQEngine/ScriptedTransport.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq::testing {

// One adapter reply: the lines, then the blank line and prompt an ELM327 ends with.
inline std::string reply(std::string_view lines) { return std::string(lines) + "\r\r>"; }

// What the fake adapter remembers of the AT commands it was sent.
struct AdapterState {
    std::string header = "7DF"; // last ATSH
    std::string protocol;       // last ATSP
};

// A session connected to a scripted adapter. The script sees each command line and the adapter
// state after it; it returns the reply chunks, or nothing to get the default: "OK" for AT
// commands, "NO DATA" for the others.
class ScriptedAdapter {
public:
    using Script = std::function<std::optional<std::vector<std::string>>(const std::string& line,
                                                                         const AdapterState& state)>;

    explicit ScriptedAdapter(Script script, ELM327Session::Timing timing = {})
        : transport_(std::make_shared<ScriptedTransport>()), script_(std::move(script)) {
        transport_->setResponder([this](const std::string& line) { return answer(line); });
        session_ = std::make_unique<ELM327Session>(transport_, timing);
        session_->connect();
    }

    ScriptedTransport& transport() { return *transport_; }
    ELM327Session& session() { return *session_; }
    std::vector<std::string> lines() const { return transport_->lines(); }
    AdapterState state() const {
        std::lock_guard lock(mutex_);
        return state_;
    }

    // The lines received from index `from` on.
    std::vector<std::string> linesFrom(std::size_t from) const {
        const std::vector<std::string> all = lines();
        return from >= all.size() ? std::vector<std::string>{} : std::vector<std::string>(all.begin() + from, all.end());
    }

private:
    std::vector<std::string> answer(const std::string& line) {
        AdapterState state;
        {
            std::lock_guard lock(mutex_);
            if (line.starts_with("ATSH")) state_.header = line.substr(4);
            if (line.starts_with("ATSP")) state_.protocol = line.substr(4);
            state = state_;
        }
        if (script_) {
            if (std::optional<std::vector<std::string>> chunks = script_(line, state)) return *chunks;
        }
        if (line.starts_with("AT")) return {reply("OK")};
        return {reply("NO DATA")};
    }

    std::shared_ptr<ScriptedTransport> transport_;
    Script script_;
    mutable std::mutex mutex_;
    AdapterState state_;
    std::unique_ptr<ELM327Session> session_; // last: closed before the script it calls goes
};

} // namespace veq::testing
