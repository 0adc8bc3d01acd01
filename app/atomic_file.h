#pragma once

#include <string>
#include <string_view>

namespace zb::app {

// Writes content to path through a temporary file in the same directory that is then renamed
// over it, so an interrupted write never leaves a truncated file behind. False when the file
// could not be written (the old file, if any, is then untouched).
bool writeFileAtomically(const std::string& path, std::string_view content);

} // namespace zb::app
