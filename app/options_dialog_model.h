#pragma once

#include "app/device_list.h"
#include "app/directory_chooser_model.h"
#include "app/drum_dialog_model.h"
#include "app/options.h"
#include "app/shell.h"

#include <array>
#include <string>

namespace zb::app {

inline constexpr const char* kOptionsDialogCaption = "Options";
inline constexpr const char* kInstrumentsCaption = "Instruments";
inline constexpr const char* kInstrumentsHint =
    "SoundFont the instruments are imported from (once; the next song plays with them)";
inline constexpr const char* kKeepInstruments = "Keep the current instruments";
inline constexpr const char* kOtherSoundFont = "Other...";

// The options dialog's controls, in the order of kOptionsControls.
enum class TOptionsControl {
    dstBtn,
    waveOutBtn,
    drumBtn,
    prgBtn,
    wavBtn,
    zblBtn,
    defaultBtn,
    truncBtn,
    legacyBtn,
    helpBtn,
};

struct TOptionsControlText {
    TOptionsControl control;
    const char* caption;
    const char* hint; // "" when the control has none
};

inline constexpr std::array<TOptionsControlText, 10> kOptionsControls{{
    {TOptionsControl::dstBtn, "Destination directory", "Destination directory for recorded WAVs"},
    {TOptionsControl::waveOutBtn, "waveOut device", "waveOut device for emulated wavetable output"},
    {TOptionsControl::drumBtn, "Drum tracks", "Tracks and channels used for drums & percussion"},
    {TOptionsControl::prgBtn, "Patch directory", "PRG (instrument patch) directory"},
    {TOptionsControl::wavBtn, "Sample directory", "WAV (instrument samples) directory"},
    {TOptionsControl::zblBtn, "Playlist directory", "Playlist (ZbL) directory"},
    {TOptionsControl::defaultBtn, "Default to [D]0.PRG",
     "Default to program number 0 when a PRG (instrument patch) is not found"},
    {TOptionsControl::truncBtn, "Saturate gracefully",
     "Check for and correct output samples out of 16 bit range"},
    {TOptionsControl::legacyBtn, "Legacy mode", "Use Zorbel 1.x sound level formulas"},
    {TOptionsControl::helpBtn, "Help", ""},
}};

constexpr const TOptionsControlText& optionsControlText(TOptionsControl control) {
    return kOptionsControls[static_cast<std::size_t>(control)];
}

enum class TOptionToggle { defaultTo0, saturate, legacyMode };

// The rules of the options dialog. It edits a copy of the main window's settings; ok() puts the
// copy in their place, and dropping the model without ok() is Cancel. The drum table is the one
// thing not copied (TOptions shares it): changes confirmed in the drum dialog stay whatever this
// dialog's outcome, as the user confirmed them there.
//
// The window runs the sub-dialogs it opens from here on the models made by drumDialog,
// deviceDialog and directoryChooser, and reports their outcome back.
class TOptionsDialogModel final {
public:
    // mainOptions must outlive the model; it is only written by ok().
    TOptionsDialogModel(TOptions& mainOptions, Shell& shell);
    TOptionsDialogModel(const TOptionsDialogModel&) = delete;
    TOptionsDialogModel& operator=(const TOptionsDialogModel&) = delete;

    const TOptions& options() const { return copy; }

    bool toggle(TOptionToggle toggle) const;
    void setToggle(TOptionToggle toggle, bool down);

    const std::string& directory(TDirectoryKind kind) const;
    // A chooser starting in the copy's directory of that kind.
    TDirectoryChooserModel directoryChooser(TDirectoryKind kind) const;
    // The chooser's result: an empty one (cancelled, or nothing usable) keeps the directory.
    void directoryChosen(TDirectoryKind kind, const std::string& chosen);

    TDrumDialogModel drumDialog() { return TDrumDialogModel(*copy.drumTable, shell); }

    TDeviceDialogModel deviceDialog(TDeviceList devices) const;
    void deviceDialogClosed(const TDeviceDialogModel& dialog);

    void helpBtnClick();
    void ok();

    // The "Instruments" choice: a SoundFont whose set the player imports and switches to once
    // the dialog closed with OK; empty keeps the current instruments.
    const std::string& chosenFont() const { return font; }
    void chooseFont(const std::string& path) { font = path; }

private:
    TOptions& mainOptions;
    Shell& shell;
    TOptions copy;
    std::string font;
};

} // namespace zb::app
