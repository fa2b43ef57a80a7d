#pragma once

#include "VEQUI/Model/Dialogs.hpp"

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace veq::testing {

// The dialogs of the tests: every question is recorded, and answered from what the test queued
// beforehand (a cancelled panel, a refused confirmation once the queue is empty).
class RecordingDialogs final : public Dialogs {
public:
    std::deque<std::optional<std::filesystem::path>> saveAnswers;
    std::deque<bool> confirmAnswers;
    // Runs while a confirmation is up, as events reaching a real modal dialog's loop would.
    std::function<void()> whileConfirming;
    // Runs while a save panel is up, the same way.
    std::function<void()> whileChoosing;

    std::vector<SaveRequest> saveRequests;
    std::vector<Confirmation> confirmations;
    std::vector<Message> messages;

    std::optional<std::filesystem::path> chooseSaveLocation(const SaveRequest& request) override {
        saveRequests.push_back(request);
        if (whileChoosing) whileChoosing();
        if (saveAnswers.empty()) return std::nullopt;
        auto answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }

    bool confirm(const Confirmation& confirmation) override {
        confirmations.push_back(confirmation);
        if (whileConfirming) whileConfirming();
        if (confirmAnswers.empty()) return false;
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }

    void showMessage(const Message& message) override { messages.push_back(message); }
};

} // namespace veq::testing
