#pragma once

#include "compiler/compile_song.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zb::app {

// The drum track:channel table: row 0 is the header, rows 1 and up are entries of two cells
// (track, channel), each "ALL" or a decimal number.
using TDrumRow = std::array<std::string, 2>;
using TDrumTable = std::vector<TDrumRow>;

inline constexpr const char* kDrumTrackHeader = "Track (1-65535)";
inline constexpr const char* kDrumChannelHeader = "Channel (1-16)";

// The header and the built-in entry "ALL" / "10" (every track, MIDI channel 10).
TDrumTable defaultDrumTable();

// The entries as the compiler takes them, every "ALL" passed as "-1".
compiler::TDrumGrid drumGridForCompile(const TDrumTable& table);

// The settings record. Copies share the drum table: the options dialog works on a copy, and the
// drum dialog's confirmed changes reach the main window's table whatever the options dialog's
// outcome.
struct TOptions {
    std::string midiDirectory;
    std::string patchDirectory;
    std::string sampleDirectory;
    std::string playlistDirectory;
    std::string destinationDirectory;
    std::shared_ptr<TDrumTable> drumTable = std::make_shared<TDrumTable>(defaultDrumTable());
    bool defaultTo0 = true;
    bool saturate = true;
    bool legacyMode = false;
    std::int32_t waveOutDevice = -1;
};

} // namespace zb::app
