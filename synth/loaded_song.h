#pragma once

#include "compiler/compile_song.h"
#include "synth/synth.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zb::synth {

// What a song is loaded with: the compilation's settings and the sample folder.
struct TSongSettings {
    std::string prgDir;
    std::string wavDir;
    compiler::TDrumGrid drums;
    bool defaultTo0 = true;
    bool legacyMode = false;
    compiler::TCompileOptions controls; // mute, solo, speed and transposition
};

enum class TLoadFailure {
    none,
    memory,    // the engine could not be allocated: "Memory allocation error!"
    device,    // the audio device did not open: "waveOut device error!"
    compile,   // the compiler's message
    noNotes,   // the song compiled without a message but has nothing to play
    readError, // the file layer failed while the song was read: "Error reading file " + name
    samples,   // the sample loader's message
};

// The outcome of one loading step; message is empty for noNotes, where the front end words it.
struct TLoadError {
    TLoadFailure failure = TLoadFailure::none;
    std::string message;

    bool ok() const { return failure == TLoadFailure::none; }
};

// A compilation of a song with its sample data loaded, made apart from any engine: a worker
// thread may build it while another compilation of the song plays.
struct TBuiltSong {
    compiler::TSampleList samples;
    compiler::TSong song;
    std::int32_t length = 0;
    TLoadError error;
};
TBuiltSong buildSong(const std::string& fileName, const TSongSettings& settings);

// One loaded MIDI song: its sample records and the engine that plays it, released in the order
// the engine needs (the voices read the sample data, so the engine stops using it first). The
// steps can run in the front end's own order: the player opens the device before it compiles,
// the command line compiles first. Every step returns its failure as a value and throws nothing.
class TLoadedSong final {
public:
    TLoadedSong() = default;
    TLoadedSong(const TLoadedSong&) = delete;
    TLoadedSong& operator=(const TLoadedSong&) = delete;
    ~TLoadedSong() { unload(); }

    // Creates the engine, which opens the device and prepares the buffers.
    TLoadError openEngine(AudioOutput& device, AudioOutput::TBufferDone onBufferDone,
                          int deviceNumber, TOutputBuffers& buffers,
                          AudioOutput::TTick onTick = {});
    // Compiles fileName; the compiled song goes to the engine, now or when it is opened.
    TLoadError compile(const std::string& fileName, const TSongSettings& settings);
    // Loads the samples of the compiled song and connects the engine's voices to them.
    TLoadError loadSamples(const TSongSettings& settings, const TMessageSink& status);
    // Plays built (a successful buildSong of this song) from now on, at the position newPosition
    // maps the old one to (see TSynth::replaceSong); the old records go once the engine has let
    // go of them.
    void replace(TBuiltSong built, const std::function<std::int64_t(std::int64_t)>& newPosition);
    // The play position back to the start, the active list built for it.
    void rewind();
    // Releases the sample records and the engine: nothing is loaded afterwards.
    void unload();

    TSynth* engine() const { return engine_.get(); }
    const compiler::TSampleList& samples() const { return samples_; }
    // The compiled song's length in output bytes.
    std::int32_t length() const { return length_; }

private:
    void attach();

    compiler::TSampleList samples_;
    compiler::TSong song_; // compiled before the engine was opened
    std::int32_t length_ = 0;
    std::unique_ptr<TSynth> engine_; // declared last: destroyed before the samples
};

} // namespace zb::synth
