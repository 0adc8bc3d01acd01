#pragma once

#include <string>

namespace zb::instruments {

// dir + "/" + name; an empty dir leaves the bare name, a dir ending in "/" gets no second one.
inline std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

} // namespace zb::instruments
