#include "VEQUI/Views/Recording/BackgroundWrite.hpp"

#include "VEQSupport/AtomicFile.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Views/Kit/FileExporter.hpp"

#include <optional>
#include <stop_token>

namespace veq {

void writeInBackground(AppModel& model, std::shared_ptr<const std::string> data, std::filesystem::path destination,
                       std::function<void(std::optional<std::filesystem::path> written)> finished) {
    model.runInBackground([&model, data = std::move(data), destination = std::move(destination),
                           finished = std::move(finished)](std::stop_token) -> std::function<void()> {
        std::optional<std::string> failure;
        try {
            writeFileAtomically(destination, *data);
        } catch (const std::exception& error) {
            failure = error.what();
        }
        return [&model, failure, destination, finished] {
            if (failure) FileExporter::tellFailure(model.dialogs(), *failure);
            if (finished) finished(failure ? std::nullopt : std::optional(destination));
        };
    });
}

} // namespace veq
