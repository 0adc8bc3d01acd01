#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zb::test {

// Little-endian binary data (WAV headers and chunks), built field by field.
class TBytes final {
public:
    TBytes& tag(const std::string& text) {
        for (const char c : text)
            bytes_.push_back(static_cast<std::uint8_t>(c));
        return *this;
    }
    TBytes& u8(std::uint32_t v) {
        bytes_.push_back(static_cast<std::uint8_t>(v & 0xFFU));
        return *this;
    }
    TBytes& u16(std::uint32_t v) { return u8(v).u8(v >> 8); }
    TBytes& u32(std::uint32_t v) { return u16(v & 0xFFFFU).u16(v >> 16); }
    TBytes& s16(int v) { return u16(static_cast<std::uint32_t>(v) & 0xFFFFU); }
    TBytes& fill(std::size_t n, std::uint8_t v = 0) {
        bytes_.insert(bytes_.end(), n, v);
        return *this;
    }
    TBytes& raw(const std::vector<std::uint8_t>& data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }
    TBytes& chunk(const std::string& id, std::uint32_t length) { return tag(id).u32(length); }
    const std::vector<std::uint8_t>& data() const { return bytes_; }
    std::string str() const { return {bytes_.begin(), bytes_.end()}; }
    std::size_t size() const { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace zb::test
