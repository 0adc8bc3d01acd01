#include "importer/vorbis_decode.h"

#include "instruments/little_endian.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace zb::importer {

namespace {

// The stream libvorbisfile reads: the sample's bytes in memory.
struct TMemory {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
};

std::size_t readMemory(void* dest, std::size_t size, std::size_t count, void* source) {
    auto& m = *static_cast<TMemory*>(source);
    const std::size_t wanted = size * count;
    const std::size_t n = std::min(wanted, m.bytes.size() - m.at);
    std::memcpy(dest, m.bytes.data() + m.at, n);
    m.at += n;
    return size == 0 ? 0 : n / size;
}

int seekMemory(void* source, ogg_int64_t offset, int whence) {
    auto& m = *static_cast<TMemory*>(source);
    const auto size = static_cast<ogg_int64_t>(m.bytes.size());
    ogg_int64_t to = offset;
    if (whence == SEEK_CUR)
        to += static_cast<ogg_int64_t>(m.at);
    else if (whence == SEEK_END)
        to += size;
    if (to < 0 || to > size)
        return -1;
    m.at = static_cast<std::size_t>(to);
    return 0;
}

long tellMemory(void* source) {
    return static_cast<long>(static_cast<TMemory*>(source)->at);
}

} // namespace

std::optional<std::vector<std::int16_t>> decodeVorbis(std::span<const std::uint8_t> ogg,
                                                      std::size_t maxFrames) {
    TMemory memory{ogg, 0};
    OggVorbis_File file;
    const ov_callbacks callbacks{readMemory, seekMemory, nullptr, tellMemory};
    if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0)
        return std::nullopt;
    const vorbis_info* info = ov_info(&file, -1);
    const int channels = info != nullptr ? std::max(1, info->channels) : 1;
    std::vector<std::int16_t> out;
    std::vector<char> block(8192);
    int first = -1;
    bool damaged = false;
    while (out.size() < maxFrames) {
        int section = 0;
        const long n =
            ov_read(&file, block.data(), static_cast<int>(block.size()), 0, 2, 1, &section);
        if (n == 0)
            break;
        if (n < 0) { // a hole or damaged page: what was decoded stays, the rest is lost
            damaged = true;
            break;
        }
        if (first < 0)
            first = section;
        if (section != first) // the next sample's stream, where a writer left no gap
            break;
        const auto frames = static_cast<std::size_t>(n) / (2 * static_cast<std::size_t>(channels));
        for (std::size_t f = 0; f < frames && out.size() < maxFrames; ++f) {
            const auto at = f * 2 * static_cast<std::size_t>(channels);
            out.push_back(
                instruments::getSample16(reinterpret_cast<const std::uint8_t*>(block.data() + at)));
        }
    }
    ov_clear(&file);
    if (out.empty() && damaged)
        return std::nullopt;
    return out;
}

} // namespace zb::importer
