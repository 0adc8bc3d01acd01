#pragma once

#include "compiler/compile_song.h"
#include "compiler/midi_reader.h"
#include "support/midi_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zb::compiler::test {

// A patch line covering keys with one sample; distinct names make distinct sample records.
inline std::string patchLine(const std::string& keys, const std::string& wav,
                             const std::string& rate = "22050") {
    return keys + " " + wav + " C5 100 64 100 0 100 0 2 0 0 1 1 0 -1 0 0 0 1000 -1 -1 16 1 " +
           rate + "\r\n";
}

// A temporary song folder with a PRG directory, and the compilation state of one read.
class CompileFixture : public ::testing::Test {
protected:
    CompileFixture() { prgDir = dir.str() + "/PRG"; }

    void writePrg(const std::string& name, const std::string& text) {
        dir.write("PRG/" + name, text);
    }
    std::string writeMidi(const zb::test::TMidiWriter& midi) {
        return dir.write("song.mid", midi.str());
    }
    // A format 1 file at division 480 holding the given tracks.
    std::string writeTracks(const std::vector<zb::test::TTrackWriter>& tracks) {
        zb::test::TMidiWriter midi;
        midi.header(1, static_cast<int>(tracks.size()), 480);
        for (const auto& t : tracks)
            midi.track(t.data);
        return writeMidi(midi);
    }
    // initCompile and readMidiFile on a fresh state.
    TCompileState& read(const std::string& file, bool defaultTo0 = false,
                        const TCompileOptions& options = {}) {
        state = TCompileState{};
        state.fileName = file;
        state.prgDir = prgDir;
        state.options = options;
        initCompile(state, grid);
        readMidiFile(state, defaultTo0);
        return state;
    }

    zb::test::TTempDir dir;
    std::string prgDir;
    TDrumGrid grid{{"-1", "10"}};
    TCompileState state;
};

} // namespace zb::compiler::test
