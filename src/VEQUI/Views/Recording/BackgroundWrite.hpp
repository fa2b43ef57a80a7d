#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace veq {

class AppModel;

// Writes a finished export to the file the user chose, off the GUI thread, whole or not at all: a
// failure is told with the file exporter's message and leaves any file there as it was.
// `finished` runs on the GUI thread once the write is over, whatever the outcome, with the file
// written (nothing when the write failed).
void writeInBackground(AppModel& model, std::shared_ptr<const std::string> data, std::filesystem::path destination,
                       std::function<void(std::optional<std::filesystem::path> written)> finished = {});

} // namespace veq
