// Compiles a fuzzed MIDI file against the test patches and renders its first buffers.
#include "fuzz/chunk_mutator.h"
#include "fuzz/fuzz_file.h"
#include "synth/loaded_song.h"
#include "synth/null_audio_output.h"
#include "synth/stream_protocol.h"
#include "synth/synth.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static auto buffers = std::make_unique<zb::synth::TOutputBuffers>();
    const std::string song = zb::fuzz::inputFile(data, size, ".mid");
    zb::synth::NullAudioOutput device;
    const zb::synth::TSongSettings settings{
        ZB_FUZZ_DATA_DIR "/PRG", ZB_FUZZ_DATA_DIR "/WAV", {{"-1", "10"}}, true, false, {}};
    zb::synth::TLoadedSong loaded;
    if (!loaded.compile(song, settings).ok() ||
        !loaded
             .openEngine(
                 device, [](int) {}, -1, *buffers)
             .ok() ||
        !loaded.loadSamples(settings, nullptr).ok())
        return 0;
    auto& synth = *loaded.engine();
    synth.saturate = size % 2 == 0;
    loaded.rewind();
    synth.start();
    for (int i = 0; i < 2 && synth.activeCount >= 1; ++i)
        zb::synth::bufferReturned(synth, true);
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned seed) {
    return zb::fuzz::mutateChunks(data, size, maxSize, seed, true);
}
