#include "app/device_list.h"

#include <utility>

namespace zb::app {
namespace {

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

// Cuts after maxChars characters, counting UTF-8 sequences as one: device names come from the
// platform in UTF-8 and a split sequence would show as garbage.
std::string truncateName(const std::string& name, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (isContinuationByte(name[i]))
            continue;
        if (chars == maxChars)
            return name.substr(0, i);
        ++chars;
    }
    return name;
}

} // namespace

TDeviceList buildDeviceList(const std::vector<synth::TAudioDevice>& devices) {
    TDeviceList list;
    for (std::size_t i = devices.size(); i-- > 0;) {
        if (devices[i].supports22k16bit)
            list.push_back(
                {static_cast<std::int32_t>(i), truncateName(devices[i].name, kDeviceNameMax)});
    }
    return list;
}

TDeviceDialogModel::TDeviceDialogModel(TDeviceList devices, std::int32_t current, Shell& shell)
    : devices_(std::move(devices)), current(current), shell(shell) {}

bool TDeviceDialogModel::activate() {
    if (devices_.empty()) {
        shell.showError("No compatible waveOut devices!");
        result_ = -1;
        return false;
    }
    if (current >= 0) {
        for (std::size_t line = 0; line < devices_.size(); ++line) {
            if (devices_[line].number == current)
                selected = static_cast<int>(line);
        }
    }
    return true;
}

void TDeviceDialogModel::selectLine(int line) {
    selected = line >= 0 && static_cast<std::size_t>(line) < devices_.size() ? line : -1;
}

void TDeviceDialogModel::ok() {
    if (devices_.empty()) {
        result_ = -1;
        return;
    }
    result_ = devices_[static_cast<std::size_t>(selected >= 0 ? selected : 0)].number;
}

void TDeviceDialogModel::cancel() {
    result_ = -1;
}

void TDeviceDialogModel::applyTo(std::int32_t& waveOutDevice) const {
    if (result_ >= 0 && result_ != waveOutDevice)
        waveOutDevice = result_;
}

} // namespace zb::app
