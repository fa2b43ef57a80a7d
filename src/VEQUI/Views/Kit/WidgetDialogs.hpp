#pragma once

#include "VEQUI/Model/Dialogs.hpp"

class QFileDialog;

namespace veq {

// Sets up a save panel for a request: the suggested name, the starting folder, the types offered
// (the first one's extension added to a name typed without one, and the chosen type's after a
// change) and whether folders may be created.
void configureSavePanel(QFileDialog& panel, const Dialogs::SaveRequest& request);

// The application's real dialogs: Qt's save panel and message boxes, modal over the active window.
class WidgetDialogs final : public Dialogs {
public:
    std::optional<std::filesystem::path> chooseSaveLocation(const SaveRequest& request) override;
    bool confirm(const Confirmation& confirmation) override;
    void showMessage(const Message& message) override;
};

} // namespace veq
