#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The sample data of compressed SoundFonts (SF3): each sample is an Ogg Vorbis stream of its own
// inside the sample chunk.
namespace zb::importer {

// Decodes the first logical stream of `ogg` into 16-bit frames (the first channel of a stereo
// stream), at most maxFrames of them. Nothing when the bytes are no Vorbis stream or are damaged
// before any frame.
std::optional<std::vector<std::int16_t>> decodeVorbis(std::span<const std::uint8_t> ogg,
                                                      std::size_t maxFrames);

} // namespace zb::importer
