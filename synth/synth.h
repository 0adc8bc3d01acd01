#pragma once

#include "compiler/sample_rec.h"
#include "compiler/song_block.h"
#include "synth/audio_output.h"
#include "synth/config.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zb::synth {

// The three output buffers. They belong to the owner (the main window, or the renderer) and
// outlive every TSynth; each TSynth clears them and points the device at them.
using TOutputBuffers = std::array<std::array<std::uint8_t, kBufferBytes>, kBufferCount>;

// Shows a message: the player puts it in a message box or the status line, the command line
// prints it.
using TMessageSink = std::function<void(const std::string&)>;

// The synthesizer engine: one instance while a MIDI song is loaded.
//
// Threads and lifetime: every operation runs on the owner's thread; buffer-done notifications
// arrive there too, and the owner answers them with the streaming protocol (count the buffer as
// played, then play the next one while activeCount >= 1, or end the song once playPos reaches
// renderPos). TSynth owns the song (voices) and opens, uses and closes the owner's AudioOutput;
// the sample records, which hold the sample data the voices read, belong to the owner and must
// outlive the TSynth or be freed together with it. play never allocates.
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
    // Renders the next buffer, records it when recording, and queues it on the device.
    void play();
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
    // Where a record file that cannot be written is reported ("Can't record to " + path);
    // playback goes on without recording.
    TMessageSink recordStatus;
    bool recordFailed = false;
    // Set by the owner before a start that resumes a pause: the record file this engine began
    // is continued from renderPos instead of being created anew.
    bool continueRecording = false;
    int recordErrno = 0; // the system's error code of that failure, 0 when it gave none

private:
    void openRecordFile();
    void writeRecord(std::span<const std::uint8_t> data);
    bool reopenRecordFile();
    bool updateRecordHeader();
    void closeRecordFile();
    void recordError(int error);

    AudioOutput& waveOut;
    TOutputBuffers& outputBuffers;
    std::vector<std::int64_t> mixBuffer;
    std::FILE* recordHandle = nullptr;
    std::int64_t recordOrigin = -1; // renderPos at the start of the record file, -1: none yet
};

} // namespace zb::synth
