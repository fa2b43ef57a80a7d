#pragma once

#include "VEQUI/Views/Kit/FileExporter.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace veq {

class AppModel;

// The save that follows every export once its bytes exist: a save panel offering `suggestedName`
// as `type`; a refusal, told with the file exporter's message, for a destination the application
// keeps (its drives, the catalogue and the files beside them) or that is `source` itself (the
// file the bytes were made from, when there is one); then the write, off the GUI thread, whole or
// not at all: a failure is told the same way and leaves any file there as it was. `finished` runs
// on the GUI thread once it is over, whatever the outcome, with the file written (nothing when
// cancelled, refused or failed).
void saveInBackground(AppModel& model, std::shared_ptr<const std::string> data, const std::string& suggestedName,
                      const FileExporter::ContentType& type, const std::optional<std::filesystem::path>& source,
                      std::function<void(std::optional<std::filesystem::path> written)> finished = {});

} // namespace veq
