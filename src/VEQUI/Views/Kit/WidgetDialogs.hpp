#pragma once

#include "VEQUI/Model/Dialogs.hpp"

#include <QFileIconProvider>

class QFileDialog;

namespace veq {

// Icons and type names from a file's name and kind alone. Qt's own provider, and the desktop
// theme's, read the first bytes of a file whose name says nothing (the session catalogue's store
// and its journal files): opening and closing them drops the POSIX locks SQLite holds on them in
// this process, and another process could then remove the journal the catalogue still uses.
// The panel's listing asks it from a thread of its own: the icons are made up front.
class NameOnlyIconProvider final : public QFileIconProvider {
public:
    NameOnlyIconProvider();

    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;

private:
    QIcon folder_;
    QIcon file_;
    QIcon link_;
};

// Sets up a save panel for a request: Qt's own panel listing with `icons` (which must outlive
// it), the suggested name, the starting folder, the types offered (the first one's extension
// added to a name typed without one, and the chosen type's after a change) and whether folders
// may be created.
void configureSavePanel(QFileDialog& panel, const Dialogs::SaveRequest& request, NameOnlyIconProvider& icons);

// The application's real dialogs: Qt's save panel and message boxes, modal over the active window.
class WidgetDialogs final : public Dialogs {
public:
    std::optional<std::filesystem::path> chooseSaveLocation(const SaveRequest& request) override;
    bool confirm(const Confirmation& confirmation) override;
    void showMessage(const Message& message) override;
};

} // namespace veq
