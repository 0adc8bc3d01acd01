#pragma once

#include "app/shell.h"

#include <string>

namespace zb::app {

// The four directories the options dialog lets the user choose.
enum class TDirectoryKind { destination, patch, sample, playlist };

// How the chooser for one kind of directory looks and where it keeps its position in ZB.INI
// (section Positions).
struct TDirectoryChooserSetup {
    const char* caption;
    const char* filter; // description|pattern pairs for the file list's filter selector
    const char* topKey;
    const char* leftKey;
};

inline constexpr TDirectoryChooserSetup kDestinationChooser{
    "Destination WAV directory", "WAV files (*.WAV)|*.WAV|All files (*.*)|*.*", "SongDirTop",
    "SongDirLeft"};
inline constexpr TDirectoryChooserSetup kPatchChooser{"Patch (PRG) directory",
                                                      "PRG files (*.PRG)|*.PRG|All files (*.*)|*.*",
                                                      "PRGdirTop", "PRGdirLeft"};
inline constexpr TDirectoryChooserSetup kSampleChooser{
    "Sample WAV directory", "WAV files (*.WAV)|*.WAV|All files (*.*)|*.*", "WAVdirTop",
    "WAVdirLeft"};
inline constexpr TDirectoryChooserSetup kPlaylistChooser{
    "Playlist (ZbL) directory", "ZbL files (*.ZbL)|*.ZbL|All files (*.*)|*.*", "ZbLdirTop",
    "ZbLdirLeft"};

constexpr const TDirectoryChooserSetup& directoryChooserSetup(TDirectoryKind kind) {
    switch (kind) {
    case TDirectoryKind::destination:
        return kDestinationChooser;
    case TDirectoryKind::patch:
        return kPatchChooser;
    case TDirectoryKind::sample:
        return kSampleChooser;
    case TDirectoryKind::playlist:
        break;
    }
    return kPlaylistChooser;
}

// The rules of the directory chooser (selectDirectory). The window shows editText() in its edit
// line and listDirectory() in its directory list, forwards typing, Enter, clicks and list
// navigation, and after OK or Cancel hands result() to the caller: empty means "keep yours".
// Directories are created on the user's word with every missing parent; a failure is reported,
// never thrown.
class TDirectoryChooserModel final {
public:
    // The directory list starts where the process's working directory is, as the platform's
    // directory list does, until the edit check moves it.
    TDirectoryChooserModel(std::string startDirectory, Shell& shell);

    const std::string& editText() const { return editText_; }
    const std::string& listDirectory() const { return listDirectory_; }
    const std::string& result() const { return result_; }

    // Shows the start directory in the edit line and checks it.
    void activate();
    void setEditText(const std::string& text) { editText_ = text; }
    // A click into the edit line or Enter there: an existing (or newly created) directory is
    // shown in the list; otherwise the edit line goes back to the list's directory.
    void editCheck();
    // The user moved the directory list (or changed drive).
    void listDirectoryChanged(const std::string& directory);
    void ok();
    void cancel() { result_.clear(); }
    // The chooser belongs to the options: F1 opens their page.
    void help() { shell.help(helpOptions); }

private:
    // Asks whether to create path and does so; true when it exists afterwards.
    bool offerToCreate(const std::string& path);

    Shell& shell;
    std::string startDirectory;
    std::string editText_;
    std::string listDirectory_;
    std::string result_;
};

} // namespace zb::app
