// Parses a fuzzed patch file line by line, as a compilation and check-prg do.
#include "instruments/prg_file.h"

#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    auto table = std::make_unique<zb::instruments::prgEntryRec>();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& line : zb::instruments::splitPrgLines(text))
        zb::instruments::parsePrgLine(*table, line);
    for (int key = 0; key < zb::kKeyCount; ++key)
        if (table->entryCount[key] > zb::kMaxEntriesPerKey)
            __builtin_trap();
    return 0;
}
