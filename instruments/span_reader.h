#pragma once

#include "instruments/little_endian.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zb::instruments {

// Reads little-endian fields from bytes held in memory (a SoundFont, a WAV file's header). Every
// read either takes bytes that are really there, or fails and leaves the position where it was:
// a length field of a hostile file can neither wrap an offset nor reach past the bytes.
class TSpanReader final {
public:
    using TBytes = std::span<const std::uint8_t>;

    explicit TSpanReader(TBytes bytes) : bytes_(bytes) {}

    std::size_t position() const { return position_; }
    std::size_t remaining() const { return bytes_.size() - position_; }
    bool atEnd() const { return position_ >= bytes_.size(); }

    std::optional<std::uint32_t> u8() { return number(1); }
    std::optional<std::uint32_t> u16() { return number(2); }
    std::optional<std::uint32_t> u32() { return number(4); }
    std::optional<std::int32_t> s16() {
        const auto v = number(2);
        if (!v)
            return std::nullopt;
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(*v));
    }

    // A four-character chunk identifier.
    std::optional<std::string> tag() {
        const auto b = take(4);
        if (!b)
            return std::nullopt;
        return std::string(reinterpret_cast<const char*>(b->data()), 4);
    }

    // The next count bytes as a range of their own; fails when fewer remain. count is 64-bit so
    // that a 32-bit size plus a pad byte cannot wrap on the way in.
    std::optional<TBytes> take(std::uint64_t count) {
        if (count > remaining())
            return std::nullopt;
        const TBytes out = bytes_.subspan(position_, static_cast<std::size_t>(count));
        position_ += static_cast<std::size_t>(count);
        return out;
    }

    bool skip(std::uint64_t count) { return take(count).has_value(); }

    // Moves forward by count bytes, or to the end when fewer remain (an optional pad byte).
    void skipUpTo(std::uint64_t count) {
        position_ += static_cast<std::size_t>(std::min<std::uint64_t>(count, remaining()));
    }

private:
    std::optional<std::uint32_t> number(std::size_t width) {
        const auto b = take(width);
        if (!b)
            return std::nullopt;
        return width == 1   ? std::uint32_t{(*b)[0]}
               : width == 2 ? getLE16(b->data())
                            : getLE32(b->data());
    }

    TBytes bytes_;
    std::size_t position_ = 0;
};

} // namespace zb::instruments
