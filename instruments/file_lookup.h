#pragma once

#include <optional>
#include <string>

// Patch and sample names were often written for case-insensitive file systems. A name is looked
// up exactly first, then as a case-insensitive (ASCII) match among the entries of its directory.
namespace zb::instruments {

// The path of an existing regular file for path, or nothing. When several entries of the
// directory match case-insensitively, the one that sorts first by byte value is taken, so the
// choice does not depend on directory order.
std::optional<std::string> findFileIgnoringCase(const std::string& path);

} // namespace zb::instruments
