#include "VEQEngine/Session/AdapterSilent.hpp"
#include "VEQEngine/Session/ScriptedTransport.hpp"
#include "VEQProtocol/ELM327Parser.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <future>
#include <map>

namespace veq {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedTransport;
using testing::SessionRig;
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

// An adapter that behaves as the ELM327 datasheet says. A line received while it is still at work
// on another interrupts it: it prints "STOPPED" and drops both (some clones refuse the new line
// with "?" and answer the older one after it). Once out of bus monitor mode it drops every line
// that comes before its prompt. Each occurrence of a line may be given a fate: its reply lost,
// slow (still at work when the next line comes), or searching (it prints "SEARCHING..." at once
// and its answer after searchTime, stopped by any line meanwhile), or held (a link that holds it
// back until the next line that is no probe comes, and sends it just before that line's answer,
// or until the second such line when held longer), or stalled (a link that holds it and every
// later reply, lets the oldest out as each probe from the second line after it comes, and the
// rest, with its own, as the first line that is no probe comes). A clone refusing probes refuses
// them while busy too, and goes on with its work.
class DatasheetAdapter {
public:
    enum class Fate { answered, lost, slow, slowRefusing, searching, held, heldLonger, stalled };
    // "?" to "ATI" and "ATRV", to "ATI" alone, or to "ATRV" alone.
    enum class Refuses { nothing, probes, identification, voltage };

    std::string banner = "ELM327 v1.5";
    Refuses refuses = Refuses::nothing;
    std::chrono::milliseconds promptDelay{80}; // from the character that ends the monitor
    std::chrono::milliseconds searchTime{400};

    void set(const std::string& line, int occurrence, Fate fate) { fates_[{line, occurrence}] = fate; }

    ScriptedTransport::Responder responder(ScriptedTransport*& transport) {
        return [this, &transport](const std::string& line) -> Lines {
            std::lock_guard lock(mutex_);
            // The link lets the held replies out in order, each once its lines have passed.
            std::string released;
            const bool probe = line == "ATI" || line == "ATRV";
            if (!probe) {
                for (auto& [reply, lines] : held_) --lines;
                for (; !held_.empty() && held_.front().second == 0; held_.pop_front()) released += held_.front().first;
            }
            if (!stalled_.empty()) return stalledReplies(line, probe, transport);
            Lines replies = replyTo(line, transport);
            if (released.empty()) return replies;
            // One chunk: the session places them all before it goes on.
            if (replies.empty()) return {released};
            replies.front().insert(0, released);
            return replies;
        };
    }

    // The stalled link lets the oldest reply out as a probe comes, the second line after the stall
    // on, or all of them as a line that is no probe comes; the line's own joins them.
    Lines stalledReplies(const std::string& line, bool probe, ScriptedTransport*& transport) {
        ++linesSinceStall_;
        std::string released;
        if (!probe) {
            for (; !stalled_.empty(); stalled_.pop_front()) released += stalled_.front();
            for (const std::string& own : replyTo(line, transport)) released += own;
            return {released};
        }
        if (linesSinceStall_ >= 2) {
            released = stalled_.front();
            stalled_.pop_front();
        }
        for (const std::string& own : replyTo(line, transport)) stalled_.push_back(own);
        return released.empty() ? Lines{} : Lines{released};
    }

    // Waits for the prompt still to come, so that it is not pushed into a transport gone.
    void settle() {
        if (prompt_.valid()) prompt_.wait();
    }

private:
    Lines replyTo(const std::string& line, ScriptedTransport*& transport) {
        if (monitoring_) {
            monitoring_ = false;
            dropping_ = true;
            prompt_ = std::async(std::launch::async, [this, &transport] {
                std::this_thread::sleep_for(promptDelay);
                {
                    std::lock_guard promptLock(mutex_);
                    dropping_ = false;
                }
                transport->push("STOPPED\r\r>");
            });
            return {};
        }
        if (dropping_) return {};
        if (busy_) {
            if (refused(line)) return {"?\r\r>"};
            const std::string older = *std::exchange(busy_, std::nullopt);
            if (busyFate_ == Fate::slow) return {"STOPPED\r\r>"};
            // One chunk: the refusal and the older answer are placed before the session goes on.
            return {"?\r\r>" + answer(older) + "\r\r>"};
        }
        const Fate fate = fateOf(line);
        if (fate == Fate::lost) return {};
        if (fate == Fate::stalled) {
            stalled_.push_back(answer(line) + "\r\r>");
            linesSinceStall_ = 0;
            return {};
        }
        if (fate == Fate::held || fate == Fate::heldLonger) {
            held_.emplace_back(answer(line) + "\r\r>", fate == Fate::held ? 1 : 2);
            return {};
        }
        if (fate == Fate::searching) {
            busy_ = line;
            busyFate_ = Fate::slow;
            prompt_ = std::async(std::launch::async, [this, &transport, line] {
                std::this_thread::sleep_for(searchTime);
                std::lock_guard searchLock(mutex_);
                if (busy_ == line) transport->push(answer(*std::exchange(busy_, std::nullopt)) + "\r\r>");
            });
            return {"SEARCHING...\r"};
        }
        if (fate != Fate::answered) {
            busy_ = line;
            busyFate_ = fate;
            return {};
        }
        if (line == "ATMA") {
            monitoring_ = true;
            return {"7E8 03 41 0D 20\r"};
        }
        return {answer(line) + "\r\r>"};
    }

    bool refused(const std::string& line) const {
        return (line == "ATI" && (refuses == Refuses::probes || refuses == Refuses::identification)) ||
               (line == "ATRV" && (refuses == Refuses::probes || refuses == Refuses::voltage));
    }

    Fate fateOf(const std::string& line) {
        const auto found = fates_.find({line, ++seen_[line]});
        return found == fates_.end() ? Fate::answered : found->second;
    }

    std::string answer(const std::string& line) {
        if (refused(line)) return "?";
        if (line == "ATZ" || line == "ATI") return banner;
        if (line == "ATRV") return "12.6V";
        if (line == "ATDPN") return "A6";
        if (line.starts_with("ATSH")) header_ = line.substr(4);
        if (line.starts_with("AT")) return "OK";
        // Physical requests are answered by the ECU 8 above; functional ones by the engine.
        const int ecu = header_.empty() || header_ == "7DF" ? 0x7E8 : std::stoi(header_, nullptr, 16) + 8;
        char reply[4];
        std::snprintf(reply, sizeof reply, "%03X", ecu);
        if (line == "03") return std::string(reply) + " 06 43 02 07 00 01 33";
        if (line == "3E00") return std::string(reply) + " 02 7E 00";
        if (line == "22F18C") return std::string(reply) + " 06 62 F1 8C 41 42 43";
        if (line == "22F195") return std::string(reply) + " 05 62 F1 95 31 30";
        if (line == "22F1C2") return std::string(reply) + " 03 7F 22 31";
        if (line.starts_with("01")) return std::string(reply) + " 03 41 " + line.substr(2) + " 20";
        return "NO DATA";
    }

