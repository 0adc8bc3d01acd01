#pragma once

#include <ostream>
#include <string>

namespace zb::cli {

// Parses every PRG file of dir as a compilation would and prints one message per failing line
// ("PRG /abs/PRG/0.PRG, line #3: Illegal base panpot.") to out, and a summary. Unlike a
// compilation it goes on after a failing line, so one run shows every fault of a patch set.
// Returns the exit status: 1 when any line fails or dir cannot be read, else 0.
int checkPrg(const std::string& dir, std::ostream& out, std::ostream& err);

} // namespace zb::cli
