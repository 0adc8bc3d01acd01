// Compiles a fuzzed MIDI file against the test patches and renders its first buffers.
#include "compiler/compile_song.h"
#include "fuzz/chunk_mutator.h"
#include "fuzz/fuzz_file.h"
#include "synth/null_audio_output.h"
#include "synth/stream_protocol.h"
#include "synth/synth.h"

#include <exception>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static auto buffers = std::make_unique<zb::synth::TOutputBuffers>();
    const std::string song = zb::fuzz::inputFile(data, size, ".mid");
    zb::compiler::TSampleList samples;
    zb::compiler::TSong compiled;
    std::int32_t length = 0;
    try {
        zb::compiler::compileSong(song, ZB_FUZZ_DATA_DIR "/PRG", {{"-1", "10"}}, true, false,
                                  samples, compiled, length, nullptr);
    } catch (const std::exception&) {
        return 0;
    }
    if (compiled.empty())
        return 0;
    zb::synth::NullAudioOutput device;
    zb::synth::TSynth synth(
        device, [](int) {}, -1, *buffers);
    synth.voices = std::move(compiled);
    if (!synth.loadWAVs(samples, ZB_FUZZ_DATA_DIR "/PRG", ZB_FUZZ_DATA_DIR "/WAV", nullptr,
                        nullptr))
        return 0;
    synth.saturate = size % 2 == 0;
    synth.sync();
    synth.start();
    for (int i = 0; i < 2 && synth.activeCount >= 1; ++i)
        zb::synth::bufferReturned(synth, true);
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned seed) {
    return zb::fuzz::mutateChunks(data, size, maxSize, seed, true);
}
