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

// The fields of a WAV file's format chunk; bytes beyond 16 are written as 0xEE.
struct TWavFormat {
    std::uint32_t tagValue = 1;
    std::uint32_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint32_t bits = 16;
    std::uint32_t length = 16;
};

// "RIFF", "WAVE" and the format chunk, with its extra bytes and pad byte.
inline TBytes wavStart(const TWavFormat& f = {}) {
    TBytes b;
    b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", f.length);
    b.u16(f.tagValue).u16(f.channels).u32(f.rate).u32(f.rate * f.channels * f.bits / 8);
    b.u16(f.channels * f.bits / 8).u16(f.bits);
    if (f.length > 16)
        b.fill(f.length - 16 + (f.length & 1U), 0xEE);
    return b;
}

} // namespace zb::test
