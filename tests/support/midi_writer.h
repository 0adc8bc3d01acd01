#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace zb::test {

// Builds Standard MIDI File bytes in memory.
class TMidiWriter final {
public:
    // The 14 header bytes: "MThd", length 6, format, track count, division.
    TMidiWriter& header(int format, int tracks, int division) {
        raw("MThd");
        be32(6);
        be16(format);
        be16(tracks);
        be16(division);
        return *this;
    }
    // A track chunk of the given event bytes; its length field is the byte count unless given.
    TMidiWriter& track(const std::vector<std::uint8_t>& events, std::int64_t length = -1) {
        raw("MTrk");
        be32(static_cast<std::uint32_t>(length < 0 ? static_cast<std::int64_t>(events.size())
                                                   : length));
        bytes.insert(bytes.end(), events.begin(), events.end());
        return *this;
    }
    TMidiWriter& raw(const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    TMidiWriter& raw(std::initializer_list<std::uint8_t> data) {
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    std::string str() const { return {bytes.begin(), bytes.end()}; }

    std::vector<std::uint8_t> bytes;

private:
    void be16(int v) {
        bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    void be32(std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
    }
};

// Track event bytes with delta times written as variable-length quantities.
class TTrackWriter final {
public:
    TTrackWriter& delta(std::uint32_t ticks) {
        std::uint8_t tmp[5];
        int n = 0;
        tmp[n++] = ticks & 0x7F;
        while ((ticks >>= 7) != 0)
            tmp[n++] = static_cast<std::uint8_t>(0x80 | (ticks & 0x7F));
        while (n > 0)
            data.push_back(tmp[--n]);
        return *this;
    }
    // delta, then the event bytes as given (status included or left out for running status).
    TTrackWriter& ev(std::uint32_t ticks, std::initializer_list<std::uint8_t> event) {
        delta(ticks);
        data.insert(data.end(), event.begin(), event.end());
        return *this;
    }
    TTrackWriter& on(std::uint32_t ticks, int channel, int key, int velocity) {
        return ev(ticks, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
                          static_cast<std::uint8_t>(velocity)});
    }
    TTrackWriter& off(std::uint32_t ticks, int channel, int key, int velocity = 64) {
        return ev(ticks, {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key),
                          static_cast<std::uint8_t>(velocity)});
    }
    TTrackWriter& cc(std::uint32_t ticks, int channel, int controller, int value) {
        return ev(ticks, {static_cast<std::uint8_t>(0xB0 | channel),
                          static_cast<std::uint8_t>(controller), static_cast<std::uint8_t>(value)});
    }
    TTrackWriter& program(std::uint32_t ticks, int channel, int program) {
        return ev(ticks,
                  {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(program)});
    }
    TTrackWriter& tempo(std::uint32_t ticks, std::uint32_t usPerQuarter) {
        return ev(ticks, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(usPerQuarter >> 16),
                          static_cast<std::uint8_t>(usPerQuarter >> 8),
                          static_cast<std::uint8_t>(usPerQuarter)});
    }
    TTrackWriter& end(std::uint32_t ticks = 0) { return ev(ticks, {0xFF, 0x2F, 0x00}); }

    std::vector<std::uint8_t> data;
};

} // namespace zb::test
