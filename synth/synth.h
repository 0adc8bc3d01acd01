#pragma once

#include "compiler/sample_rec.h"
#include "compiler/song_block.h"
#include "synth/audio_output.h"
#include "synth/config.h"
#include "synth/recorder.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zb::synth {

// The three output buffers. They belong to the owner (the main window, or the renderer) and
// outlive every TSynth; each TSynth clears them and points the device at them.
using TOutputBuffers = std::array<std::array<std::uint8_t, kBufferBytes>, kBufferCount>;

// The synthesizer engine: one instance while a MIDI song is loaded.
//
// Threads and lifetime: every operation runs on the owner's thread; buffer-done notifications
// arrive there too, and the owner answers them with the streaming protocol (count the buffer as
// played, then play the next one while activeCount >= 1, or end the song once playPos reaches
// renderPos). TSynth owns the song (voices) and opens, uses and closes the owner's AudioOutput;
// the sample records, which hold the sample data the voices read, belong to the owner and must
// outlive the TSynth or be freed together with it. render never allocates; play hands
// each rendered buffer to the recorder when recording and queues it on the device.
class TSynth final {
public:
    // Opens the device (number deviceNumber, negative for the default) and prepares the three
    // buffers. deviceOpen tells whether that worked; deviceError that the device failed.
    TSynth(AudioOutput& device, AudioOutput::TBufferDone onBufferDone, int deviceNumber,
           TOutputBuffers& buffers);
    TSynth(const TSynth&) = delete;
    TSynth& operator=(const TSynth&) = delete;
    ~TSynth();

    // Loads and converts the sample of every record and connects every voice to its sample.
    // Shows "Loading WAV file " + name through status; on failure shows its message through
    // showError, leaves no sample data loaded and returns false.
    bool loadWAVs(compiler::TSampleList& samples, const std::string& prgDir,
                  const std::string& wavDir, const TMessageSink& status,
                  const TMessageSink& showError);
    // Rebuilds the active list for a start at playPos (rounded down to a whole frame).
    void sync();
    // Opens the record file when recording, then renders and queues three buffers.
    void start();
    // Renders the next buffer, hands it to the recorder when recording, and queues it on the
    // device.
    void play();
    // Renders the song from renderPos into out and advances renderPos by one buffer; blocks that
    // have finished leave the active list. Works only on memory the engine already holds.
    void render(std::span<std::uint8_t, kBufferBytes> out) noexcept;
    // Resets the device (every queued buffer comes back) and finishes the record file.
    void stop();
    // volume x balance to the right, (2 - balance) x volume to the left; 1 and 1 are neutral.
    void changeVolume(Real volume, Real balance);
    void mute();
    void unMute();

    compiler::TSong voices;
    std::vector<compiler::TSongBlock*> activeVoices;
    std::int32_t activeCount = 0;
    int nextBuffer = 1;
    std::int64_t renderPos = 0; // 64-bit: the last buffer of the longest song ends past 2^31
    std::int64_t playPos = 0;
    std::int32_t leftMul = kDefaultMul;
    std::int32_t rightMul = kDefaultMul;
    std::uint32_t savedVolume = 0;
    bool deviceOpen = false;
    bool deviceError = false;
    bool muted = false;
    bool recording = false;
    bool saturate = true;
    Real leftFactor = 1;
    Real rightFactor = 1;
    std::string recordFileName;
    // Set by the owner before a start that resumes a pause: the record file this engine began
    // is continued from renderPos instead of being created anew.
    bool continueRecording = false;
    // Writes what is rendered while recording; tells whether that failed.
    TRecorder recorder;

private:
    AudioOutput& waveOut;
    TOutputBuffers& outputBuffers;
    std::vector<std::int64_t> mixBuffer;
};

} // namespace zb::synth
