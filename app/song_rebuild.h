#pragma once

#include "app/song_facts.h"
#include "synth/loaded_song.h"

#include <atomic>
#include <string>
#include <thread>

namespace zb::app {

// One recompilation of the loaded song with other controls, with its samples and its facts, on
// a thread of its own that touches nothing of the player: the owner polls finished() on its own
// thread and then takes the result.
class TSongRebuild final {
public:
    TSongRebuild(std::string fileName, synth::TSongSettings settings);
    TSongRebuild(const TSongRebuild&) = delete;
    TSongRebuild& operator=(const TSongRebuild&) = delete;
    ~TSongRebuild(); // waits for the compilation

    bool finished() const { return finished_; }
    // After finished(): what was built (its error says whether it was), and the song's facts at
    // the new speed.
    synth::TBuiltSong& built() { return built_; }
    TSongFacts& facts() { return facts_; }
    const compiler::TCompileOptions& controls() const { return settings_.controls; }

private:
    std::string fileName_;
    synth::TSongSettings settings_;
    synth::TBuiltSong built_;
    TSongFacts facts_;
    std::atomic<bool> finished_{false};
    std::thread worker_;
};

} // namespace zb::app
