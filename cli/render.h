#pragma once

#include "compiler/compile_song.h"

#include <ostream>
#include <string>
#include <vector>

namespace zb::cli {

struct TRenderOptions {
    std::vector<std::string> songs;
    std::string output; // a file (one song) or a directory; empty: beside each song
    std::string prgDir;
    std::string wavDir;
    compiler::TDrumGrid drums;
    bool defaultTo0 = true;
    bool legacyMode = false;
    compiler::TCompileOptions controls;
    bool saturate = true;
    int volume = 10;  // the player's volume counter, 0..99
    int balance = 50; // the player's balance counter, 0..100
    bool trim = false;
    int jobs = 1;
    bool quiet = false;
    bool keepDirs = false; // outputs mirror the songs' folders under output
};

// Where the recording of song goes: the output file itself when it names one, else the song's
// name with ".WAV" in place of its extension, in the output directory or beside the song.
std::string renderTarget(const TRenderOptions& options, const std::string& song);

// Works out every song's target before anything is rendered. Returns the message naming both
// files when two songs would be written to one file or a target is one of the songs.
std::string checkTargets(const TRenderOptions& options, std::vector<std::string>& targets);

// Renders one song exactly as the player records it when played from the start with recording
// on, into a hidden partial file beside target that is renamed into place only once it is
// complete and on the disk (index tells the partial files of one batch apart). Returns the
// message of a failure, or an empty string; a failure leaves target as it was.
std::string renderSong(const TRenderOptions& options, const std::string& song,
                       const std::string& target, std::size_t index = 0);

// Renders every song, several at a time; prints "Wrote PATH" to out for each success, each
// failure's message and a final count to err. Returns the exit status: 2 (and writes nothing)
// when the targets clash, 1 when any song failed, else 0.
int renderSongs(const TRenderOptions& options, std::ostream& out, std::ostream& err);

} // namespace zb::cli
