#include "instruments/file_lookup.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace zb::instruments {

namespace {

namespace fs = std::filesystem;

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Only ASCII letters are folded: the names come from old patch sets, and folding other bytes
// would depend on an encoding nobody recorded.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

bool isRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

} // namespace

std::optional<std::string> findFileIgnoringCase(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    if (isRegularFile(path))
        return path;

    const fs::path wanted(path);
    const std::string wantedName = wanted.filename().string();
    if (wantedName.empty())
        return std::nullopt;
    const fs::path parent = wanted.parent_path();
    const fs::path directory = parent.empty() ? fs::path(".") : parent;

    std::optional<std::string> best;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!equalsIgnoringAsciiCase(name, wantedName))
            continue;
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc))
            continue;
        // std::string compares by char_traits<char>, which orders as unsigned bytes.
        if (!best || name < *best)
            best = std::move(name);
    }
    if (!best)
        return std::nullopt;
    // Keep the directory as the caller wrote it; only the file name is replaced.
    return parent.empty() ? *best : (parent / *best).string();
}

} // namespace zb::instruments
