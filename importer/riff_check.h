#pragma once

#include <cstdint>
#include <span>

// A check of a SoundFont's RIFF layout and of the indices between its tables, made on the
// file's bytes before libgig reads it: libgig trusts chunk sizes and indices, and a truncated or
// damaged font could make it read outside its buffers.
namespace zb::importer {

// Throws TImportError (importer/sound_font.h) naming the first fault.
void checkSoundFontStructure(std::span<const std::uint8_t> file);

} // namespace zb::importer
