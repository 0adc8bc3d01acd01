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
    // Some songs stream in the small steps of a real device and are handed over on the way to
    // a compilation at a corner of the musician's controls, as the player does while one plays.
    const bool handOver = size % 3 == 1;
    if (handOver)
        device.deviceLead = 8192;
    loaded.rewind();
    synth.start();
    if (handOver) {
        device.playBytes(static_cast<std::int64_t>(size % 7) * 40000);
        auto changed = settings;
        changed.controls.tempoPercent = size % 2 == 0 ? 25 : 400;
        changed.controls.transpose = size % 4 < 2 ? 24 : -24;
        changed.controls.muted[size % 16] = true;
        if (auto built = zb::synth::buildSong(song, changed); built.error.ok()) {
            const std::int64_t percent = changed.controls.tempoPercent;
            loaded.replace(std::move(built),
                           [percent](std::int64_t position) { return position * 100 / percent; });
        }
        for (int i = 0; i < 20 && !synth.rendered(); ++i)
            device.playBytes(30000);
        return 0;
    }
    for (int i = 0; i < 2 && synth.activeCount >= 1; ++i)
        zb::synth::bufferReturned(synth, true);
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned seed) {
    return zb::fuzz::mutateChunks(data, size, maxSize, seed, true);
}
