#pragma once

#include "VEQUI/Model/Dialogs.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the screens hand a finished export to the user: a save panel and the file written there,
// or an existing file or folder shown in the desktop's file manager. Panels and messages go
// through the dialog interface, so that tests answer them.
namespace veq::FileExporter {

// A file type of a panel: "Trace CAN (ASC)" and "asc". None: any name and extension.
using ContentType = Dialogs::FileType;

// The type the report's PDF is offered under.
inline ContentType pdfDocument() { return {"Document PDF", "pdf"}; }

// Why a chosen destination must not be written, if it must not: for the screens, the files the
// application keeps (`AppModel::keptFileRefusal`); an empty one refuses nothing.
using Refusal = std::function<std::optional<std::string>(const std::filesystem::path& destination)>;

// Asks where to save `data` and writes it there whole: an existing file is replaced only once the
// new one is complete. A failure, or a destination that `refusal` names, is told to the user
// ("Enregistrement impossible : " and the reason) and leaves the file there as it was.
void save(Dialogs& dialogs, std::string_view data, const std::string& suggestedName,
          const std::optional<ContentType>& contentType, const Refusal& refusal);

// The two halves of save(), for a caller that writes off the GUI thread: the panel as save()
// sets it up, then the message save() gives when the write fails.
std::optional<std::filesystem::path> askDestination(Dialogs& dialogs, const std::string& suggestedName,
                                                    const std::optional<ContentType>& contentType);
void tellFailure(Dialogs& dialogs, const std::string& reason);

// Asks where to save a copy of `source` and copies it there the same way: the copy goes to a
// temporary file beside the destination, then takes its place. Choosing the source itself does
// nothing; a refused destination is told and left untouched. The source stays in place.
void saveCopy(Dialogs& dialogs, const std::filesystem::path& source, const std::string& suggestedName,
              const std::optional<ContentType>& contentType, const Refusal& refusal);

// Whether both paths name one existing file (links included).
bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// A save panel that allows creating folders, opening in `directory` when given and offering
// exactly `contentTypes` when there are any. The chosen file, or nothing when cancelled.
std::optional<std::filesystem::path> chooseDestination(Dialogs& dialogs, const std::string& suggestedName,
                                                      const std::optional<std::filesystem::path>& directory,
                                                      const std::vector<ContentType>& contentTypes);

// What showing an item asks of the file manager: a folder is opened; anything else (a file, or a
// path whose kind cannot be read) is selected in a window of its parent folder.
struct RevealRequest {
    enum class Kind { openFolder, selectItem };

    Kind kind = Kind::selectItem;
    std::filesystem::path path;

    bool operator==(const RevealRequest&) const = default;
};

RevealRequest revealRequest(const std::filesystem::path& item);

// Shows a file or folder in the desktop's file manager.
void reveal(const std::filesystem::path& item);

inline constexpr bool canReveal() { return true; }

} // namespace veq::FileExporter
