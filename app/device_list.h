#pragma once

#include "app/shell.h"
#include "synth/audio_output.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zb::app {

inline constexpr const char* kDeviceDialogCaption = "waveOut device";
inline constexpr const char* kDeviceGroupCaption = "Audio Device";
inline constexpr std::size_t kDeviceNameMax = 31; // characters, as the device list has room for

// One line of the device dialog.
struct TDeviceNode {
    std::int32_t number = 0;
    std::string name;
};
using TDeviceList = std::vector<TDeviceNode>;

// The devices that can play the synthesizer's 22,050 Hz 16-bit output, by descending device
// number; a device's number is its index in devices. Names are cut to kDeviceNameMax characters
// (UTF-8 sequences are never split).
TDeviceList buildDeviceList(const std::vector<synth::TAudioDevice>& devices);
inline TDeviceList buildDeviceList(synth::AudioOutput& output) {
    return buildDeviceList(output.devices());
}

// The rules of the output device dialog. The window shows devices() with selectedLine() marked
// and forwards activation, line clicks, OK and Cancel; applyTo then updates the setting.
class TDeviceDialogModel final {
public:
    TDeviceDialogModel(TDeviceList devices, std::int32_t current, Shell& shell);

    const TDeviceList& devices() const { return devices_; }
    int selectedLine() const { return selected; } // -1: none
    std::int32_t result() const { return result_; }

    // False when no device qualifies: the message has been shown and the window closes at once.
    // Otherwise the current device's line is selected when it is listed.
    bool activate();
    void selectLine(int line); // out-of-range lines clear the selection
    void ok();                 // the selected line's device, the first line's when none
    void cancel();
    // The device dialog belongs to the options: F1 opens their page.
    void help() { shell.help(helpOptions); }
    // A result of 0 or more that differs from waveOutDevice replaces it; -1 (cancel, or the
    // platform's default) is never chosen here.
    void applyTo(std::int32_t& waveOutDevice) const;

private:
    TDeviceList devices_;
    std::int32_t current;
    Shell& shell;
    int selected = -1;
    std::int32_t result_ = -1;
};

} // namespace zb::app
