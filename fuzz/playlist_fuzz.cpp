// Reads a fuzzed playlist file the ways the player does: as a saved list and as the
// demonstration list with bare names.
#include "app/playlist.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace zb::app;
    const std::string path = zb::fuzz::inputFile(data, size, ".ZbL");
    TPlayList list;
    loadPlayList(list, path);
    readPlaylistFile(path, "/tmp");
    if (list.modified)
        __builtin_trap();
    return 0;
}
