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
    bool saturate = true;
    int volume = 10;  // the player's volume counter, 0..99
    int balance = 50; // the player's balance counter, 0..100
    bool trim = false;
    int jobs = 1;
    bool quiet = false;
};

// Where the recording of song goes: the output file itself when it names one, else the song's
// name with ".WAV" in place of its extension, in the output directory or beside the song.
std::string renderTarget(const TRenderOptions& options, const std::string& song);

// Renders one song exactly as the player records it when played from the start with recording
// on. Returns the message of a failure, or an empty string.
std::string renderSong(const TRenderOptions& options, const std::string& song,
                       const std::string& target);

// Renders every song, several at a time; prints "Wrote PATH" to out for each success and each
// failure's message to err. Returns the exit status: 1 when any song failed.
int renderSongs(const TRenderOptions& options, std::ostream& out, std::ostream& err);

} // namespace zb::cli
