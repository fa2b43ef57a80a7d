#include "VEQUI/Views/Kit/FileExporter.hpp"

#include "VEQSupport/AtomicFile.hpp"
#include "VEQSupport/Error.hpp"
#include "VEQUI/Views/Kit/DesktopFileManager.hpp"

namespace veq::FileExporter {

namespace fs = std::filesystem;

namespace {

Dialogs::SaveRequest saveRequest(const std::string& suggestedName, const std::optional<ContentType>& contentType) {
    Dialogs::SaveRequest request;
    request.suggestedName = suggestedName;
    if (contentType) request.types = {*contentType};
    return request;
}

// Copies `source` beside `destination`, then renames the copy over it: the old file stays whole
// until the copy is complete. Throws veq::Error with a French description.
void copyIntoPlace(const fs::path& source, const fs::path& destination) {
    const fs::path temporary = temporaryPathBeside(destination);
    std::error_code error;
    if (!fs::copy_file(source, temporary, fs::copy_options::none, error)) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw Error("Copie impossible de « " + source.string() + " » : " + error.message());
    }
    commitTemporaryFile(temporary, destination);
}

// Tells why `destination` is refused, when it is.
bool refused(Dialogs& dialogs, const Refusal& refusal, const fs::path& destination) {
    const std::optional<std::string> reason = refusal ? refusal(destination) : std::nullopt;
    if (reason) tellFailure(dialogs, *reason);
    return reason.has_value();
}

} // namespace

bool isSameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

std::optional<fs::path> askDestination(Dialogs& dialogs, const std::string& suggestedName,
                                      const std::optional<ContentType>& contentType) {
    return dialogs.chooseSaveLocation(saveRequest(suggestedName, contentType));
}

void tellFailure(Dialogs& dialogs, const std::string& reason) {
    dialogs.showMessage({Dialogs::Message::Kind::error, {}, "Enregistrement impossible : " + reason});
}

void save(Dialogs& dialogs, std::string_view data, const std::string& suggestedName,
          const std::optional<ContentType>& contentType, const Refusal& refusal) {
    const auto destination = askDestination(dialogs, suggestedName, contentType);
    if (!destination || refused(dialogs, refusal, *destination)) return;
    try {
        writeFileAtomically(*destination, data);
    } catch (const std::exception& failure) {
        tellFailure(dialogs, failure.what());
    }
}

void saveCopy(Dialogs& dialogs, const fs::path& source, const std::string& suggestedName,
              const std::optional<ContentType>& contentType, const Refusal& refusal) {
    const auto destination = askDestination(dialogs, suggestedName, contentType);
    if (!destination || isSameFile(source, *destination) || refused(dialogs, refusal, *destination)) return;
    try {
        copyIntoPlace(source, *destination);
    } catch (const std::exception& failure) {
        tellFailure(dialogs, failure.what());
    }
}

std::optional<fs::path> chooseDestination(Dialogs& dialogs, const std::string& suggestedName,
                                         const std::optional<fs::path>& directory,
                                         const std::vector<ContentType>& contentTypes) {
    Dialogs::SaveRequest request;
    request.suggestedName = suggestedName;
    request.directory = directory.value_or(fs::path());
    request.types = contentTypes;
    request.canCreateFolders = true;
    return dialogs.chooseSaveLocation(request);
}

RevealRequest revealRequest(const fs::path& item) {
    std::error_code error;
    const bool folder = fs::is_directory(item, error);
    return {folder && !error ? RevealRequest::Kind::openFolder : RevealRequest::Kind::selectItem, item};
}

void reveal(const fs::path& item) {
    const RevealRequest request = revealRequest(item);
    if (request.kind == RevealRequest::Kind::openFolder) {
        DesktopFileManager::openFolder(request.path);
    } else {
        DesktopFileManager::selectItem(request.path);
    }
}

} // namespace veq::FileExporter
