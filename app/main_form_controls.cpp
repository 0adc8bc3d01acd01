// The musician's controls of the loaded song: its recompilation in the background and the
// hand-over at the same musical position.
#include "app/main_form.h"
#include "app/paths.h"

#include <chrono>
#include <thread>

namespace zb::app {

synth::TSongSettings TmainForm::songSettings() const {
    return {options.patchDirectory, options.sampleDirectory, drumGridForCompile(*options.drumTable),
            options.defaultTo0,     options.legacyMode,      songControls};
}

void TmainForm::setSongControls(const compiler::TCompileOptions& controls) {
    const compiler::TCompileOptions clamped = controls.clamped();
    if (clamped == songControls)
        return;
    songControls = clamped;
    if (!synth() || currentSong.empty())
        return;
    if (rebuild)
        rebuildAgain = true; // its result is out of date: the newest controls follow it
    else
        startSongRebuild();
}

void TmainForm::startSongRebuild() {
    rebuildAgain = false;
    rebuild = std::make_unique<TSongRebuild>(currentSong, songSettings());
}

bool TmainForm::songRebuildTick() {
    if (!rebuild)
        return false;
    if (!rebuild->finished())
        return true;
    const auto done = std::move(rebuild);
    if (rebuildAgain) {
        startSongRebuild();
        return true;
    }
    auto& built = done->built();
    if (!built.error.ok()) {
        setStatus("Can't apply the channel settings: " +
                  (built.error.message.empty() ? "no notes would sound." : built.error.message));
        // The controls show what plays.
        songControls = loadedControls;
        messageShown = true;
        view.repaint();
        return false;
    }
    // Every tempo of the map is divided by the same factor, so a position of the old speed
    // maps to the same beat of the new one by the ratio of the two speeds.
    const std::int64_t oldPercent = loadedControls.tempoPercent;
    const std::int64_t newPercent = done->controls().tempoPercent;
    loaded.replace(std::move(built), [oldPercent, newPercent](std::int64_t position) {
        return position * oldPercent / newPercent;
    });
    songLength = loaded.length();
    facts = std::move(done->facts());
    loadedControls = done->controls();
    showProgress();
    view.repaint();
    return false;
}

void TmainForm::finishSongRebuild() {
    while (songRebuildTick())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::int64_t TmainForm::heardBytes() const {
    return synth() ? synth()->heardPos() : 0;
}

int TmainForm::channelLevel(int slot) const {
    if (!synth() || stopped || paused || slot < 1 || slot > compiler::kSlotCount ||
        !songControls.sounds(slot))
        return 0;
    return slotLevel(facts, slot, heardBytes());
}

} // namespace zb::app
