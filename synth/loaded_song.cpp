#include "synth/loaded_song.h"

#include <exception>
#include <new>

namespace zb::synth {

TLoadError TLoadedSong::openEngine(AudioOutput& device, AudioOutput::TBufferDone onBufferDone,
                                   int deviceNumber, TOutputBuffers& buffers,
                                   AudioOutput::TTick onTick) {
    engine_.reset();
    try {
        engine_ = std::make_unique<TSynth>(device, std::move(onBufferDone), deviceNumber, buffers,
                                           std::move(onTick));
    } catch (const std::bad_alloc&) {
        return {TLoadFailure::memory, "Memory allocation error!"};
    }
    if (!engine_->deviceOpen) {
        const bool deviceFailed = engine_->deviceError;
        engine_.reset();
        if (!deviceFailed)
            return {TLoadFailure::memory, "Memory allocation error!"};
        return {TLoadFailure::device, "waveOut device error!"};
    }
    attach();
    return {};
}

TLoadError TLoadedSong::compile(const std::string& fileName, const TSongSettings& settings) {
    std::string message;
    compiler::TSampleList samples;
    compiler::TSong song;
    std::int32_t length = 0;
    try {
        compiler::compileSong(
            fileName, settings.prgDir, settings.drums, settings.defaultTo0, settings.legacyMode,
            samples, song, length,
            [&message](std::int32_t, const std::string& text) {
                if (message.empty())
                    message = text;
            },
            settings.controls);
    } catch (const std::exception&) {
        // The file layer failed while reading (a file that vanished or a device error).
        return {TLoadFailure::readError, "Error reading file " + fileName};
    }
    if (!message.empty())
        return {TLoadFailure::compile, message};
    if (samples.empty() || song.empty())
        return {TLoadFailure::noNotes, {}};
    samples_ = std::move(samples);
    song_ = std::move(song);
    length_ = length;
    attach();
    return {};
}

void TLoadedSong::attach() {
    if (engine_ && !song_.empty()) {
        engine_->voices = std::move(song_);
        song_.clear(); // a moved-from vector is valid but unspecified
    }
}

TLoadError TLoadedSong::loadSamples(const TSongSettings& settings, const TMessageSink& status) {
    std::string message;
    const auto showError = [&message](const std::string& text) { message = text; };
    if (!engine_ ||
        !engine_->loadWAVs(samples_, settings.prgDir, settings.wavDir, status, showError))
        return {TLoadFailure::samples, message};
    return {};
}

void TLoadedSong::rewind() {
    engine_->playPos = 0;
    engine_->sync();
}

void TLoadedSong::unload() {
    // The voices read the sample data: the engine stops using it before it goes.
    if (engine_)
        engine_->activeVoices.clear();
    samples_.clear();
    engine_.reset();
    song_.clear();
    length_ = 0;
}

} // namespace zb::synth
