#pragma once

#include "instruments/prg_patch.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

// Reading a whole patch file. Lines end at CR, optionally followed by LF; a LF alone is part of
// the line; Ctrl-Z (26) ends the file after the line it stands in.
namespace zb::instruments {

struct TPrgFileResult {
    TPrgError errorCode = prgOk;
    std::int32_t lineNumber = 0; // the line that failed (1-based, comments and empty lines count)
};

// Splits patch file text into lines by the rules above, reading the stream to its end or its
// Ctrl-Z, and calls onLine for each; stops early when onLine returns false.
// Throws std::ios_base::failure when the stream reports a read error.
void forEachPrgLine(std::istream& in, const std::function<bool(std::string_view)>& onLine);

// Clears the table and fills it from the patch file at path (the exact path; callers resolve
// names first). Stops at the first failing line. A file that cannot be opened is prgNotFound
// with line 0. A read error of an opened file throws std::ios_base::failure.
TPrgFileResult loadPrgFile(const std::string& path, prgEntryRec& table);

} // namespace zb::instruments