    std::mutex mutex_;
    std::map<std::pair<std::string, int>, Fate> fates_;
    std::map<std::string, int> seen_;
    std::optional<std::string> busy_;
    std::deque<std::pair<std::string, int>> held_; // a reply and its prompt, the lines it waits for
    std::deque<std::string> stalled_;              // the replies a stalled link holds, oldest first
    int linesSinceStall_ = 0;
    Fate busyFate_ = Fate::answered;
    std::string header_;
    bool monitoring_ = false, dropping_ = false;
    std::future<void> prompt_;
};

Bytes firstPayload(const ELM327Response& reply) { return reply.ecus.empty() ? Bytes{} : reply.ecus.front().payload; }
std::string firstHeader(const ELM327Response& reply) {
    return reply.ecus.empty() ? std::string() : reply.ecus.front().header.value_or("");
}

// What the adapter dropped while busy is sent again, what it lost is asked again from the session's
// own settings, a lost probe is followed by the other, and a clone is known by its own banner. Each
// case checks the lines sent and its exchanges' own answers; the exchanges after it get theirs.
TEST(ELM327SessionBusyAdapterTest, WhatABusyOrLossyAdapterDroppedIsSentAgainAndEveryAnswerIsItsOwn) {
    using Fate = DatasheetAdapter::Fate;
    using Refuses = DatasheetAdapter::Refuses;
    using Act = std::function<void(ELM327Session&)>;
    const OBDCommand codes(OBDMode::storedDTCs, std::nullopt);
    const Bytes storedCodes{0x43, 0x02, 0x07, 0x00, 0x01, 0x33};
    const auto present = [](std::string_view ecu) {
        return [ecu](ELM327Session& s) { return s.raw(TransmitHeader::of(ecu), "3E00"); };
    };
    const auto read = [](ELM327Session& s, std::uint8_t pid) {
        return firstPayload(s.query(TransmitHeader::any(), OBDCommand(pid)));
    };
    const auto identifier = [](ELM327Session& s, std::string_view ecu, const char* line) {
        return firstPayload(s.raw(TransmitHeader::of(ecu), line, *RequestEcho::ofRequestText(line)));
    };
    const Bytes partNumber{0x62, 0xF1, 0x8C, 0x41, 0x42, 0x43};
    const Bytes speed{0x41, 0x0D, 0x20};
    // A reply lost, then the next request's value; twice.
    const auto twoSingleLosses = [&](ELM327Session& s) {
        for (int loss = 0; loss < 2; ++loss) {
            EXPECT_TRUE(read(s, 0x0C).empty());
            EXPECT_EQ(read(s, 0x0D), speed);
        }
    };
    // The engine's test request lost twice, then the gearbox's once.
    const auto engineLostTwiceThenTheGearboxOnce = [&](ELM327Session& s) {
        EXPECT_TRUE(present("7E0")(s).isSilence());
        EXPECT_TRUE(present("7E0")(s).isSilence());
        EXPECT_TRUE(present("7E1")(s).isSilence());
        EXPECT_EQ(firstHeader(present("7E1")(s)), "7E9");
    };
    // A read answered only as the line after the probes' wait goes (it is asked again), the probe
    // sent after it lost; then another read lost, which costs its own wait alone: the probe after
    // it takes its own answer, not the given-up one's.
    const auto lateThenLost = [&](const char* line, Bytes answer) {
        return [&, line, answer](ELM327Session& s) {
            EXPECT_TRUE(identifier(s, "7E0", line).empty());
            EXPECT_EQ(identifier(s, "7E0", line), answer);
            EXPECT_TRUE(identifier(s, "7E0", "22F1C5").empty());
            EXPECT_EQ(identifier(s, "7E0", "22F18C"), partNumber);
        };
    };
    // A read lost, then a link that stalls from the probe after it: the next read's header is not
    // sent at first, as no probe is answered; the first probe's answer comes as the second one of
    // its kind goes, the rest with the header sent again, which gets its own answer after them.
    const auto lostThenStalled = [&](ELM327Session& s) {
        EXPECT_TRUE(identifier(s, "7E0", "22F18C").empty());
        EXPECT_EQ(identifier(s, "7E1", "22F18C"), partNumber);
    };
    const struct {
        const char* what;
        std::vector<std::tuple<std::string, int, Fate>> fates;
        Act act;
        Lines sent;
        Refuses refuses = Refuses::nothing;
        // (response header, read) whose ECU answer the session keeps, whatever line it went to.
        std::vector<std::pair<std::string, std::string>> kept = {};
        int waits = -1; // reply waits, and waits after refused probes, that ran out; -1: not counted
    } cases[] = {
        {"a slow read asked again, dropped with STOPPED",
         {{"03", 1, Fate::slow}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(s.query(codes).isSilence());
             EXPECT_EQ(firstPayload(s.queryAgain(codes)), storedCodes);
         },
         {"03", "03", "03"}},
        {"a slow read asked again, refused with ?",
         {{"03", 1, Fate::slowRefusing}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(s.query(codes).isSilence());
             EXPECT_EQ(firstPayload(s.queryAgain(codes)), storedCodes);
         },
         {"03", "03"}},
        {"a lost header",
         {{"ATSH7E3", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_EQ(firstPayload(present("7E3")(s)), (Bytes{0x7E, 0x00}));
             EXPECT_EQ(s.transmitHeader(), "7E3");
         },
         {"ATSH7E3", "ATI", "ATSH7E3", "3E00"}},
        {"a lost ATDPN",
         {{"ATDPN", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_EQ(s.detectAndApplyProtocolFormat(), FrameFormat::can11);
             EXPECT_EQ(s.protocolNumber(), "6");
         },
         {"ATDPN", "ATI", "ATDPN"}},
        {"two losses in a row",
         {{"3E00", 1, Fate::lost}, {"ATI", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(present("7E3")(s).isSilence());
             EXPECT_EQ(firstHeader(present("7E4")(s)), "7EC");
         },
         {"ATSH7E3", "3E00", "ATI", "ATRV", "ATSH7E4", "3E00"}},
        {"three losses, then a healthy adapter",
         {{"3E00", 1, Fate::lost}, {"ATI", 1, Fate::lost}, {"ATRV", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(present("7E3")(s).isSilence());
             EXPECT_EQ(firstHeader(present("7E4")(s)), "7EC"); // its header unsent at first
         },
         {"ATSH7E3", "3E00", "ATI", "ATRV", "ATI", "ATSH7E4", "3E00"}},
        {"a probe answered with a clone's banner",
         {{"010C", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_EQ(s.raw("ATZ").text, Lines{"OBDII v1.5"});
             s.setFormat(FrameFormat::can11);
             EXPECT_TRUE(s.query(OBDCommand(0x0C)).isSilence());
         },
         {"ATZ", "010C", "ATI"}},
        {"a probe answer of each kind lost, then single losses cost one probe each",
         {{"010C", 1, Fate::lost}, {"ATI", 1, Fate::lost}, {"ATRV", 1, Fate::lost}, {"010C", 2, Fate::lost},
          {"010C", 3, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(read(s, 0x0C).empty());
             EXPECT_TRUE(read(s, 0x0D).empty()); // both probes lost: not sent
             EXPECT_EQ(read(s, 0x0D), speed);
             twoSingleLosses(s);
         },
         {"010C", "ATI", "ATRV", "ATI", "010D", "010C", "ATI", "010D", "010C", "ATI", "010D"}},
        {"a clone that refuses both probes",
         {{"010C", 1, Fate::lost}, {"010C", 2, Fate::lost}},
         twoSingleLosses,
         {"010C", "ATI", "ATRV", "010D", "010C", "ATI", "ATRV", "010D"},
         Refuses::probes},
        {"a clone: a lost probe attempt, asked again alike",
         {{"0100", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(read(s, 0x00).empty());
             EXPECT_EQ(read(s, 0x00), (Bytes{0x41, 0x00, 0x20}));
         },
         {"0100", "ATI", "ATRV", "0100"},
         Refuses::probes},
        {"a clone: a lost presence read, asked again alike, then the next ECU's header",
         {{"3E00", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(present("7E0")(s).isSilence());
             EXPECT_EQ(firstPayload(present("7E0")(s)), (Bytes{0x7E, 0x00}));
             EXPECT_EQ(firstHeader(present("7E1")(s)), "7E9");
         },
         {"ATSH7E0", "3E00", "ATI", "ATRV", "3E00", "ATSH7E1", "3E00"},
         Refuses::probes},
        {"a clone: a lost first ask of a request asked again, then a header",
         {{"0101", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(s.query(OBDCommand(0x01)).isSilence());
             EXPECT_EQ(firstPayload(s.queryAgain(OBDCommand(0x01))), (Bytes{0x41, 0x01, 0x20}));
             EXPECT_EQ(firstHeader(present("7E0")(s)), "7E8");
         },
         {"0101", "0101", "ATSH7E0", "3E00"},
         Refuses::probes},
        {"a clone: a lost reply, then a header sent once the probes' wait passed",
         {{"010C", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(read(s, 0x0C).empty());
             EXPECT_EQ(firstHeader(present("7E0")(s)), "7E8");
             EXPECT_EQ(read(s, 0x0D), speed);
         },
         {"010C", "ATI", "ATRV", "ATSH7E0", "3E00", "010D"},
         Refuses::probes},
        {"a clone: a lost header",
         {{"ATSH7E3", 1, Fate::lost}},
         [&](ELM327Session& s) { EXPECT_EQ(firstHeader(present("7E3")(s)), "7EB"); },
         {"ATSH7E3", "ATI", "ATRV", "ATSH7E3", "3E00"},
         Refuses::probes},
        {"a clone: a lost reply and the first probe's, then a header",
         {{"3E00", 1, Fate::lost}, {"ATI", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(present("7E3")(s).isSilence());
             EXPECT_EQ(firstHeader(present("7E4")(s)), "7EC");
         },
         {"ATSH7E3", "3E00", "ATI", "ATRV", "ATSH7E4", "3E00"},
         Refuses::probes},
        {"a clone: a lost ATDPN",
         {{"ATDPN", 1, Fate::lost}},
         [&](ELM327Session& s) {
             EXPECT_EQ(s.detectAndApplyProtocolFormat(), FrameFormat::can11);
             EXPECT_EQ(s.protocolNumber(), "6");
         },
         {"ATDPN", "ATI", "ATRV", "ATDPN"},
         Refuses::probes},

        {"a clone refusing ATI: a lost header, then the probe's voltage held past the wait",
         {{"ATSH7E3", 1, Fate::lost}, {"ATRV", 1, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_EQ(s.setting("ATSH7E3").text, Lines{"OK"}); // sent again past the wait
             EXPECT_EQ(firstHeader(present("7E3")(s)), "7EB");
         },
         {"ATSH7E3", "ATI", "ATRV", "ATSH7E3", "3E00"},
         Refuses::identification},
        {"a clone refusing ATI: a lost identifier read, then the probe's voltage before its answer",
         {{"22F18C", 1, Fate::lost}, {"ATRV", 1, Fate::held}},
         [&](ELM327Session& s) {
             const RequestEcho echo = *RequestEcho::ofRequestText("22F18C");
             EXPECT_TRUE(s.raw(TransmitHeader::of("7E0"), "22F18C", echo).isSilence());
             EXPECT_EQ(firstPayload(s.raw(TransmitHeader::of("7E0"), "22F18C", echo)),
                       (Bytes{0x62, 0xF1, 0x8C, 0x41, 0x42, 0x43}));
         },
         {"ATSH7E0", "22F18C", "ATI", "ATRV", "22F18C"},
         Refuses::identification},
        {"a clone: a presence read answered past the wait, before the next ECU's header",
         {{"3E00", 1, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(present("7E0")(s).isSilence());
             EXPECT_EQ(s.setting("ATSH7E1").text, Lines{"OK"});
             EXPECT_EQ(firstHeader(present("7E1")(s)), "7E9");
         },
         {"ATSH7E0", "3E00", "ATI", "ATRV", "ATSH7E1", "3E00"},
         Refuses::probes},
        {"a clone: a setting's held OK taken by it sent again, whose own OK is one too many for the next read",
         {{"ATSH7E1", 1, Fate::held}, {"ATSH7E1", 2, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_EQ(s.setting("ATSH7E1").text, Lines{"OK"});
             EXPECT_EQ(firstHeader(present("7E1")(s)), "7E9");
         },
         {"ATSH7E1", "ATI", "ATRV", "ATSH7E1", "3E00"},
         Refuses::probes},
        {"a read counted lost by a probe while its answer is held, then another read",
         {{"22F18C", 1, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(identifier(s, "7E0", "22F18C").empty());
             EXPECT_EQ(identifier(s, "7E0", "22F195"), (Bytes{0x62, 0xF1, 0x95, 0x31, 0x30}));
         },
         {"ATSH7E0", "22F18C", "ATI", "22F195"}},
        // The first ask's answer, the probe's held reply and the second ask's answer come in that
        // order, the last two once the next line is out: both are one too many for it.
        {"a clone refusing ATI: a presence read held past the wait with the probe's voltage, then a read",
         {{"3E00", 1, Fate::held}, {"ATRV", 1, Fate::heldLonger}, {"3E00", 2, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(present("7E1")(s).isSilence());
             EXPECT_EQ(firstHeader(present("7E1")(s)), "7E9");
             EXPECT_EQ(identifier(s, "7E1", "22F18C"), partNumber);
         },
         {"ATSH7E1", "3E00", "ATI", "ATRV", "3E00", "22F18C"},
         Refuses::identification},
        {"a clone refusing ATI: a read held past the wait with the probe's voltage, then ATDPN",
         {{"22F18C", 1, Fate::held}, {"ATRV", 1, Fate::heldLonger}, {"22F18C", 2, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(identifier(s, "7E0", "22F18C").empty());
             EXPECT_EQ(identifier(s, "7E0", "22F18C"), partNumber);
             EXPECT_EQ(s.detectAndApplyProtocolFormat(), FrameFormat::can11);
             EXPECT_EQ(s.protocolNumber(), "6");
         },
         {"ATSH7E0", "22F18C", "ATI", "ATRV", "22F18C", "ATDPN"},
         Refuses::identification},
        {"a clone refusing ATRV: a read held past the wait with the probe's banner, then another read",
         {{"22F18C", 1, Fate::held}, {"ATI", 1, Fate::heldLonger}, {"22F18C", 2, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(identifier(s, "7E0", "22F18C").empty());
             EXPECT_EQ(identifier(s, "7E0", "22F18C"), partNumber);
             EXPECT_EQ(identifier(s, "7E0", "22F195"), (Bytes{0x62, 0xF1, 0x95, 0x31, 0x30}));
         },
         {"ATSH7E0", "22F18C", "ATI", "ATRV", "22F18C", "22F195"},
         Refuses::voltage},
        {"a setting's OK held, then a busy clone refusing a probe and sending a voltage owed after it",
         {{"ATSH7E1", 1, Fate::held}, {"ATI", 1, Fate::lost}, {"ATRV", 1, Fate::slowRefusing}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(s.setting("ATSH7E1").isSilence()); // sent again: the probes got nothing
             EXPECT_EQ(read(s, 0x0D), speed);                 // the voltage settled ATRV, the OK too many
         },
         {"ATSH7E1", "ATI", "ATRV", "ATI", "010D"}},
        // An ECU's answer that went to no line of its own is kept for the scan that watches it.
        {"a presence read's held answer, one too many once the probe counted it lost",
         {{"3E00", 1, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(present("7E0")(s).isSilence());
             EXPECT_EQ(s.setting("ATSH7E1").text, Lines{"OK"});
         },
         {"ATSH7E0", "3E00", "ATI", "ATSH7E1"}, Refuses::nothing, {{"7E8", "3E00"}}},
        {"a clone: a presence read's held answer, late past the wait",
         {{"3E00", 1, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(present("7E0")(s).isSilence());
             EXPECT_EQ(s.setting("ATSH7E1").text, Lines{"OK"});
         },
         {"ATSH7E0", "3E00", "ATI", "ATRV", "ATSH7E1"}, Refuses::probes, {{"7E8", "3E00"}}},
        {"a busy clone: a read's answer after the probe's refusal",
         {{"22F18C", 1, Fate::slowRefusing}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(identifier(s, "7E0", "22F18C").empty());
             EXPECT_EQ(s.setting("ATSH7E1").text, Lines{"OK"});
         },
         {"ATSH7E0", "22F18C", "ATI", "ATSH7E1"}, Refuses::nothing, {{"7E8", "22F18C"}}},
        // A setting's "OK" in order shows the given-up probe's answer can no longer come: the next
        // probe takes its own, and each lost reply costs one wait.
        {"a clone refusing ATRV: four replies lost, the first probe's among them",
         {{"3E00", 1, Fate::lost}, {"ATI", 1, Fate::lost}, {"3E00", 2, Fate::lost}, {"3E00", 3, Fate::lost}},
         engineLostTwiceThenTheGearboxOnce,
         {"ATSH7E0", "3E00", "ATI", "ATRV", "3E00", "ATRV", "ATI", "ATSH7E1", "3E00", "ATI", "3E00"}, Refuses::voltage,
         {}, 5},
        {"a clone refusing ATI: four replies lost, the first probe's among them",
         {{"3E00", 1, Fate::lost}, {"ATRV", 1, Fate::lost}, {"3E00", 2, Fate::lost}, {"3E00", 3, Fate::lost}},
         engineLostTwiceThenTheGearboxOnce,
         {"ATSH7E0", "3E00", "ATI", "ATRV", "3E00", "ATI", "ATRV", "ATSH7E1", "3E00", "ATI", "ATRV", "3E00"},
         Refuses::identification, {}, 5},
        // Given up, a probe's banner that comes before the next line's answer is still no answer of it.
        {"a clone refusing ATRV: a lost probe's banner late, before a header's OK",
         {{"010C", 1, Fate::lost}, {"ATI", 1, Fate::held}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(read(s, 0x0C).empty());
             EXPECT_EQ(s.setting("ATSH7E1").text, Lines{"OK"});
             EXPECT_EQ(firstHeader(present("7E1")(s)), "7E9");
         },
         {"010C", "ATI", "ATRV", "ATSH7E1", "3E00"}, Refuses::voltage, {}, 3},
        // Once the lines before a given-up probe have had their reply, the next reply is its answer
        // or tells it never comes.
        {"a clone refusing ATRV: a read's NO DATA late, the probe after it lost",
         {{"22F1C3", 1, Fate::held}, {"ATI", 1, Fate::lost}, {"22F1C5", 1, Fate::lost}},
         lateThenLost("22F1C3", {}),
         {"ATSH7E0", "22F1C3", "ATI", "ATRV", "22F1C3", "22F1C5", "ATI", "22F18C"}, Refuses::voltage, {}, 4},
        {"a clone refusing ATRV: a read's negative answer late, the probe after it lost",
         {{"22F1C2", 1, Fate::held}, {"ATI", 1, Fate::lost}, {"22F1C5", 1, Fate::lost}},
         lateThenLost("22F1C2", {0x7F, 0x22, 0x31}),
         {"ATSH7E0", "22F1C2", "ATI", "ATRV", "22F1C2", "22F1C5", "ATI", "22F18C"}, Refuses::voltage, {}, 4},
        {"a clone refusing ATI: a read's NO DATA late, the probe after it lost",
         {{"22F1C3", 1, Fate::held}, {"ATRV", 1, Fate::lost}, {"22F1C5", 1, Fate::lost}},
         lateThenLost("22F1C3", {}),
         {"ATSH7E0", "22F1C3", "ATI", "ATRV", "22F1C3", "22F1C5", "ATI", "ATRV", "22F18C"}, Refuses::identification, {}, 4},
        // The stalled replies come in order: the given-up probes' answers, taken by the probes
        // sent again or one too many, then those probes' own, one too many too, never the answer
        // of the line that ends the stall, "?" included.
        {"a clone refusing ATRV: a link stalled from the probe after a lost read, then a header",
         {{"22F18C", 1, Fate::lost}, {"ATI", 1, Fate::stalled}},
         lostThenStalled,
         {"ATSH7E0", "22F18C", "ATI", "ATRV", "ATI", "ATSH7E1", "22F18C"}, Refuses::voltage, {}, 3},
        {"a clone refusing ATRV: a link stalled from the probe after a lost read, then a code read",
         {{"010C", 1, Fate::lost}, {"ATI", 1, Fate::stalled}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(read(s, 0x0C).empty());
             EXPECT_TRUE(s.query(codes).isSilence()); // not sent
             EXPECT_EQ(firstPayload(s.query(codes)), storedCodes);
         },
         {"010C", "ATI", "ATRV", "ATI", "03"}, Refuses::voltage, {}, 3},
        {"a clone refusing ATI: a link stalled from the probe after a lost read, then a header",
         {{"22F18C", 1, Fate::lost}, {"ATI", 1, Fate::stalled}},
         lostThenStalled,
         {"ATSH7E0", "22F18C", "ATI", "ATRV", "ATI", "ATRV", "ATSH7E1", "22F18C"}, Refuses::identification, {}, 3},
        {"a busy clone: the line sent past the wait dropped with STOPPED, then sent again",
         {{"010C", 1, Fate::slow}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(read(s, 0x0C).empty());
             EXPECT_EQ(read(s, 0x0D), speed);
         },
         {"010C", "ATI", "ATRV", "010D", "010D"},
         Refuses::probes},
        {"a busy clone refuses the probe, then sends the older answer",
         {{"010C", 1, Fate::slowRefusing}},
         [&](ELM327Session& s) {
             EXPECT_TRUE(read(s, 0x0C).empty());
             EXPECT_EQ(read(s, 0x0D), speed);
         },
         {"010C", "ATI", "010D"}},
        {"an automatic search longer than the reply time-out",
         {{"0100", 1, Fate::searching}},
         [&](ELM327Session& s) { EXPECT_EQ(read(s, 0x00), (Bytes{0x41, 0x00, 0x20})); },
         {"0100"}},
        {"the monitor's stop answered late",
         {},
         [&](ELM327Session& s) {
             s.startMonitoring();
             s.stopMonitoring();
         },
         {"ATH1", "ATS1", "ATCAF0", "ATMA", "", "ATCAF1", "ATS0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DatasheetAdapter adapter;
        if (std::string_view(c.what).find("clone's banner") != std::string_view::npos) adapter.banner = "OBDII v1.5";
        adapter.refuses = c.refuses;
        for (const auto& [line, occurrence, fate] : c.fates) adapter.set(line, occurrence, fate);
        ScriptedTransport* transport = nullptr;
        // A monitor's prompt may come late on a loaded machine: the bound is never reached here.
        SessionRig rig(adapter.responder(transport),
                       {.responseTimeout = 40ms, .monitorStopPause = 1ms, .monitorStopPromptWait = 20s});
        transport = rig.transport.get();
        rig.session->setFormat(FrameFormat::can11);
        EXPECT_EQ(rig.session->raw("ATE0").text, Lines{"OK"}); // the adapter is there
        std::vector<std::string> headers;
        for (const auto& [header, read] : c.kept) headers.push_back(header);
        {
            const ELM327Session::AnswerKeeping keeping = rig.session->keepAnswers(headers);
            c.act(*rig.session);
            for (const auto& [header, read] : c.kept) EXPECT_TRUE(rig.session->takeKeptAnswer(header, read)) << read;
        }

        EXPECT_EQ(firstPayload(rig.session->query(TransmitHeader::any(), OBDCommand(0x0D))), (Bytes{0x41, 0x0D, 0x20}));
        const bool refusesVoltage = c.refuses == Refuses::probes || c.refuses == Refuses::voltage;
        EXPECT_EQ(rig.session->raw("ATRV").lines, Lines{refusesVoltage ? "?" : "12.6V"});
        EXPECT_EQ(rig.session->owedReplyCount(), 0u);
        if (c.waits >= 0) {
            EXPECT_EQ(rig.session->fruitlessWaits(), static_cast<std::uint64_t>(c.waits));
        }
        Lines sent{"ATE0"};
        sent.insert(sent.end(), c.sent.begin(), c.sent.end());
        sent.insert(sent.end(), {"010D", "ATRV"});
        EXPECT_EQ(rig.transport->lines(), sent);
        adapter.settle();
    }
}

// With a silence watch, the exchange that ends the adapter's silence past the limit throws, and so
// does every later one of that thread, at once; other threads and an ended watch are unaffected.
TEST(ELM327SessionBusyAdapterTest, ASilenceWatchFailsItsThreadsExchangesOnceTheAdapterIsSilentTooLong) {
    std::atomic<bool> mute{false};
    SessionRig rig([&](const std::string&) { return mute ? Lines{} : Lines{"OK\r\r>"}; },
                   {.responseTimeout = 30ms, .monitorStopPause = 1ms});
    {
        const ELM327Session::SilenceWatch watch = rig.session->watchSilence(2s);
        EXPECT_EQ(rig.session->raw("ATE0").text, Lines{"OK"});
        mute = true;
        int silences = 0;
        try {
            for (;; ++silences) EXPECT_TRUE(rig.session->raw("ATE0").isSilence());
        } catch (const AdapterSilent&) {
        }
        EXPECT_GT(silences, 0); // not before the limit
        EXPECT_TRUE(watch.tripped());
        const std::size_t before = rig.transport->lines().size();
        EXPECT_THROW(rig.session->raw("ATE0"), AdapterSilent);
        EXPECT_EQ(rig.transport->lines().size(), before); // nothing more went out
        std::async(std::launch::async, [&] { EXPECT_TRUE(rig.session->raw("ATS0").isSilence()); }).wait();
    }
    EXPECT_TRUE(rig.session->raw("ATS0").isSilence());
}

using Destination = ReplyPairing::Destination;

// A line as the session sends it with 11-bit headers on.
ReplyPairing::Request request(std::string command, bool probe = false) {
    ReplyPairing::Request r = ReplyPairing::Request::line(command, FrameFormat::can11);
    r.probe = probe;
    return r;
}

Destination place(ReplyPairing& pairing, std::string_view text) {
    const std::string bytes = std::string(text) + "\r\r>";
    const std::vector<std::uint8_t> reply(bytes.begin(), bytes.end());
    return pairing
        .place([&](const ReplyPairing::Request& r) { return ELM327Parser::parse(reply, r.format, r.command); })
        .destination;
}

// An adapter that answers everything in order over a link that stalls: the answers of probes and
// of a reset given up come late, whatever is current then, and are replies too many; the request
// sent after them still gets its own answer, and no probe takes theirs.
TEST(ELM327SessionBusyAdapterTest, AnswersOfProbesAndResetsGivenUpAreNeverAnotherRequests) {
    ReplyPairing pairing;
    const auto sent = [&](std::string command, bool probe = false) { pairing.sending(request(std::move(command), probe)); };
    for (const auto& [command, probe] : {std::pair{"010C", false}, {"ATI", true}, {"ATRV", true}}) {
        sent(command, probe);
        pairing.exchangeEnded(); // each gave up unanswered
    }
    sent("ATI", true);
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current); // gives up the two probes before
    pairing.exchangeEnded();
    EXPECT_EQ(place(pairing, "12.6V"), Destination::tooMany); // nothing owed: still counted off
    sent("0105");
    pairing.exchangeEnded(); // its answer still on the way
    sent("ATI", true);
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::tooMany); // an older probe's, not this one's
    EXPECT_EQ(place(pairing, "7E8 03 41 05 20"), Destination::late);
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
    pairing.exchangeEnded();
    sent("ATZ");
    pairing.exchangeEnded(); // a reset left unanswered
    sent("010D");
    pairing.exchangeEnded();
    sent("ATI", true);
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::tooMany); // the reset's
    EXPECT_EQ(place(pairing, "7E8 03 41 0D 20"), Destination::late);
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
    pairing.exchangeEnded();
    // In step, with nothing counted: a voltage, or a banner the session knows (a clone's, learnt
    // from its reset), is no vehicle request's answer.
    sent("ATZ");
    EXPECT_EQ(place(pairing, "OBDII v1.5"), Destination::current);
    pairing.exchangeEnded();
    sent("010D");
    for (const char* adapterText : {"13.1V", "OBDII v1.5", "ELM327 v2.1"}) {
        EXPECT_EQ(place(pairing, adapterText), Destination::tooMany) << adapterText;
    }
    EXPECT_EQ(place(pairing, "7E8 03 41 0D 20"), Destination::current);
    pairing.exchangeEnded();
    // Nor a setting's, which waits on for its "OK": neither is an ECU's message, with or without
    // a header; the line after it takes its own reply. Until the adapter was heard saying "OK",
    // hex is a setting's own wrong answer, as a garbled adapter prints it to everything.
    sent("ATSH7E1");
    EXPECT_EQ(place(pairing, "41 0D 20"), Destination::current);
    pairing.exchangeEnded();
    sent("ATE0");
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    pairing.exchangeEnded();
    sent("ATSH7E1");
    for (const char* notItsOwn : {"7E8 10 0B 62 F1 95 30 31 2E\r7E8 21 30 32 2E 30 33", "41 0D 20", "13.1V", "OBDII v1.5"}) {
        EXPECT_EQ(place(pairing, notItsOwn), Destination::tooMany) << notItsOwn;
    }
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    pairing.exchangeEnded();
    sent("ATSP5");
    EXPECT_EQ(place(pairing, "BUS INIT: ...OK"), Destination::current);
    pairing.exchangeEnded();
    EXPECT_TRUE(pairing.inStep() && pairing.owedCount() == 0);
    // Out of step, a setting owed first settles on no ECU's message: the read after it does.
    for (const char* command : {"ATSH7E0", "0105"}) {
        sent(command);
        pairing.exchangeEnded();
    }
    sent("ATI", true);
    EXPECT_EQ(place(pairing, "7F 01 12"), Destination::late);
    EXPECT_EQ(pairing.owedCount(), 1u);
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
    pairing.exchangeEnded();
    // Out of step, neither does it settle one.
    sent("010C");
    pairing.exchangeEnded();
    sent("ATI", true);
    EXPECT_EQ(place(pairing, "13.1V"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "7E8 03 41 0C 20"), Destination::late);
    EXPECT_EQ(place(pairing, "OBDII v1.5"), Destination::current);
    pairing.exchangeEnded();
    // A probe forgotten past the bound while a line sent before it still awaits its reply: its
    // banner is awaited past that line's late answer, never an owed setting's reply.
    sent("010C");
    pairing.exchangeEnded();
    sent("ATI", true);
    pairing.exchangeEnded();
    for (std::size_t i = 1; i < ReplyPairing::maxOwed; ++i) {
        sent("ATSH7E0");
        pairing.exchangeEnded();
    }
    EXPECT_EQ(place(pairing, "7E8 03 41 0C 20"), Destination::late);
    EXPECT_EQ(place(pairing, "OBDII v1.5"), Destination::tooMany);
    pairing.resynchronise();

    // A given-up probe taking its answer ends the wait for the older ones whose earlier lines all
    // had theirs: once the banner comes, the voltage probe given up before it is no longer
    // awaited, while the one that took a voltage perhaps the older one's waits for its own.
    for (const auto& [command, probe] : {std::pair{"010C", false}, {"ATRV", true}, {"ATI", true}}) {
        sent(command, probe);
        pairing.exchangeEnded();
    }
    sent("ATRV", true);
    EXPECT_EQ(place(pairing, "12.6V"), Destination::current); // perhaps the first ATRV's
    pairing.exchangeEnded();
    EXPECT_EQ(place(pairing, "OBDII v1.5"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "12.6V"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "12.6V"), Destination::unowed);

    // A late "?" is a given-up "ATI"'s only once the adapter refused it on this link, and never a
    // given-up reset's: else the line waiting takes it.
    const auto refusalAfterAGivenUp = [&](const char* givenUp) {
        sent("010C");
        pairing.exchangeEnded();
        sent(givenUp, std::string_view(givenUp) == "ATI");
        pairing.exchangeEnded();
        ReplyPairing::Request finder = request("010D");
        finder.findsStep = true;
        pairing.sending(finder);
        EXPECT_EQ(place(pairing, "NO DATA"), Destination::current);
        pairing.exchangeEnded();
        sent("010E");
        const Destination refusal = place(pairing, "?");
        pairing.exchangeEnded();
        return refusal;
    };
    pairing.resynchronise();
    EXPECT_EQ(refusalAfterAGivenUp("ATI"), Destination::current);
    sent("ATI", true);
    EXPECT_EQ(place(pairing, "?"), Destination::current);
    pairing.exchangeEnded();
    EXPECT_EQ(refusalAfterAGivenUp("ATI"), Destination::tooMany);
    EXPECT_EQ(refusalAfterAGivenUp("ATZ"), Destination::current);
    pairing.resynchronise(); // a new link
    EXPECT_EQ(refusalAfterAGivenUp("ATI"), Destination::current);
}

// Once a clone refused both probes, the line sent to find the step takes its own answer though an
// older one was asked alike; that one's answer, should it follow, is a reply too many. A setting
// takes any answer but "?" it can have given ("?" refuses it alone); a probe given up before it
// stays one too many.
TEST(ELM327SessionBusyAdapterTest, TheRequestThatFindsTheStepTakesItsAnswerAndAnOlderAlikeOneIsTooMany) {
    ReplyPairing pairing;
    const std::string supported = "7E8 06 41 00 BE 3F A8 13";
    pairing.sending(request("0100"));
    pairing.exchangeEnded(); // lost
    for (const char* probe : {"ATI", "ATRV"}) {
        pairing.sending(request(probe, true));
        EXPECT_EQ(place(pairing, "?"), Destination::current);
        pairing.exchangeEnded();
    }
    ReplyPairing::Request finder = request("0100");
    finder.findsStep = true;
    pairing.sending(finder);
    EXPECT_EQ(place(pairing, supported), Destination::current);
    pairing.exchangeEnded();
    EXPECT_TRUE(pairing.inStep());
    pairing.sending(request("010D"));
    EXPECT_EQ(place(pairing, supported), Destination::tooMany);
    EXPECT_EQ(place(pairing, "7E8 03 41 0D 20"), Destination::current);
    pairing.exchangeEnded();

    for (const auto& [command, probe] : {std::pair{"010C", false}, {"ATI", true}}) {
        pairing.sending(request(command, probe));
        pairing.exchangeEnded(); // lost
    }
    ReplyPairing::Request header = request("ATSH7E0");
    header.findsStep = true;
    pairing.sending(header);
    EXPECT_EQ(place(pairing, "?"), Destination::current);
    pairing.exchangeEnded();
    EXPECT_EQ(pairing.owedCount(), 2u);
    pairing.sending(header);
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    pairing.exchangeEnded();
    EXPECT_TRUE(pairing.inStep());
    pairing.sending(request("0100"));
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "NO DATA"), Destination::current);
    pairing.exchangeEnded();

    // Past the wait: an "OK" is an older setting's, never the read's; the monitor's late
    // "STOPPED" is one too many; a "STOPPED" ending an older line's work gives up the probe
    // between, whose banner is then one too many.
    const auto lostThenFinder = [&](std::vector<std::pair<const char*, bool>> lost, const char* line) {
        for (const auto& [command, probe] : lost) {
            pairing.sending(request(command, probe));
            pairing.exchangeEnded();
        }
        ReplyPairing::Request finder = request(line);
        finder.findsStep = true;
        pairing.sending(finder);
    };
    lostThenFinder({{"ATSH7E0", false}}, "0100");
    EXPECT_EQ(place(pairing, "OK"), Destination::late);
    EXPECT_EQ(place(pairing, supported), Destination::current);
    pairing.exchangeEnded();
    pairing.resynchronise(ReplyPairing::Request{"ATMA", FrameFormat::headersOff, std::nullopt, true});
    lostThenFinder({{"ATCAF1", false}}, "ATS0");
    EXPECT_EQ(place(pairing, "STOPPED"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    pairing.exchangeEnded();
    lostThenFinder({{"010C", false}, {"ATI", true}}, "010D");
    EXPECT_EQ(place(pairing, "STOPPED"), Destination::current); // dropped: sent once more
    pairing.exchangeEnded();
    pairing.sending(request("010D"));
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "7E8 03 41 0D 20"), Destination::current);
    EXPECT_TRUE(pairing.inStep());
    pairing.exchangeEnded();

    // A setting sent past the wait takes no banner or voltage, which no line owed can have given,
    // nor an ECU's message, an older read's come late: it waits on for its "OK".
    lostThenFinder({{"0105", false}}, "ATSH7E0");
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "13.1V"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "7E8 03 7F 01 12"), Destination::late);
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    EXPECT_TRUE(pairing.inStep() && pairing.owedCount() == 0);

    // A clone refusing both probes after a header held, the header sent again to find the step:
    // a late banner is no line's, the "?" after it refuses the header sent again, the "OK" is the
    // held header's, and the read after them takes its own answer.
    pairing.resynchronise();
    pairing.sending(request("ATSH7DF"));
    pairing.exchangeEnded(); // held
    for (const char* probe : {"ATI", "ATRV"}) {
        pairing.sending(request(probe, true));
        EXPECT_EQ(place(pairing, "?"), Destination::current) << probe;
        pairing.exchangeEnded();
    }
    lostThenFinder({}, "ATSH7DF");
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "?"), Destination::current);
    EXPECT_EQ(place(pairing, "OK"), Destination::late);
    pairing.exchangeEnded();
    pairing.sending(request("010C"));
    EXPECT_EQ(place(pairing, "7E8 03 41 0C 20"), Destination::current);
    EXPECT_TRUE(pairing.inStep() && pairing.owedCount() == 0);
}

// A setting's "OK" that comes in order, no other setting's being awaited, shows every line before
// it answered: a given-up probe's banner is no longer awaited, and the next probe takes its own.
// An "OK" passing an older owed setting may be that one's, yet it is no banner: as the first reply
// once the lines before the probe had theirs, it ends the wait too, as does one counted the late
// answer of a lost setting.
TEST(ELM327SessionBusyAdapterTest, ASettingsOwnOKEndsTheWaitForAGivenUpProbesAnswer) {
    ReplyPairing pairing;
    const auto lost = [&](ReplyPairing::Request r) {
        pairing.sending(std::move(r));
        pairing.exchangeEnded();
    };
    const auto bannerAwaited = [&] { // a read lost and a probe given up, its banner still to come
        lost(request("010C"));
        lost(request("ATI", true));
        pairing.sending(request("ATI", true));
        EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
        pairing.exchangeEnded();
    };
    const auto nextProbesBanner = [&] {
        lost(request("010D"));
        pairing.sending(request("ATI", true));
        const Destination first = place(pairing, "ELM327 v1.5");
        if (first == Destination::tooMany) {
            EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
        }
        pairing.exchangeEnded();
        return first;
    };
    bannerAwaited();
    pairing.sending(request("ATSH7E1"));
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    pairing.exchangeEnded();
    EXPECT_EQ(nextProbesBanner(), Destination::current);

    bannerAwaited();
    lost(request("ATSH7E0"));
    ReplyPairing::Request finder = request("ATSH7E1");
    finder.findsStep = true;
    pairing.sending(finder);
    EXPECT_EQ(place(pairing, "OK"), Destination::current); // perhaps ATSH7E0's
    pairing.exchangeEnded();
    pairing.sending(request("ATSH7E2"));
    EXPECT_EQ(place(pairing, "OK"), Destination::current); // perhaps ATSH7E1's, ATSH7E0's counted lost
    pairing.exchangeEnded();
    EXPECT_EQ(nextProbesBanner(), Destination::current);

    lost(request("ATSH7E0"));
    pairing.sending(request("ATI", true));
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current); // counts ATSH7E0 lost
    pairing.exchangeEnded();
    bannerAwaited();
    pairing.sending(request("ATSH7E2"));
    EXPECT_EQ(place(pairing, "OK"), Destination::current); // ATSH7E0's, late
    EXPECT_EQ(place(pairing, "OK"), Destination::tooMany); // its own: the lost one's count ends
    pairing.exchangeEnded();
    pairing.sending(request("ATSH7E3"));
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    pairing.exchangeEnded();
    EXPECT_EQ(nextProbesBanner(), Destination::current);
}

// A read to one ECU, its replies read with 11-bit headers.
ReplyPairing::Request readFrom(std::string command, std::string_view ecu) {
    ReplyPairing::Request r = request(std::move(command));
    r.echo = RequestEcho::ofRequestText(r.command);
    r.responder = ECUResponder::ofISO(ecu);
    return r;
}

// Read with headers, a reply with ECU messages goes only to a line whose ECU's message is among
// them: another ECU's message is the late answer of a line to that ECU, one too many once that
// line was counted lost, else the current line's own reply with no answer from its ECU, which
// stays owed for the reply its ECU may still give. Another ECU's exact answer ends no count.
TEST(ELM327SessionBusyAdapterTest, AnotherECUsMessagesGoOnlyToALineToThatECU) {
    ReplyPairing pairing;
    const auto lost = [&](ReplyPairing::Request r) {
        pairing.sending(std::move(r));
        pairing.exchangeEnded();
    };
    // In step: the engine's message is the gearbox read's reply with no answer; its own settles it.
    pairing.sending(readFrom("22F18C", "7E1"));
    EXPECT_EQ(place(pairing, "7E8 06 62 F1 8C 41 42 43"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 1u);
    EXPECT_EQ(place(pairing, "7E9 06 62 F1 8C 41 42 43"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 0u);
    pairing.exchangeEnded();

    // The engine's read counted lost by the probe's banner: the engine's late refusal is one too
    // many for the gearbox's read, once; a second one is the read's reply with no answer.
    lost(readFrom("22F187", "7E0"));
    pairing.sending(request("ATI", true));
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
    pairing.exchangeEnded();
    pairing.sending(readFrom("22F187", "7E1"));
    EXPECT_EQ(place(pairing, "7E8 03 7F 22 31"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "7E8 03 7F 22 31"), Destination::current);
    EXPECT_EQ(place(pairing, "7E9 03 7F 22 31"), Destination::current);
    pairing.exchangeEnded();
    EXPECT_TRUE(pairing.inStep() && pairing.owedCount() == 0);

    // Out of step: another ECU's message settles the owed line to that ECU, late, the ones before
    // it lost; with none owed to it, nothing, and the probe still takes its banner.
    lost(readFrom("1902FF", "7E0"));
    lost(readFrom("1902FF", "7E1"));
    lost(readFrom("1902FF", "7E2"));
    pairing.sending(request("ATI", true));
    EXPECT_EQ(place(pairing, "7E9 03 7F 19 31"), Destination::late);
    EXPECT_EQ(pairing.owedCount(), 2u);
    EXPECT_EQ(place(pairing, "7EB 03 7F 19 31"), Destination::tooMany);
    EXPECT_EQ(pairing.owedCount(), 2u);
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
    pairing.exchangeEnded();

    // Another ECU's exact answer from a line counted lost, come late, is no reply in order; the
    // read's reply after it is, and ends the wait for the banner of the probe given up before.
    lost(readFrom("3E00", "7E0"));
    lost(request("ATI", true));
    pairing.sending(request("ATI", true));
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current); // passed one asked alike: its banner may come
    pairing.exchangeEnded();
    pairing.sending(readFrom("3E00", "7E3"));
    EXPECT_EQ(place(pairing, "7E8 02 7E 00"), Destination::tooMany); // the engine's, counted lost
    EXPECT_EQ(place(pairing, "7E9 02 7E 00"), Destination::current); // the gearbox's: no answer of 7E3's
    EXPECT_EQ(place(pairing, "NO DATA"), Destination::current);
    pairing.exchangeEnded();
    EXPECT_EQ(pairing.owedCount(), 0u);
    pairing.sending(request("ATI", true));
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
    EXPECT_TRUE(pairing.inStep() && pairing.owedCount() == 0);
    pairing.exchangeEnded();

    // A line kept owed after only another ECU's message has had its reply: the probe lost after
    // it, passed with it, is awaited only until the next reply.
    pairing.sending(readFrom("22F18C", "7E1"));
    EXPECT_EQ(place(pairing, "7E8 06 62 F1 8C 41 42 43"), Destination::current);
    pairing.exchangeEnded();
    lost(request("ATI", true));
    pairing.sending(request("ATRV", true));
    EXPECT_EQ(place(pairing, "12.6V"), Destination::current);
    pairing.exchangeEnded();
    lost(request("010D"));
    pairing.sending(request("ATI", true));
    EXPECT_EQ(place(pairing, "NO DATA"), Destination::late);
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
    pairing.exchangeEnded();

    // A setting after a read to the engine counted lost: the engine's answer to another request is
    // no reply of the setting's, whose "OK" comes after it; the gearbox's read takes its own.
    pairing.sending(request("ATE0"));
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    pairing.exchangeEnded();
    lost(readFrom("1902FF", "7E0"));
    pairing.sending(request("ATI", true));
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
    pairing.exchangeEnded();
    pairing.sending(request("ATSH7E1"));
    EXPECT_EQ(place(pairing, "7E8 10 0B 62 F1 95 30 31 2E\r7E8 21 30 32 2E 30 33"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    pairing.exchangeEnded();
    pairing.sending(readFrom("1902FF", "7E1"));
    EXPECT_EQ(place(pairing, "7E9 03 59 02 FF"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 0u);
}

// A setting or a probe never takes an ECU's message, however the message is printed (11-bit or
// 29-bit headers, none, spaces or not), nor a probe an "OK": each waits on for its own reply. The
// adapter's own words are never an ECU's message. An "OK" behind its echo shows the adapter says
// "OK", and a new link forgets it. Out of step, a "?" goes to the oldest owed line when that line is
// a probe this adapter refused on this link.
TEST(ELM327SessionBusyAdapterTest, ASettingOrAProbeTakesNoECUsMessageAndAProbeNoOK) {
    ReplyPairing pairing;
    const auto lost = [&](ReplyPairing::Request r) {
        pairing.sending(std::move(r));
        pairing.exchangeEnded();
    };
    // Echo on, as after a reset: the "OK" behind it counts.
    pairing.sending(request("ATE0"));
    EXPECT_EQ(place(pairing, "ATE0\rOK"), Destination::current);
    pairing.exchangeEnded();
    const char* ecuMessages[] = {"7E8027E00", "7E8 02 7E 00", "18DAF110027E00", "18 DA F1 10 02 7E 00", "7E 00", "7E00",
                                 "7E8 10 0B 62 F1 95 30 31 2E\r7E8 21 30 32 2E 30 33"};
    for (const char* command : {"ATSH7E1", "ATH1", "ATCAF0", "ATI", "ATRV"}) {
        const bool probe = std::string_view(command) == "ATI" || std::string_view(command) == "ATRV";
        pairing.sending(request(command, probe));
        for (const char* message : ecuMessages) EXPECT_EQ(place(pairing, message), Destination::tooMany) << command << " " << message;
        if (probe) {
            EXPECT_EQ(place(pairing, "OK"), Destination::tooMany) << command;
        }
        // An adapter that keeps echoing: the line's own reply behind its echo.
        const std::string own = std::string(command) + "\r" + (std::string_view(command) == "ATI" ? "ELM327 v1.5" : std::string_view(command) == "ATRV" ? "12.6V" : "OK");
        EXPECT_EQ(place(pairing, own), Destination::current) << command;
        pairing.exchangeEnded();
        EXPECT_TRUE(pairing.inStep() && pairing.owedCount() == 0) << command;
    }
    // The adapter's own words, read in every format, are the line's reply.
    for (const auto& [command, word] : {std::pair{"ATSP6", "OK"}, {"ATSP5", "BUS INIT: ...OK"}, {"ATSP6", "NO DATA"},
                                        {"ATCAF1", "STOPPED"}, {"ATMA0", "?"}, {"ATI", "OBDII v1.5"}, {"ATRV", "9 V"}, {"ATRV", "?"}}) {
        pairing.sending(request(command, std::string_view(command) == "ATI" || std::string_view(command) == "ATRV"));
        EXPECT_EQ(place(pairing, word), Destination::current) << command << " " << word;
        pairing.exchangeEnded();
    }
    // As the oldest owed line, a probe takes no ECU message and no "OK": an owed setting's "OK",
    // late, or one too many.
    lost(request("ATI", true));
    pairing.sending(request("ATRV", true));
    EXPECT_EQ(place(pairing, "7E8 03 41 0D 20"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "OK"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::late);
    EXPECT_EQ(place(pairing, "12.6V"), Destination::current);
    pairing.exchangeEnded();
    lost(request("ATI", true));
    lost(request("ATSH7E0"));
    pairing.sending(request("ATRV", true));
    EXPECT_EQ(place(pairing, "OK"), Destination::late);
    EXPECT_EQ(place(pairing, "12.6V"), Destination::current);
    pairing.exchangeEnded();
    // A new link: the adapter has not said "OK" on it yet, and hex is a setting's own wrong answer.
    pairing.resynchronise();
    pairing.sending(request("ATSH7E1"));
    EXPECT_EQ(place(pairing, "7E8 02 7E 00"), Destination::current);
    pairing.exchangeEnded();

    // This adapter refuses "ATRV": the "?" after the older lines' answers is the owed probe's, and
    // the line sent after it (a read, a header sent again) takes its own reply.
    pairing.sending(request("ATE0"));
    EXPECT_EQ(place(pairing, "OK"), Destination::current);
    pairing.exchangeEnded();
    pairing.sending(request("ATRV", true));
    EXPECT_EQ(place(pairing, "?"), Destination::current);
    pairing.exchangeEnded();
    for (const auto& [line, answer] : {std::pair{"010C", "7E8 04 41 0C 3B 2E"}, {"ATSH7DF", "OK"}}) {
        lost(request("010D"));
        lost(request("ATI", true));
        lost(request("ATRV", true));
        pairing.sending(request(line));
        EXPECT_EQ(place(pairing, "7E8 03 41 0D 20"), Destination::late) << line;
        EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::late) << line;
        EXPECT_EQ(place(pairing, "?"), Destination::late) << line;
        EXPECT_EQ(place(pairing, answer), Destination::current) << line;
        pairing.exchangeEnded();
        EXPECT_TRUE(pairing.inStep() && pairing.owedCount() == 0) << line;
    }
    // One it never refused: the "?" refuses the line just sent.
    lost(request("010D"));
    lost(request("ATI", true));
    pairing.sending(request("010C"));
    EXPECT_EQ(place(pairing, "7E8 03 41 0D 20"), Destination::late);
    EXPECT_EQ(place(pairing, "?"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 1u);
}

// Read with headers, an ECU's messages that all name another of its requests answer no later
// line: the current line takes them with no answer and stays owed, never dropping them as one too
// many, and a line of that ECU counted lost to the request they name is counted off. Another ECU's
// messages still answer nothing of a line, and two reads alike to two ECUs are not answered alike.
TEST(ELM327SessionBusyAdapterTest, AnECUsAnswerToAnotherRequestIsNoLaterLinesAnswer) {
    ReplyPairing pairing;
    const auto lost = [&](ReplyPairing::Request r) {
        pairing.sending(std::move(r));
        pairing.exchangeEnded();
    };
    const auto probed = [&] {
        pairing.sending(request("ATI", true));
        EXPECT_EQ(place(pairing, "ELM327 v1.5"), Destination::current);
        pairing.exchangeEnded();
    };
    const std::string partNumber = "7E9 06 62 F1 87 41 42 43";
    // After the line answered just before: its answer again, then another service's refusal, are
    // the version read's replies with no answer; its own settles it.
    pairing.sending(readFrom("22F187", "7E1"));
    EXPECT_EQ(place(pairing, partNumber), Destination::current);
    pairing.exchangeEnded();
    pairing.sending(readFrom("22F195", "7E1"));
    EXPECT_EQ(place(pairing, partNumber), Destination::current);
    EXPECT_EQ(place(pairing, "7E9 03 7F 19 31"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 1u);
    EXPECT_EQ(place(pairing, "7E9 03 7F 22 31"), Destination::current); // its own service's refusal
    EXPECT_EQ(pairing.owedCount(), 0u);
    pairing.exchangeEnded();

    // After a lost line to the request it names: the version read takes it, and the lost line is
    // counted off, so the same answer is no longer one too many for the engine's read.
    lost(readFrom("22F187", "7E1"));
    probed();
    pairing.sending(readFrom("22F195", "7E1"));
    EXPECT_EQ(place(pairing, partNumber), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 1u);
    pairing.resynchronise(readFrom("22F195", "7E1")); // asked again: in step once more
    pairing.sending(readFrom("22F187", "7E0"));
    EXPECT_EQ(place(pairing, partNumber), Destination::current);
    pairing.resynchronise(readFrom("22F187", "7E0"));

    // Another ECU's "response pending" keeps no line owed; a lost line's own is no count off.
    pairing.sending(readFrom("22F187", "7E1"));
    EXPECT_EQ(place(pairing, "7E9 03 7F 22 31\r7E8 03 7F 22 78"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 0u);
    pairing.exchangeEnded();
    lost(readFrom("22F187", "7E0"));
    probed();
    pairing.sending(readFrom("22F190", "7E1"));
    EXPECT_EQ(place(pairing, "7E8 03 7F 22 78"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "7E8 06 62 F1 87 41 42 43"), Destination::tooMany);
    EXPECT_EQ(place(pairing, "7E8 06 62 F1 87 41 42 43"), Destination::current);
    // Another ECU's follow-up message is no answer of the line.
    EXPECT_EQ(place(pairing, "7E8 03 7F 22 78\r7E8 06 62 F1 90 41 42 43"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 1u);
    pairing.resynchronise();

    // Out of step, the owed line to the request an ECU's message names takes it, late.
    lost(readFrom("22F187", "7E1"));
    pairing.sending(readFrom("22F195", "7E1"));
    EXPECT_EQ(place(pairing, partNumber), Destination::late);
    EXPECT_EQ(place(pairing, "7E9 05 62 F1 95 31 30"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 0u);
    pairing.exchangeEnded();

    // "Response pending" is a read's own only when it names the read's service; and only the first
    // ECU's later messages answer a read to no ECU in particular.
    pairing.sending(request("0105"));
    EXPECT_EQ(place(pairing, "7E8 03 7F 19 78"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 0u);
    pairing.exchangeEnded();
    pairing.sending(request("0105"));
    EXPECT_EQ(place(pairing, "7E8 03 7F 01 78\r7E9 03 7F 01 78\r7E9 03 41 05 20"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 1u);
    EXPECT_EQ(place(pairing, "7E8 03 41 05 20"), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 0u);
    pairing.exchangeEnded();

    // Two reads alike to two ECUs: the later one's answer passes the earlier, never settling it.
    lost(readFrom("22F187", "7E0"));
    pairing.sending(readFrom("22F187", "7E1"));
    EXPECT_EQ(place(pairing, partNumber), Destination::current);
    EXPECT_EQ(pairing.owedCount(), 0u);
}

// A command the session did not send, the step not found, changes nothing it believes of the
// adapter; and a monitor start that fails under a tripped silence watch still gives the lock back.
TEST(ELM327SessionBusyAdapterTest, WhatIsNotSentChangesNothingAndAFailedStartFreesTheLock) {
    std::atomic<bool> mute{false};
    SessionRig rig([&](const std::string& line) -> Lines {
        if (mute || line == "010C") return {};
        return {(line == "ATI" ? "ELM327 v1.5" : "OK") + std::string("\r\r>")};
    });
    rig.session->raw("ATH1");
    rig.session->raw("ATSP6");
    EXPECT_TRUE(rig.session->query(TransmitHeader::any(), OBDCommand(0x0C)).isSilence());
    mute = true;
    for (const std::string_view unsent : {"ATSP9", "ATZ"}) EXPECT_TRUE(rig.session->raw(unsent).isSilence());
    EXPECT_EQ(rig.session->protocolNumber(), "6");
    EXPECT_EQ(rig.session->format(), FrameFormat::can11);
    {
        const ELM327Session::SilenceWatch watch = rig.session->watchSilence(1ms);
        EXPECT_THROW(rig.session->raw("ATE0"), AdapterSilent);
        EXPECT_THROW(rig.session->startMonitoring(), AdapterSilent);
    }
    const Lines lines = rig.transport->lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "ATSP9") + std::count(lines.begin(), lines.end(), "ATZ"), 0);
    mute = false;
    auto other = std::async(std::launch::async, [&] { return rig.session->raw("ATI").text; });
    ASSERT_EQ(other.wait_for(20s), std::future_status::ready) << "the lock was kept";
    EXPECT_EQ(other.get(), Lines{"ELM327 v1.5"});
    EXPECT_NO_THROW(rig.session->startMonitoring());
    rig.session->stopMonitoring();
}

} // namespace
} // namespace veq
