#pragma once

#include <cstdint>

// The byte order of every RIFF file the system reads or writes (WAV, SoundFont): the one
// definition of reading and writing a little-endian field.
namespace zb::instruments {

constexpr std::uint32_t getLE16(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8;
}
constexpr std::uint32_t getLE32(const std::uint8_t* p) noexcept {
    return getLE16(p) | getLE16(p + 2) << 16;
}
// A 16-bit two's complement sample.
constexpr std::int16_t getSample16(const std::uint8_t* p) noexcept {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(getLE16(p)));
}

constexpr void putLE16(std::uint8_t* p, std::uint32_t value) noexcept {
    p[0] = static_cast<std::uint8_t>(value & 0xFFU);
    p[1] = static_cast<std::uint8_t>(value >> 8 & 0xFFU);
}
constexpr void putLE32(std::uint8_t* p, std::uint32_t value) noexcept {
    putLE16(p, value & 0xFFFFU);
    putLE16(p + 2, value >> 16);
}

} // namespace zb::instruments
