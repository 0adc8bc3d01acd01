#pragma once

#include "compiler/sample_rec.h"
#include "compiler/song_block.h"
#include "synth/audio_output.h"
#include "synth/config.h"
#include "synth/recorder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace zb::synth {

// Loads and converts the sample of every record, touching nothing else: a worker thread may load
// the records of a song that is not playing. Shows "Loading WAV file " + name through status; on
// failure shows its message through showError, leaves no sample data loaded and returns false.
bool loadSampleData(compiler::TSampleList& samples, const std::string& prgDir,
                    const std::string& wavDir, const TMessageSink& status,
                    const TMessageSink& showError);

// The three output buffers. They belong to the owner (the main window, or the renderer) and
// outlive every TSynth; each TSynth clears them and points the device at them.
using TOutputBuffers = std::array<std::array<std::uint8_t, kBufferBytes>, kBufferCount>;

// The synthesizer engine: one instance while a MIDI song is loaded.
//
// Threads and lifetime: every operation runs on the owner's thread; buffer-done notifications
// and the device's ticks arrive there too. The owner answers each returned buffer with the
// streaming protocol (count the buffer as played, then queue the next one while the song goes
// on, or end the song once playPos reaches renderPos). TSynth owns the song (voices) and opens,
// uses and closes the owner's AudioOutput; the sample records, which hold the sample data the
// voices read, belong to the owner and must outlive the TSynth or be freed together with it.
//
// A queued buffer is rendered in pieces of whole blocks just ahead of what the device plays
// (as far ahead as its lead asks), so that a change of volume or balance is heard from the next
// piece; rendering a buffer in pieces gives exactly the bytes of rendering it whole. A buffer is
// handed to the recorder once all of it is rendered. Rendering never allocates.
class TSynth final {
public:
    // Opens the device (number deviceNumber, negative for the default) and prepares the three
    // buffers. deviceOpen tells whether that worked; deviceError that the device failed. onTick
    // is called after each tick of the device, once the engine has rendered what it needs.
    TSynth(AudioOutput& device, AudioOutput::TBufferDone onBufferDone, int deviceNumber,
           TOutputBuffers& buffers, AudioOutput::TTick onTick = {});
    TSynth(const TSynth&) = delete;
    TSynth& operator=(const TSynth&) = delete;
    ~TSynth();

    // Loads and converts the sample of every record and connects every voice to its sample.
    // Shows "Loading WAV file " + name through status; on failure shows its message through
    // showError, leaves no sample data loaded and returns false.
    bool loadWAVs(compiler::TSampleList& samples, const std::string& prgDir,
                  const std::string& wavDir, const TMessageSink& status,
                  const TMessageSink& showError);
    // Connects every voice without sample data to its record's loaded sample and prepares the
    // voices' vibrato tables.
    void connectVoices();
    // Hands playback over to another compilation of the song (song, whose records have their
    // sample data loaded); newPosition maps a position of the old song to the new one's.
    // Stopped, the song is simply placed at the mapped play position. While it streams, nothing is
    // reset: what is rendered plays on, and the rest of the buffer being rendered and all after it
    // come from the new song, which the old one fades out under for kFadeFrames so that its notes
    // end without a click. playPos, renderPos and the heard position then count in the new song's
    // bytes. The old voices are released here; their sample records may go after this call.
    void replaceSong(compiler::TSong song,
                     const std::function<std::int64_t(std::int64_t)>& newPosition);
    // Rebuilds the active list for a start at playPos (rounded down to a whole frame).
    void sync();
    // Opens the record file when recording, then queues three buffers from renderPos: they are
    // rendered whatever the active list holds.
    void start();
    // Queues the next buffer; it is rendered if voices remain when its turn comes.
    void play();
    // Renders bytes [from, to) of the buffer that starts at renderPos into out: from is a whole
    // number of blocks, to too or the buffer's end. Blocks that have finished leave the active
    // list. Works only on memory the engine already holds.
    void render(std::span<std::uint8_t, kBufferBytes> out, std::size_t from,
                std::size_t to) noexcept;
    // Renders what the device wants next and hands it over.
    void fill();
    // The position of the next byte to be rendered.
    std::int64_t renderedTo() const { return renderPos + static_cast<std::int64_t>(filled); }
    // Whether the song has nothing left to render: no buffer is being rendered and none will be.
    bool rendered() const { return filled == 0 && mustRender == 0 && activeCount == 0; }
    // The output position being heard: while the song streams, what the device has played of it.
    std::int64_t heardPos();
    // Resets the device (every queued buffer comes back, the unheard ones without counting as
    // played), puts playPos at the position being heard and finishes the record file.
    void stop();
    // Holds playback with what is queued; resume goes on from exactly there.
    void pause();
    void resume();
    // Counts a buffer the device has handed back: playPos grows by a buffer unless it came back
    // unheard from a stop. False for such an unheard one.
    bool bufferPlayed();
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
    // Writes what is rendered while recording; tells whether that failed.
    TRecorder recorder;

private:
    AudioOutput& waveOut;
    AudioOutput::TTick ownerTick;
    // The stream since the last start: its output position, the bytes made ready on the device,
    // the buffers queued there and not yet handed back.
    std::int64_t streamStart = 0;
    std::int64_t playedAtStart = 0; // what the device had played when the stream started
    std::int64_t playedSinceStart() { return waveOut.played() - playedAtStart; }
    std::int64_t written = 0;
    int queuedBuffers = 0;
    int unheardReturns = 0; // handed back by a stop, not heard
    bool streaming = false;
    // The buffer being rendered (ring slot nextBuffer): its bytes rendered so far, 0 for none.
    std::size_t filled = 0;
    int granted = 0;    // buffers the streaming rule has queued that are not yet rendered
    int mustRender = 0; // of those, the ones of a start, rendered whatever the active list holds
    TOutputBuffers& outputBuffers;
    std::vector<std::int64_t> mixBuffer;
    // The old song's output after a hand-over, as 16-bit samples, and how much of it is added.
    std::vector<std::int16_t> fadeTail;
    std::size_t fadeAt = 0;
    void addFade(std::span<std::uint8_t> bytes) noexcept;
};

} // namespace zb::synth
