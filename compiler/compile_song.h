#pragma once

#include "compiler/compile_state.h"
#include "compiler/sample_rec.h"
#include "compiler/song_block.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zb::compiler {

// One row of the drum track list below its heading: a track cell (1..65535) and a channel cell
// (1..16) as decimal text; "-1" stands for every track or every channel. Rows whose cells are
// not decimal integers are skipped.
struct TDrumGridRow {
    std::string track;
    std::string channel;
};
using TDrumGrid = std::vector<TDrumGridRow>;

// Receives the one message of a failed compilation. The player shows it in a message box, the
// command line prints it; the core itself shows nothing.
using TErrorSink = std::function<void(std::int32_t code, const std::string& message)>;

// Compiles the MIDI file fileName with the patches of prgDir into sample records, the song (whose
// voices refer to those records) and its length in output bytes. Success is seen as non-empty
// samples and song; a song without notes compiles without a message but gives neither. On
// failure the first error's message goes to showError and the outputs keep what the caller had
// (callers eject the previous song first, so that is nothing). Read failures of the file layer
// (std::system_error, std::ios_base::failure) propagate, and the outputs are then untouched too.
// The options mute, solo, speed up or transpose what is compiled; their defaults compile the
// file as it is.
void compileSong(const std::string& fileName, const std::string& prgDir, const TDrumGrid& drumGrid,
                 bool defaultTo0, bool legacyMode, TSampleList& samples, TSong& song,
                 std::int32_t& songLength, const TErrorSink& showError,
                 const TCompileOptions& options = {});

// The passes, for callers and tests that look at the state between them.
void initCompile(TCompileState& state, const TDrumGrid& drumGrid);
// The message of the state's error (empty when there is none), its prefix included.
std::string errorMessage(const TCompileState& state);
void reportError(const TCompileState& state, const TErrorSink& showError);
void releaseWork(TCompileState& state);
void releaseAll(TCompileState& state);

// "c5" for key 60, "c#5" for 61, "g10" for 127.
std::string noteName(int key);

} // namespace zb::compiler
