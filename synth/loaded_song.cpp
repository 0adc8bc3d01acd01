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

namespace {

TBuiltSong compileOnly(const std::string& fileName, const TSongSettings& settings) {
    TBuiltSong built;
    std::string message;
    try {
        compiler::compileSong(
            fileName, settings.prgDir, settings.drums, settings.defaultTo0, settings.legacyMode,
            built.samples, built.song, built.length,
            [&message](std::int32_t, const std::string& text) {
                if (message.empty())
                    message = text;
            },
            settings.controls);
    } catch (const std::exception&) {
        // The file layer failed while reading (a file that vanished or a device error).
        return {{}, {}, 0, {TLoadFailure::readError, "Error reading file " + fileName}};
    }
    if (!message.empty())
        return {{}, {}, 0, {TLoadFailure::compile, message}};
    if (built.samples.empty() || built.song.empty())
        return {{}, {}, 0, {TLoadFailure::noNotes, {}}};
    return built;
}

} // namespace

TBuiltSong buildSong(const std::string& fileName, const TSongSettings& settings) {
    TBuiltSong built = compileOnly(fileName, settings);
    if (!built.error.ok())
        return built;
    std::string message;
    if (!loadSampleData(built.samples, settings.prgDir, settings.wavDir, {},
                        [&message](const std::string& text) { message = text; }))
        return {{}, {}, 0, {TLoadFailure::samples, message}};
    return built;
}

TLoadError TLoadedSong::compile(const std::string& fileName, const TSongSettings& settings) {
    TBuiltSong built = compileOnly(fileName, settings);
    if (!built.error.ok())
        return built.error;
    samples_ = std::move(built.samples);
    song_ = std::move(built.song);
    length_ = built.length;
    attach();
    return {};
}

void TLoadedSong::replace(TBuiltSong built,
                          const std::function<std::int64_t(std::int64_t)>& newPosition) {
    // The engine lets go of the old voices before their records are released.
    engine_->replaceSong(std::move(built.song), newPosition);
    samples_ = std::move(built.samples);
    length_ = built.length;
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
