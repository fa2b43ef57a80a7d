#include "VEQEngine/UDS/ProtocolSweep.hpp"

#include "VEQEngine/Session/MonitorAlreadyRunning.hpp"
#include "VEQEngine/Session/MonitorStream.hpp"
#include "VEQProtocol/FrameFormat.hpp"
#include "VEQProtocol/OBDCommand.hpp"
#include "VEQSupport/Text.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <set>

namespace veq {

namespace {

// Reset, echo, linefeeds and spaces off, headers on, 600 ms reply time-out (0x96 x 4 ms),
// adaptive timing 1.
constexpr std::array<std::string_view, 7> preparation{"ATZ", "ATE0", "ATL0", "ATS0", "ATH1", "ATST96", "ATAT1"};

// Physical 29-bit targets tried after the functional, engine and 0x58 headers.
constexpr std::array<std::string_view, 9> extraTargets{"00", "01", "11", "17", "18", "40", "41", "60", "7E"};

constexpr std::uint8_t supportedPIDsRequest = 0x00;

// Every failure of a set-up command is ignored: the query that follows shows what the adapter
// makes of it.
void sendSetUp(ELM327Session& session, const std::string& command, std::stop_token stop) {
    try {
        session.raw(command, stop);
    } catch (const std::exception&) {
    }
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        if (!out.empty()) out += ' ';
        out += line;
    }
    return out;
}

bool allHex(std::string_view token) { return std::all_of(token.begin(), token.end(), text::isHexDigit); }

std::vector<std::string_view> blankSeparated(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

} // namespace

const std::vector<ProtocolSweep::BusProtocol>& ProtocolSweep::protocols() {
    // clang-format off
    static const std::vector<BusProtocol> table{
        {"6", "CAN 11 bits · 500 kbit/s (ISO 15765-4)", true,  false, false},
        {"7", "CAN 29 bits · 500 kbit/s (ISO 15765-4)", true,  true,  false},
        {"8", "CAN 11 bits · 250 kbit/s (ISO 15765-4)", true,  false, false},
        {"9", "CAN 29 bits · 250 kbit/s (ISO 15765-4)", true,  true,  false},
        {"5", "KWP2000 init rapide (ISO 14230-4)",      false, false, false},
        {"4", "KWP2000 init 5 bauds (ISO 14230-4)",     false, false, true },
        {"3", "ISO 9141-2",                             false, false, true },
        {"1", "SAE J1850 PWM",                          false, false, false},
        {"2", "SAE J1850 VPW",                          false, false, false},
        {"A", "SAE J1939 · 250 kbit/s (poids lourds)",  true,  true,  false},
        {"B", "CAN 11 bits · 125 kbit/s (USER1)",       true,  false, false},
        {"C", "CAN 11 bits · 50 kbit/s (USER2)",        true,  false, false},
    };
    // clang-format on
    return table;
}

std::vector<ProtocolSweep::HeaderChoice> ProtocolSweep::headers(const BusProtocol& protocol) {
    if (!protocol.isCAN) return {{std::nullopt, "adressage par défaut"}};
    if (!protocol.is29Bit) {
        // clang-format off
        return {
            {std::nullopt, "fonctionnel 7DF (défaut)"},
            {"7DF",        "fonctionnel 7DF (explicite)"},
            {"7E0",        "physique moteur 7E0"},
            {"7E1",        "physique 7E1"},
            {"7E2",        "physique 7E2"},
        };
        // clang-format on
    }
    // clang-format off
    std::vector<HeaderChoice> choices{
        {"18DB33F1", "fonctionnel 29 bits (18DB33F1)"},
        {"18DA10F1", "physique moteur (18DA10F1)"},
        {"18DA58F1", "physique 0x58 (18DA58F1)"},
    };
    // clang-format on
    for (std::string_view target : extraTargets) {
        choices.push_back({"18DA" + std::string(target) + "F1", "physique 0x" + std::string(target)});
    }
    return choices;
}

ProtocolSweep::Outcome ProtocolSweep::run(ELM327Session& session, bool deep, const Progress& progress,
                                          std::stop_token stop) {
    Outcome outcome;
    for (std::string_view command : preparation) sendSetUp(session, std::string(command), stop);

    bool headersOn = true; // the preparation's ATH1
    for (const BusProtocol& protocol : protocols()) {
        if (!deep && (!protocol.isCAN || protocol.isSlowInit)) continue;
        if (stop.stop_requested()) return outcome;

        sendSetUp(session, "ATSP" + protocol.number, stop);
        if (protocol.isCAN) sendSetUp(session, "ATCAF1", stop);
        if (!protocol.isCAN) {
            // Replies without a CAN identifier: split as 11-bit frames they would be garbled.
            sendSetUp(session, "ATH0", stop);
            headersOn = false;
            session.setFormat(FrameFormat::headersOff);
        } else {
            if (!headersOn) sendSetUp(session, "ATH1", stop);
            headersOn = true;
            session.setFormat(protocol.is29Bit ? FrameFormat::can29 : FrameFormat::can11);
        }

        for (const HeaderChoice& choice : headers(protocol)) {
            if (stop.stop_requested()) return outcome;
            // A header under test goes out with the probe; the default addressing leaves the
            // header in force and resets the receive filter.
            if (!choice.header) sendSetUp(session, "ATCRA", stop);
            const TransmitHeader addressing = choice.header ? TransmitHeader::of(*choice.header) : TransmitHeader::any();

            Attempt attempt{UUID::random(), protocol.number, protocol.name, choice.header, choice.label, false, {}};
            std::set<std::string> responding;
            try {
                const OBDCommand request(supportedPIDsRequest);
                ELM327Response reply = session.query(addressing, request, stop);
                // An answer broken on the way proves nothing either way: asked once more.
                const RequestEcho echo = RequestEcho::of(request);
                if (echo.brokenIn(reply)) reply = session.query(addressing, request, stop);
                attempt.detail = joined(reply.lines);
                for (const ECUResponse* ecu : echo.answersIn(reply)) {
                    if (ecu->data(OBDMode::currentData, supportedPIDsRequest)) attempt.succeeded = true;
                }
                for (const ECUResponse& ecu : reply.ecus) {
                    if (ecu.header) responding.insert(*ecu.header);
                }
            } catch (const std::exception&) {
                // A cancelled query is no attempt: the caller gave up the sweep.
                if (stop.stop_requested()) return outcome;
                attempt.detail = std::string(noAnswerDetail);
            }

            outcome.attempts.push_back(attempt);
            if (progress) progress(attempt);
            if (attempt.succeeded) {
                outcome.workingProtocol = protocol;
                outcome.workingHeader = choice.header;
                outcome.respondingECUs.assign(responding.begin(), responding.end());
                session.setOBDHeader(choice.header);
                return outcome;
            }
        }
    }
    return outcome;
}

bool ProtocolSweep::identifierInRange(std::string_view identifier) {
    // 11 bits reach 7FF, 29 bits 1FFFFFFF: a garbled adapter's hex is no identifier.
    if (identifier.size() == 3) return identifier[0] >= '0' && identifier[0] <= '7';
    if (identifier.size() == 8) return identifier[0] == '0' || identifier[0] == '1';
    return false;
}

std::optional<std::string> ProtocolSweep::frameIdentifier(std::string_view line) {
    const std::vector<std::string_view> tokens = blankSeparated(line);
    if (tokens.size() < 2) return std::nullopt;
    const std::string_view first = tokens.front();
    if ((first.size() == 3 || first.size() == 8) && allHex(first)) {
        if (!identifierInRange(first)) return std::nullopt;
        return std::string(first);
    }
    if (tokens.size() < 5) return std::nullopt;
    std::string identifier;
    for (std::size_t i = 0; i < 4; ++i) {
        if (tokens[i].size() != 2 || !allHex(tokens[i])) return std::nullopt;
        identifier += tokens[i];
    }
    if (!identifierInRange(identifier)) return std::nullopt;
    return identifier;
}

std::vector<std::string> ProtocolSweep::listen(ELM327Session& session, std::chrono::nanoseconds window,
                                               std::stop_token stop) {
    if (session.isMonitoring()) throw MonitorAlreadyRunning();
    sendSetUp(session, "ATH1", stop);
    std::shared_ptr<MonitorStream> stream;
    try {
        stream = session.startMonitoring(stop);
    } catch (const MonitorAlreadyRunning&) {
        throw;
    } catch (const std::exception&) {
        return {};
    }

    std::set<std::string> heard;
    const auto take = [&](const std::string& line) {
        if (std::optional<std::string> identifier = frameIdentifier(line)) heard.insert(std::move(*identifier));
    };
    const auto deadline = std::chrono::steady_clock::now() + window;
    while (!stop.stop_requested()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) break;
        if (std::optional<std::string> line = stream->pop(deadline - now, stop)) {
            take(*line);
        } else if (stream->finished()) {
            break;
        }
    }
    session.stopMonitoring(stop);
    // Lines the adapter printed before monitor mode ended are still waiting in the stream.
    while (std::optional<std::string> line = stream->pop(std::chrono::nanoseconds::zero(), {})) take(*line);
    return {heard.begin(), heard.end()};
}

} // namespace veq
