#include "app/directory_chooser_model.h"

#include "app/paths.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace zb::app {

TDirectoryChooserModel::TDirectoryChooserModel(std::string startDirectory, Shell& shell)
    : shell(shell), startDirectory(std::move(startDirectory)) {
    result_ = this->startDirectory;
    std::error_code ec;
    listDirectory_ = std::filesystem::current_path(ec).string();
}

void TDirectoryChooserModel::activate() {
    editText_ = startDirectory;
    editCheck();
}

bool TDirectoryChooserModel::offerToCreate(const std::string& path) {
    if (!shell.ask("Directory doesn't exist. Create?"))
        return false;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    // Judged by the outcome rather than by ec: a trailing separator makes some libraries report
    // an error for a directory they did create.
    if (directoryExists(path))
        return true;
    shell.showError("Failed to create directory!");
    return false;
}

void TDirectoryChooserModel::editCheck() {
    if (directoryExists(editText_) || offerToCreate(editText_))
        listDirectory_ = editText_;
    else
        editText_ = listDirectory_;
}

void TDirectoryChooserModel::listDirectoryChanged(const std::string& directory) {
    listDirectory_ = directory;
    editText_ = directory;
}

void TDirectoryChooserModel::ok() {
    result_.clear();
    if (editText_.empty() || directoryExists(editText_) || offerToCreate(editText_))
        result_ = editText_;
}

} // namespace zb::app
