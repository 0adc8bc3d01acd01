#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

// The readers take file names: each input is written to one file of this process, which is
// overwritten by the next input.
namespace zb::fuzz {

inline std::string inputFile(const uint8_t* data, std::size_t size, const char* suffix) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("zb-fuzz-" + std::to_string(getpid()) + suffix))
            .string();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

} // namespace zb::fuzz
