// Parses a fuzzed patch file line by line, as a compilation and check-prg do.
#include "instruments/prg_file.h"

#include <memory>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto table = std::make_unique<zb::instruments::prgEntryRec>();
    std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
    zb::instruments::forEachPrgLine(text, [&](std::string_view line) {
        zb::instruments::parsePrgLine(*table, line);
        return true;
    });
    for (int key = 0; key < zb::kKeyCount; ++key)
        if (table->entryCount[key] > zb::kMaxEntriesPerKey)
            __builtin_trap();
    return 0;
}
