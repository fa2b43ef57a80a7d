// The command terminal: what the user types goes to the adapter as typed, one exchange per line,
// and the transcript receives each command, its reply lines, the adapter's error word or the
// failure. Exchanges run one after the other on one worker thread, in the order they were sent,
// each holding the session of its moment; the transcript outlives connections.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQEngine/Session/TerminalLine.hpp"
#include "VEQSupport/Text.hpp"

#include <QMetaObject>

#include <array>

namespace veq {

namespace {

using Entry = AppModel::TerminalEntry;

constexpr std::string_view notConnected = "Non connecté à un véhicule.";
constexpr std::string_view noReply = "(pas de réponse)";

// Line breaks, the Unicode ones included (NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR).
constexpr std::array<std::string_view, 7> lineBreaks{"\r", "\n", "\v", "\f", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"};

// The length of the line break at the start of `s`; 0 when there is none.
std::size_t breakAt(std::string_view s) {
    for (std::string_view b : lineBreaks) {
        if (s.starts_with(b)) return b.size();
    }
    return 0;
}

std::size_t breakBefore(std::string_view s) {
    for (std::string_view b : lineBreaks) {
        if (s.ends_with(b)) return b.size();
    }
    return 0;
}

// Without white space or line breaks at either end.
std::string_view trimmed(std::string_view s) {
    while (true) {
        const std::size_t before = s.size();
        s = text::trimHorizontal(s);
        while (const std::size_t n = breakAt(s)) s.remove_prefix(n);
        while (const std::size_t n = breakBefore(s)) s.remove_suffix(n);
        if (s.size() == before) return s;
    }
}

// The commands of a text: each line trimmed, the empty ones dropped. Each goes to the adapter on
// its own, as a line break would otherwise end a command midway and desynchronise the replies.
std::vector<std::string> commandsOf(std::string_view text) {
    std::vector<std::string> commands;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size();) {
        const std::size_t n = i < text.size() ? breakAt(text.substr(i)) : 1;
        if (n == 0) {
            ++i;
            continue;
        }
        if (const std::string_view line = trimmed(text.substr(start, i - start)); !line.empty()) {
            commands.emplace_back(line);
        }
        i += n;
        start = i;
    }
    return commands;
}

std::vector<Entry> replyEntries(const ELM327Response& response) {
    std::vector<Entry> entries;
    if (response.error) entries.push_back({UUID::random(), Entry::Kind::error, std::string(description(*response.error))});
    for (const std::string& line : response.lines) entries.push_back({UUID::random(), Entry::Kind::response, line});
    if (!response.error && response.lines.empty()) entries.push_back({UUID::random(), Entry::Kind::info, std::string(noReply)});
    return entries;
}

} // namespace

// The terminal's requests keep the header it typed, whatever the polling sends between them.
struct AppModel::TerminalOverSession {
    const std::shared_ptr<ELM327Session> session;
    TerminalLine line;

    explicit TerminalOverSession(std::shared_ptr<ELM327Session> s) : session(std::move(s)), line(*session) {}
};

void AppModel::sendTerminalCommand(std::string_view text) {
    const std::vector<std::string> commands = commandsOf(text);
    if (commands.empty()) return;
    if (!session_ || phase_.kind != Phase::Kind::live) {
        appendTerminalEntries({{UUID::random(), Entry::Kind::error, std::string(notConnected)}}, false);
        return;
    }
    if (!terminalQueue_) {
        terminalQueue_ = std::make_shared<CommandQueue>();
        workers_.start([queue = terminalQueue_](std::stop_token stop) { queue->run(std::move(stop)); });
    }
    if (!terminal_ || terminal_->session != session_) terminal_ = std::make_shared<TerminalOverSession>(session_);
    for (const std::string& command : commands) {
        appendTerminalEntries({{UUID::random(), Entry::Kind::command, command}}, false);
        terminalQueue_->enqueue([this, terminal = terminal_, command](std::stop_token stop) {
            std::vector<Entry> entries;
            try {
                entries = replyEntries(terminal->line.send(command, stop));
            } catch (const std::exception& error) {
                entries.push_back({UUID::random(), Entry::Kind::error, std::string("Erreur : ") + error.what()});
            }
            QMetaObject::invokeMethod(
                this, [this, entries] { appendTerminalEntries(entries, true); }, Qt::QueuedConnection);
        });
    }
}

void AppModel::clearTerminal() { setTerminalLog({}); }

void AppModel::appendTerminalEntries(std::vector<TerminalEntry> entries, bool cut) {
    std::vector<TerminalEntry> log = terminalLog_;
    log.insert(log.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
    if (cut && log.size() > terminalLogLimit) log.erase(log.begin(), log.end() - static_cast<std::ptrdiff_t>(terminalLogLimit));
    setTerminalLog(std::move(log));
}

} // namespace veq
