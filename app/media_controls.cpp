#include "app/media_controls.h"

#include "app/main_form.h"
#include "synth/config.h"

#include <algorithm>
#include <filesystem>

namespace zb::app {

namespace {

std::int64_t bytesToMicroseconds(std::int64_t bytes) {
    return bytes / synth::kBytesPerFrame * 1'000'000 / synth::kOutputRate;
}

} // namespace

bool TMediaControls::playing() const {
    return !form.stopped && !form.paused;
}

// The commands go in as the keyboard's do, so that they clear a failure shown in the status line
// as any other command of the user does.
void TMediaControls::play() {
    if (!playing())
        form.FormKeyUp('P');
}

void TMediaControls::pause() {
    if (playing())
        form.FormKeyUp('A');
}

void TMediaControls::playPause() {
    form.FormKeyUp(playing() ? 'A' : 'P');
}

void TMediaControls::stop() {
    form.FormKeyUp('S');
}

void TMediaControls::next() {
    skip(true);
}

void TMediaControls::previous() {
    skip(false);
}

void TMediaControls::skip(bool forward) {
    const bool wasPlaying = playing();
    const int before = form.current;
    form.FormKeyUp(forward ? 'W' : 'K');
    if (wasPlaying && form.current != before)
        form.FormKeyUp('P');
}

void TMediaControls::open(const std::string& path) {
    form.filesHandedOver({path});
}

double TMediaControls::volume() const {
    return form.display.volumePosition / 10.0;
}

TMediaState TMediaControls::state() const {
    TMediaState state;
    state.status = form.paused    ? TPlaybackStatus::paused
                   : form.stopped ? TPlaybackStatus::stopped
                                  : TPlaybackStatus::playing;
    const auto& entries = form.playList.entries;
    if (form.current >= 1 && static_cast<std::size_t>(form.current) <= entries.size()) {
        state.entry = form.current;
        std::error_code ec;
        const std::filesystem::path file =
            entries[static_cast<std::size_t>(form.current - 1)].fileName;
        const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
        state.path = (ec ? file : absolute).lexically_normal().string();
        state.title = file.stem().string();
    }
    if (form.synth() != nullptr) {
        state.lengthUs = bytesToMicroseconds(form.songLength);
    } else if (form.wavPlayer().isOpen()) {
        state.lengthUs = (form.wavPlayer().length() - form.wavPlayer().start()) * 1000;
    }
    state.canGoNext = form.count > 0 && form.current < form.count;
    state.canGoPrevious = form.count > 0 && form.current > 1;
    return state;
}

std::int64_t TMediaControls::positionUs() const {
    if (synth::TSynth* engine = form.synth())
        return bytesToMicroseconds(engine->heardPos());
    const MediaPlayer& wav = form.wavPlayer();
    if (!wav.isOpen())
        return 0;
    return std::max<std::int64_t>(wav.position() - wav.start(), 0) * 1000;
}

} // namespace zb::app
