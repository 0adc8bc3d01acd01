// Compiles a fuzzed MIDI file against the small test patch set.
#include "compiler/compile_song.h"
#include "compiler/midi_reader.h"
#include "fuzz/chunk_mutator.h"
#include "fuzz/fuzz_file.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string song = zb::fuzz::inputFile(data, size, ".mid");
    // The song as written, and with the musician's controls at a corner the input picks: the
    // slowest or fastest speed (four times the positions, or a quarter), a transposition to the
    // ends of the keyboard, a slot muted or soloed.
    zb::compiler::TCompileOptions controls;
    const std::uint8_t pick = size > 0 ? data[size - 1] : 0;
    controls.tempoPercent = pick & 1 ? 25 : 400;
    controls.transpose = pick & 2 ? 24 : -24;
    (pick & 4 ? controls.soloed : controls.muted)[(pick >> 3) % 16] = true;
    for (const auto& options : {zb::compiler::TCompileOptions{}, controls}) {
        zb::compiler::TSampleList samples;
        zb::compiler::TSong compiled;
        std::int32_t length = 0;
        try {
            zb::compiler::compileSong(song, ZB_FUZZ_DATA_DIR "/PRG", {{"-1", "10"}}, true,
                                      size % 2 == 0, samples, compiled, length, nullptr, options);
        } catch (const std::exception&) { // a read failure of the file layer is not a fault
        }
    }
    // What the info command reads of a song: programs, tempos and the lyrics' texts.
    try {
        zb::compiler::scanSong(song, {{"-1", "10"}}, true);
    } catch (const std::exception&) {
    }
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned seed) {
    return zb::fuzz::mutateChunks(data, size, maxSize, seed, true);
}
