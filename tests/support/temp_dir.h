#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace zb::test {

// A fresh directory under the system's temporary folder, removed with everything in it when the
// object goes away.
class TTempDir final {
public:
    TTempDir() {
        std::random_device rd;
        for (;;) {
            path_ = std::filesystem::temp_directory_path() /
                    ("zb-test-" + std::to_string(rd()) + std::to_string(rd()));
            if (std::filesystem::create_directory(path_))
                break;
        }
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

    // Writes bytes to a file below the directory (creating its folders) and returns its path.
    std::string write(const std::string& relative, std::string_view bytes) const {
        auto full = path_ / relative;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return full.string();
    }

private:
    std::filesystem::path path_;
};

} // namespace zb::test
