#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The tables of a SoundFont 2 file, found and checked on the file's bytes: the RIFF layout
// (every chunk inside its list, every size inside the file), each table a whole number of
// records (the generator and modulator lists may lack their terminal record, with a warning),
// and every index between the tables inside the table it points into. What passes can be read
// record by record without another bounds check.
namespace zb::importer {

struct TSfTables {
    using TBytes = std::span<const std::uint8_t>;
    std::string bankName; // INAM, empty when missing
    TBytes smpl; // 16-bit sample data, or Ogg Vorbis streams (SF3); empty when the font has none
    TBytes phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr; // sample ranges unchecked
    std::vector<std::string> warnings;                           // faults forgiven
};

// Throws TImportError (importer/sound_font.h) naming the first fault. The spans point into file.
TSfTables readSoundFontTables(std::span<const std::uint8_t> file);

} // namespace zb::importer
