#include "VEQUI/Views/Recording/BackgroundWrite.hpp"

#include "VEQSupport/AtomicFile.hpp"
#include "VEQUI/Model/AppModel.hpp"

#include <optional>
#include <stop_token>

namespace veq {

namespace {

using Finished = std::function<void(std::optional<std::filesystem::path> written)>;

// Why `destination` may not be written, if it may not.
std::optional<std::string> refusalOf(const AppModel& model, const std::filesystem::path& destination,
                                     const std::optional<std::filesystem::path>& source) {
    // The drives and the catalogue are the application's own: an export never replaces one.
    if (auto refusal = model.keptFileRefusal(destination)) return refusal;
    if (source && FileExporter::isSameFile(destination, *source)) {
        return "« " + destination.filename().string() + " » est le fichier exporté ; choisissez un autre fichier.";
    }
    return std::nullopt;
}

void writeInBackground(AppModel& model, std::shared_ptr<const std::string> data, std::filesystem::path destination,
                       Finished finished) {
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

} // namespace

void saveInBackground(AppModel& model, std::shared_ptr<const std::string> data, const std::string& suggestedName,
                      const FileExporter::ContentType& type, const std::optional<std::filesystem::path>& source,
                      Finished finished) {
    const auto destination = FileExporter::askDestination(model.dialogs(), suggestedName, type);
    const auto refusal = destination ? refusalOf(model, *destination, source) : std::nullopt;
    if (refusal) FileExporter::tellFailure(model.dialogs(), *refusal);
    if (!destination || refusal) {
        if (finished) finished(std::nullopt);
        return;
    }
    writeInBackground(model, std::move(data), *destination, std::move(finished));
}

} // namespace veq
