#include "app/options_dialog_model.h"

#include <utility>

namespace zb::app {
namespace {

// One switch for reading and writing: Options is TOptions or const TOptions.
template <typename Options> auto& directoryField(Options& options, TDirectoryKind kind) {
    switch (kind) {
    case TDirectoryKind::destination:
        return options.destinationDirectory;
    case TDirectoryKind::patch:
        return options.patchDirectory;
    case TDirectoryKind::sample:
        return options.sampleDirectory;
    case TDirectoryKind::playlist:
        break;
    }
    return options.playlistDirectory;
}

} // namespace

TOptionsDialogModel::TOptionsDialogModel(TOptions& mainOptions, Shell& shell)
    : mainOptions(mainOptions), shell(shell), copy(mainOptions) {}

bool TOptionsDialogModel::toggle(TOptionToggle toggle) const {
    switch (toggle) {
    case TOptionToggle::defaultTo0:
        return copy.defaultTo0;
    case TOptionToggle::saturate:
        return copy.saturate;
    case TOptionToggle::legacyMode:
        break;
    }
    return copy.legacyMode;
}

void TOptionsDialogModel::setToggle(TOptionToggle toggle, bool down) {
    switch (toggle) {
    case TOptionToggle::defaultTo0:
        copy.defaultTo0 = down;
        return;
    case TOptionToggle::saturate:
        copy.saturate = down;
        return;
    case TOptionToggle::legacyMode:
        copy.legacyMode = down;
        return;
    }
}

const std::string& TOptionsDialogModel::directory(TDirectoryKind kind) const {
    return directoryField(copy, kind);
}

TDirectoryChooserModel TOptionsDialogModel::directoryChooser(TDirectoryKind kind) const {
    return TDirectoryChooserModel(directory(kind), shell);
}

void TOptionsDialogModel::directoryChosen(TDirectoryKind kind, const std::string& chosen) {
    if (!chosen.empty())
        directoryField(copy, kind) = chosen;
}

TDeviceDialogModel TOptionsDialogModel::deviceDialog(TDeviceList devices) const {
    return TDeviceDialogModel(std::move(devices), copy.waveOutDevice, shell);
}

void TOptionsDialogModel::deviceDialogClosed(const TDeviceDialogModel& dialog) {
    dialog.applyTo(copy.waveOutDevice);
}

void TOptionsDialogModel::helpBtnClick() {
    shell.help(helpOptions);
}

void TOptionsDialogModel::ok() {
    mainOptions = copy;
}

} // namespace zb::app
