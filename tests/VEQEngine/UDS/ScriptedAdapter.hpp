#pragma once

#include "VEQEngine/Session/ScriptedTransport.hpp"

#include <map>

namespace veq::testing {

// What the fake adapter remembers of the AT commands it was sent.
struct AdapterState {
    std::string header = "7DF"; // last ATSH
    bool headerSet = false;     // an ATSH came: the adapter no longer uses its own default
    std::string protocol;       // last ATSP
};

// A session on a scripted adapter. The script sees each command line and the adapter state after
// it and returns the reply chunks, or nothing for the default: the banner to "ATI", a voltage to
// "ATRV", "OK" to other AT commands, else "NO DATA".
class ScriptedAdapter {
public:
    using Script = std::function<std::optional<std::vector<std::string>>(const std::string&, const AdapterState&)>;

    explicit ScriptedAdapter(Script script, ELM327Session::Timing timing = {})
        : transport_(std::make_shared<ScriptedTransport>()), script_(std::move(script)) {
        transport_->setResponder([this](const std::string& line) { return answer(line); });
        session_ = std::make_unique<ELM327Session>(transport_, timing);
        session_->connect();
    }

    // What the adapter prints for a line no script answers.
    static std::vector<std::string> defaultAnswer(const std::string& line) {
        if (line == "ATI") return {reply("ELM327 v1.5")};
        if (line == "ATRV") return {reply("12.6V")};
        return {reply(line.starts_with("AT") ? "OK" : "NO DATA")};
    }

    ScriptedTransport& transport() { return *transport_; }
    ELM327Session& session() { return *session_; }
    std::vector<std::string> lines() const { return transport_->lines(); }
    std::vector<std::string> linesFrom(std::size_t from) const {
        const auto all = lines();
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
    }

private:
    std::vector<std::string> answer(const std::string& line) {
        AdapterState state;
        {
            std::lock_guard lock(mutex_);
            if (line.starts_with("ATSH")) {
                state_.header = line.substr(4);
                state_.headerSet = true;
            }
            if (line.starts_with("ATSP")) state_.protocol = line.substr(4);
            state = state_;
        }
        if (script_)
            if (auto chunks = script_(line, state)) return *chunks;
        return defaultAnswer(line);
    }

    std::shared_ptr<ScriptedTransport> transport_;
    Script script_;
    mutable std::mutex mutex_;
    AdapterState state_;
    std::unique_ptr<ELM327Session> session_; // last: closed before the script it calls goes
};

// A script answering each listed request line with one reply; others as by default.
inline ScriptedAdapter::Script answering(std::map<std::string, std::string> answers) {
    return [answers = std::move(answers)](const std::string& line, const AdapterState&) -> std::optional<std::vector<std::string>> {
        const auto it = answers.find(line);
        if (it == answers.end()) return std::nullopt;
        return std::vector<std::string>{reply(it->second)};
    };
}

// The vehicle requests among the lines sent, adapter commands left out; one sent again right after
// itself, with no probe between, is marked with a trailing "!".
inline std::vector<std::string> requestsIn(const std::vector<std::string>& lines) {
    std::vector<std::string> requests;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (!lines[k].starts_with("AT")) requests.push_back(lines[k] + (k > 0 && lines[k - 1] == lines[k] ? "!" : ""));
    }
    return requests;
}

// Each ask of a listed line takes the next answer of its list; once the list is used up, the line
// is answered by `others`, else by default. An answer "" is lost: nothing comes at all; "late:X"
// comes with the next line's reply, before it.
using Asks = std::map<std::string, std::vector<std::string>>;
inline ScriptedAdapter::Script askByAsk(Asks asks, ScriptedAdapter::Script others = {}) {
    // The command lock serialises the script.
    return [asks = std::move(asks), others = std::move(others), late = std::vector<std::string>{}](
               const std::string& line, const AdapterState& state) mutable -> std::optional<std::vector<std::string>> {
        std::vector<std::string> chunks = std::exchange(late, {});
        const auto listed = asks.find(line);
        if (listed != asks.end() && !listed->second.empty()) {
            const std::string answer = listed->second.front();
            listed->second.erase(listed->second.begin());
            if (answer.starts_with("late:")) {
                chunks.push_back(reply(answer.substr(5)));
                late = std::exchange(chunks, {});
            } else if (!answer.empty()) {
                chunks.push_back(reply(answer));
            }
            return chunks;
        }
        const auto own = others ? others(line, state) : std::nullopt;
        for (const std::string& chunk : own ? *own : ScriptedAdapter::defaultAnswer(line)) chunks.push_back(chunk);
        return chunks;
    };
}

} // namespace veq::testing
