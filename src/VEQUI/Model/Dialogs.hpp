#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace veq {

// Every modal question the application asks: a save panel, a confirmation, a message. The
// model and the screens reach them only through this interface, so that the application shows
// real dialogs and tests answer them. Called on the GUI thread only; each call returns once the
// user has answered.
class Dialogs {
public:
    // One choice of file type: "Fichier MDF 4.10" and the extension without its dot, "mf4".
    struct FileType {
        std::string description;
        std::string extension;

        bool operator==(const FileType&) const = default;
    };

    struct SaveRequest {
        std::string title;
        std::filesystem::path directory; // where the panel opens
        std::string suggestedName;
        // The types offered, in order; none: any name is accepted.
        std::vector<FileType> types;
        bool canCreateFolders = true;

        bool operator==(const SaveRequest&) const = default;
    };

    struct Confirmation {
        std::string title;
        std::string text;
        std::string confirmLabel;
        std::string cancelLabel;
        bool destructive = false; // the confirming button is drawn as dangerous

        bool operator==(const Confirmation&) const = default;
    };

    struct Message {
        enum class Kind { information, warning, error };

        Kind kind = Kind::information;
        std::string title;
        std::string text;

        bool operator==(const Message&) const = default;
    };

    virtual ~Dialogs() = default;

    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<std::filesystem::path> chooseSaveLocation(const SaveRequest& request) = 0;
    // True when the user confirmed.
    virtual bool confirm(const Confirmation& confirmation) = 0;
    virtual void showMessage(const Message& message) = 0;
};

// Answers every question as a user who closes each dialog would: no file, no confirmation, and
// messages unread. Stands in until the application supplies its real dialogs.
class DismissingDialogs final : public Dialogs {
public:
    std::optional<std::filesystem::path> chooseSaveLocation(const SaveRequest&) override { return std::nullopt; }
    bool confirm(const Confirmation&) override { return false; }
    void showMessage(const Message&) override {}
};

} // namespace veq
