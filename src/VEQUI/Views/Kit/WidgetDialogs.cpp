#include "VEQUI/Views/Kit/WidgetDialogs.hpp"

#include <QApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QStyle>

namespace veq {

namespace {

const QString kApplicationName = QStringLiteral("Oskavel Car");

QString qs(const std::string& text) { return QString::fromStdString(text); }

QString nameFilter(const Dialogs::FileType& type) {
    return qs(type.description) + QStringLiteral(" (*.") + qs(type.extension) + QStringLiteral(")");
}

} // namespace

NameOnlyIconProvider::NameOnlyIconProvider()
    : folder_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
      file_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)),
      link_(QApplication::style()->standardIcon(QStyle::SP_FileLinkIcon)) {}

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
    if (info.isDir()) return folder_;
    if (info.isSymLink()) return link_;
    return file_;
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
    if (!info.isFile()) return QFileIconProvider::type(info);
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
}

void configureSavePanel(QFileDialog& panel, const Dialogs::SaveRequest& request, NameOnlyIconProvider& icons) {
    // Qt's own panel: a platform panel in this process would read the listed files itself.
    panel.setOption(QFileDialog::DontUseNativeDialog, true);
    panel.setIconProvider(&icons);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setFileMode(QFileDialog::AnyFile);
    panel.setWindowTitle(request.title.empty() ? kApplicationName : qs(request.title));
    panel.setOption(QFileDialog::ReadOnly, !request.canCreateFolders);
    if (!request.directory.empty()) panel.setDirectory(QString::fromStdString(request.directory.string()));

    QStringList filters;
    for (const auto& type : request.types) filters << nameFilter(type);
    panel.setNameFilters(filters);
    panel.setDefaultSuffix(request.types.empty() ? QString() : qs(request.types.front().extension));
    const std::vector<Dialogs::FileType> types = request.types;
    QObject::connect(&panel, &QFileDialog::filterSelected, &panel, [&panel, types](const QString& filter) {
        for (const auto& type : types) {
            if (nameFilter(type) == filter) panel.setDefaultSuffix(qs(type.extension));
        }
    });
    panel.selectFile(qs(request.suggestedName));
}

std::optional<std::filesystem::path> WidgetDialogs::chooseSaveLocation(const SaveRequest& request) {
    NameOnlyIconProvider icons; // outlives the panel, whose listing uses it
    QFileDialog panel(QApplication::activeWindow());
    configureSavePanel(panel, request, icons);
    if (panel.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = panel.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
    return std::filesystem::path(chosen.front().toStdString());
}

bool WidgetDialogs::confirm(const Confirmation& confirmation) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(kApplicationName);
    box.setIcon(confirmation.destructive ? QMessageBox::Warning : QMessageBox::Question);
    box.setText(qs(confirmation.title));
    box.setInformativeText(qs(confirmation.text));
    auto* yes = box.addButton(qs(confirmation.confirmLabel),
                              confirmation.destructive ? QMessageBox::DestructiveRole : QMessageBox::AcceptRole);
    auto* no = box.addButton(qs(confirmation.cancelLabel), QMessageBox::RejectRole);
    // A dangerous action is never the default.
    box.setDefaultButton(confirmation.destructive ? no : yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void WidgetDialogs::showMessage(const Message& message) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(kApplicationName);
    switch (message.kind) {
    case Message::Kind::information: box.setIcon(QMessageBox::Information); break;
    case Message::Kind::warning: box.setIcon(QMessageBox::Warning); break;
    case Message::Kind::error: box.setIcon(QMessageBox::Critical); break;
    }
    if (message.title.empty()) {
        box.setText(qs(message.text));
    } else {
        box.setText(qs(message.title));
        box.setInformativeText(qs(message.text));
    }
    box.exec();
}

} // namespace veq
