#pragma once

#include <filesystem>

namespace zb::test {

// A player's home for tests: the test patches and samples, the MID, Song and ZbL folders and
// the test songs in MID.
inline void fillPlayerHome(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    const fs::path data = ZB_TEST_DATA_DIR;
    for (const char* dir : {"PRG", "WAV"})
        fs::copy(data / dir, root / dir, fs::copy_options::recursive);
    for (const char* dir : {"MID", "Song", "ZbL"})
        fs::create_directory(root / dir);
    for (const char* song : {"three-notes.mid", "little-tune.mid", "no-notes.mid", "lyrics.kar"})
        fs::copy_file(data / "songs" / song, root / "MID" / song);
}

} // namespace zb::test
